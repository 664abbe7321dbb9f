#include "serialline.h"

#include "inprocessport.h"
#include "lowlatency.h"
#include "phrases.h"
#include "portlock.h"
#include "wiretrace.h"

#include <QFile>
#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace SerialLine {

namespace {

#ifdef Q_OS_UNIX
QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

// Why path is no port to open, before the serial library tries; empty if it may be one.
QString notAPort(const QString &path)
{
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return systemError(errno);
    return S_ISCHR(status.st_mode) ? QString() : Phrases::kept(Phrases::Phrase::NotASerialPort);
}
#endif

// The serial library's reason, said as what it means for a serial port.
QString explained(const QSerialPort &port, const QString &path)
{
    const QString reason = port.errorString();
#ifdef Q_OS_UNIX
    // Its lock file is taken: another program opened the port under this name.
    if (reason.contains(QLatin1String("locking")) || reason == systemError(EBUSY))
        return PortLock::inUse(path);
    if (reason == systemError(EACCES) || (port.error() == QSerialPort::PermissionError
                                          && ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0))
        return systemError(EACCES) + QLatin1String("; ") + permissionHint();
    if (reason == systemError(ENOTTY) || reason == systemError(EINVAL))
        return Phrases::kept(Phrases::Phrase::NotASerialPort);
#else
    Q_UNUSED(path);
#endif
    return reason;
}

} // namespace

void applySettings(QSerialPort &port)
{
    port.setBaudRate(BaudRate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

QString systemPath(const QSerialPort &port)
{
    const QString name = port.portName();
#ifdef Q_OS_UNIX
    if (!name.startsWith(QLatin1Char('/')))
        return QLatin1String("/dev/") + name;
#endif
    return name;
}

QString permissionHint()
{
    return Phrases::kept(Phrases::Phrase::GroupDialout);
}

void dropInput(QSerialPort &port)
{
    if (qobject_cast<InProcessPort *>(&port))
        port.readAll();
    else
        port.clear(QSerialPort::Input);
}

bool open(QSerialPort &port, QString *error, WireTrace *trace)
{
    if (qobject_cast<InProcessPort *>(&port)) {
        applySettings(port);
        if (!port.open(QIODevice::ReadWrite)) {
            *error = port.errorString();
            return false;
        }
        if (trace)
            trace->note(QStringLiteral("%1: served in this program, no serial line").arg(port.portName()));
        return true;
    }
    const QString path = systemPath(port);
#ifdef Q_OS_UNIX
    if (const QString reason = notAPort(path); !reason.isEmpty()) {
        *error = reason;
        return false;
    }
    PortLock::clearOrphanedLock(path);
#endif
    applySettings(port);
    if (!port.open(QIODevice::ReadWrite)) {
        *error = explained(port, path);
        return false;
    }
#ifdef Q_OS_UNIX
    if (!PortLock::claim(port.handle(), path, error)) {
        port.close();
        return false;
    }
    const LowLatency::Outcome latency = LowLatency::enable(port.handle());
#else
    const LowLatency::Outcome latency = {false, QStringLiteral("not on this system")};
#endif
    if (trace)
        trace->note(QStringLiteral("%1 %2").arg(path, LowLatency::describe(latency)));
    dropInput(port);
    return true;
}

} // namespace SerialLine
