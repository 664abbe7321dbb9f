// One lane of the bench on the screen: its port, what it does now, its last
// result, and while it waits for the person at the bench, Next and Skip
// (Enter on the focused lane is Next). Several lanes may wait at once; none
// of them blocks the window.
#pragma once

#include "batch/batchrun.h"

#include <QFrame>

#include <functional>

class QLabel;
class QPushButton;

namespace Bench {

class LaneView : public QFrame
{
    Q_OBJECT

public:
    LaneView(const QString &port, const QString &device, QWidget *parent = nullptr);

    const QString &port() const { return m_port; }
    void setState(const QString &text);
    QString state() const;
    void setResult(const QString &text, const QString &tooltip = {});
    // Shows the question with Next and Skip; answered is called once.
    void ask(const QString &question, std::function<void(Batch::Answer)> answered);
    bool isAsking() const { return bool(m_answered); }
    // Takes the question away unanswered (the run stopped).
    void stopAsking();
    void setRemovable(bool removable);

    QLabel *nameLabel = nullptr;
    QLabel *stateLabel = nullptr;
    QLabel *resultLabel = nullptr;
    QPushButton *nextButton = nullptr;
    QPushButton *skipButton = nullptr;
    QPushButton *removeButton = nullptr;

signals:
    void removeRequested(const QString &port);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void answer(Batch::Answer answer);

    QString m_port;
    std::function<void(Batch::Answer)> m_answered;
};

} // namespace Bench
