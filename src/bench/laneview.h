// One lane of the bench on the screen: its port, what it does now, its last
// result, and while it waits for the person at the bench, Next and Skip.
// Enter on the lane is Next; on a focused button, that button. Each of the
// first lanes has keys of its own, shown on it (F1 Next, Shift+F1 Skip on
// the first). Several lanes may wait at once; none of them blocks the window.
#pragma once

#include "batch/batchrun.h"

#include <QFrame>
#include <QKeySequence>

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
    // The keys for Next and Skip on this lane, shown on its buttons; none for an empty sequence.
    void setKeys(const QKeySequence &next, const QKeySequence &skip);
    // Shows the question with Next and Skip; answered is called once.
    void ask(const QString &question, std::function<void(Batch::Answer)> answered);
    bool isAsking() const { return bool(m_answered); }
    // Answers the question, if one is asked.
    void answer(Batch::Answer answer);
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
    void hideQuestion();

    QString m_port;
    std::function<void(Batch::Answer)> m_answered;
};

} // namespace Bench
