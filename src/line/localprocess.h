// Whether a process of this computer is running, for a station name held by
// a run that may have been killed: a dead holder's lease is taken over.
#pragma once

#include <QtGlobal>

namespace Line {

bool processRunning(qint64 pid);

} // namespace Line
