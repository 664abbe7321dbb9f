// Cuts a connection's socket from another thread, so that a call blocked on
// it returns at once with an error; the descriptor stays its owner's to close.
#pragma once

#include <QtGlobal>

namespace Line {

void cutSocket(qintptr socket);

} // namespace Line
