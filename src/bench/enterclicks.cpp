#include "enterclicks.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace Bench {

namespace {

class EnterClicks : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || key->modifiers() & ~Qt::KeypadModifier)
            return false;
        auto *button = static_cast<QAbstractButton *>(watched);
        if (button->isEnabled() && !key->isAutoRepeat())
            button->click();
        return true;  // never on to the parent
    }
};

} // namespace

void clickOnEnter(QAbstractButton *button)
{
    button->installEventFilter(new EnterClicks(button));
}

} // namespace Bench
