// Who holds the lock on a file: "velmora-bench (process 4242)", as far as
// the system tells (Linux lists its locks in /proc/locks); empty elsewhere.
#pragma once

#include <QString>

namespace LockHolder {

QString describe(quint64 device, quint64 inode);

} // namespace LockHolder
