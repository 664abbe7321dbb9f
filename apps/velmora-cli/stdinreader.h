// Standard input read through the event loop, never blocking it, whatever it
// is: a terminal, a pipe or a file. POSIX watches the descriptor; Windows
// watches a console's input handle (its own line editing and echo, as it
// reads key events), and polls a pipe or file.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>

class StdinReader : public QObject
{
    Q_OBJECT

public:
    explicit StdinReader(QObject *parent = nullptr);
    ~StdinReader() override;

    // Starts reading; bytes come in received() pieces, lines ended by '\n'.
    void start();

signals:
    void received(const QByteArray &bytes);
    // The end of the input, or an input that failed; nothing comes after.
    void ended();

private:
    void readAvailable();
    void end();

    std::unique_ptr<QObject> m_notifier;  // QSocketNotifier, or QWinEventNotifier on a console
    QTimer m_poll;                        // a pipe or file on Windows
    QByteArray m_line;                    // typed on a Windows console, not ended yet
    bool m_ended = false;
};
