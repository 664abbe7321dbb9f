// Whether a pseudo-terminal's line is in exclusive mode (TIOCEXCL), as the
// serial library leaves it while a program holds the port: an open refused,
// or, for root, whom the mode lets in, the mode read back.
#pragma once

#include <QFile>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

inline bool exclusiveMode(const QString &path)
{
    const int probe = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (probe < 0)
        return errno == EBUSY;
    int on = 0;
    ::ioctl(probe, TIOCGEXCL, &on);
    ::close(probe);
    return on != 0;
}
