#include "laneview.h"

#include "enterclicks.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace Bench {

LaneView::LaneView(const QString &port, const QString &device, QWidget *parent) : QFrame(parent), m_port(port)
{
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Lane %1").arg(port));
    nameLabel = new QLabel(QStringLiteral("<b>%1</b>").arg(port.toHtmlEscaped()), this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameLabel->setToolTip(device);
    stateLabel = new QLabel(tr("idle"), this);
    stateLabel->setObjectName(QStringLiteral("stateLabel"));
    stateLabel->setWordWrap(true);
    resultLabel = new QLabel(this);
    resultLabel->setObjectName(QStringLiteral("resultLabel"));
    resultLabel->setWordWrap(true);
    // No mnemonics: the same letter on every lane would only move the focus
    // from lane to lane. The lane's own keys stand in for them.
    nextButton = new QPushButton(tr("Next"), this);
    nextButton->setObjectName(QStringLiteral("nextButton"));
    nextButton->setAccessibleName(tr("Next device on %1").arg(port));
    skipButton = new QPushButton(tr("Skip"), this);
    skipButton->setObjectName(QStringLiteral("skipButton"));
    skipButton->setAccessibleName(tr("Skip this row on %1").arg(port));
    removeButton = new QPushButton(tr("Remove"), this);
    removeButton->setObjectName(QStringLiteral("removeButton"));
    removeButton->setAccessibleName(tr("Remove lane %1").arg(port));
    for (QPushButton *button : {nextButton, skipButton, removeButton})
        clickOnEnter(button);
    nextButton->hide();
    skipButton->hide();

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(nameLabel, 0, 0);
    layout->addWidget(removeButton, 0, 2);
    layout->addWidget(stateLabel, 1, 0, 1, 3);
    layout->addWidget(resultLabel, 2, 0, 1, 3);
    layout->addWidget(nextButton, 3, 1);
    layout->addWidget(skipButton, 3, 2);
    layout->setColumnStretch(0, 1);

    connect(nextButton, &QPushButton::clicked, this, [this] { answer(Batch::Answer::Go); });
    connect(skipButton, &QPushButton::clicked, this, [this] { answer(Batch::Answer::Skip); });
    connect(removeButton, &QPushButton::clicked, this, [this] { emit removeRequested(m_port); });
}

void LaneView::setState(const QString &text)
{
    stateLabel->setText(text);
}

QString LaneView::state() const
{
    return stateLabel->text();
}

void LaneView::setResult(const QString &text, const QString &tooltip)
{
    resultLabel->setText(text);
    resultLabel->setToolTip(tooltip);
}

void LaneView::setKeys(const QKeySequence &next, const QKeySequence &skip)
{
    const auto shown = [](const QString &action, const QKeySequence &key) {
        return key.isEmpty() ? action : QStringLiteral("%1  %2").arg(action, key.toString(QKeySequence::NativeText));
    };
    nextButton->setText(shown(tr("Next"), next));
    skipButton->setText(shown(tr("Skip"), skip));
}

void LaneView::ask(const QString &question, std::function<void(Batch::Answer)> answered)
{
    m_answered = std::move(answered);
    setState(question);
    nextButton->show();
    skipButton->show();
}

void LaneView::stopAsking()
{
    m_answered = nullptr;
    hideQuestion();
}

// A hidden button passes the focus on, to whatever comes next, another
// lane's Next too: it stays on this lane instead.
void LaneView::hideQuestion()
{
    if (nextButton->hasFocus() || skipButton->hasFocus())
        setFocus(Qt::OtherFocusReason);
    nextButton->hide();
    skipButton->hide();
}

void LaneView::setRemovable(bool removable)
{
    removeButton->setVisible(removable);
}

void LaneView::answer(Batch::Answer answer)
{
    if (!m_answered)
        return;
    const auto answered = std::exchange(m_answered, nullptr);
    hideQuestion();
    answered(answer);
}

void LaneView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        answer(Batch::Answer::Go);  // nothing where no question is asked
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace Bench
