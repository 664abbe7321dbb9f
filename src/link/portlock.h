// One device, one user. The serial library locks a port by the name it was
// opened under, so /dev/ttyUSB0 and a /dev/serial/by-id/ link to it could be
// opened by two programs at once, each writing frames between the other's.
// Velmora also locks the open descriptor itself (flock, which every name and
// every process of the same device node meets, and TIOCEXCL on Linux), and
// names the process that holds a port when another is refused.
#pragma once

#include <QString>

namespace PortLock {

// What a device is, whatever it is called: its canonical path and, for a
// device node, its device number (0 where there is none).
struct Identity
{
    QString canonicalPath;
    quint64 deviceNumber = 0;

    bool sameDevice(const Identity &other) const;
};
Identity identify(const QString &path);

// Takes the exclusive lock on an open port; false with "in use by ..." in
// *error if another descriptor holds it.
bool claim(int descriptor, const QString &path, QString *error);

// Removes the serial library's lock file of path, and the one it takes to
// remove a stale lock file, where a program killed while taking it left it
// without its pid, and no process holds it.
void clearOrphanedLock(const QString &path);

// "velmora-cli (pid 1234)" for the process that holds the device's lock, or
// "another program" where none can be named.
QString holderOf(const QString &path);
// The same for any file's flock, where the system tells (Linux); empty else.
QString flockHolder(const QString &path);

// "in use by velmora-cli (pid 1234)".
QString inUse(const QString &path);

} // namespace PortLock
