// A serial port here is a character device: a tty, a pseudo-terminal, or a
// link to one (/dev/serial/by-id/...). Nothing is opened: opening some
// ports resets the board behind them.
#include "serialdevice.h"

#include "inprocessport.h"
#include "phrases.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace SerialDevice {

bool isSerialPort(const QString &device, QString *why)
{
    if (InProcessPort::provides(device))
        return true;
    struct stat found = {};
    if (::stat(QFile::encodeName(device).constData(), &found) != 0) {
        *why = errno == ENOENT ? Phrases::kept(Phrases::Phrase::NoSuchDevice)
                               : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISCHR(found.st_mode)) {
        *why = S_ISDIR(found.st_mode) ? Phrases::kept(Phrases::Phrase::FolderNotPort)
                                      : Phrases::kept(Phrases::Phrase::FileNotPort);
        return false;
    }
    return true;
}

} // namespace SerialDevice
