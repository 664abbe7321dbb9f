// Enter or Return on a focused button clicks it, as Space does: outside a
// dialog Qt leaves those keys to the button's parent, which would act on
// them as if they were meant for it (the lane's Next).
#pragma once

class QAbstractButton;

namespace Bench {

void clickOnEnter(QAbstractButton *button);

} // namespace Bench
