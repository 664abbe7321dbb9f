// The line monitor: every frame sent and reply received on every lane, with
// its time and bytes as --trace prints them, the last MaxLines lines kept,
// shown for all lanes or one, and copied to the clipboard as shown.
#pragma once

#include <QDockWidget>
#include <QTimer>

#include <deque>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace Bench {

class LineMonitor : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 10000;

    explicit LineMonitor(QWidget *parent = nullptr);

    void setLanes(const QStringList &ports);
    // "12.3 sim1 TX aa 05 ..." of a lane: its trace names the port after the time.
    void addLine(const QString &port, const QByteArray &line);
    // What the view shows once the lines that came are in: for tests and Copy.
    QString shownText();
    int lineCount() const { return int(m_lines.size()); }

    QComboBox *laneFilter = nullptr;
    QPlainTextEdit *lineView = nullptr;
    QPushButton *copyButton = nullptr;
    QPushButton *clearButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Line
    {
        QString port;
        QString text;
    };

    bool shows(const Line &line) const;
    QString shown(const Line &line) const;
    void refill();
    void flush();
    void copy();
    void clear();

    std::deque<Line> m_lines;
    QStringList m_pending;  // shown lines not in the view yet
    QTimer m_flushTimer;    // the view takes lines a few times a second, not one by one
};

} // namespace Bench
