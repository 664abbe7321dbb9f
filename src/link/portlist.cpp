#include "portlist.h"

#include "inprocessport.h"
#include "portlock.h"
#include "portmap.h"
#include "serialline.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace PortList {

namespace {

struct Found
{
    Port port;
    PortLock::Identity identity;
};

Found &entryFor(std::vector<Found> &found, const QString &path)
{
    const PortLock::Identity identity = PortLock::identify(path);
    for (Found &entry : found) {
        if (entry.identity.sameDevice(identity))
            return entry;
    }
    Found entry;
    entry.identity = identity;
    entry.port.device = identity.canonicalPath;
    found.push_back(entry);
    return found.back();
}

// A link to the device given by name (a mapping, the command line) says which adapter it is.
void noteName(Port &port, const QString &path)
{
    if (port.stableName.isEmpty() && QFileInfo(path).isSymLink())
        port.stableName = path;
}

} // namespace

std::vector<Port> list(const QStringList &extraPaths)
{
    std::vector<Found> found;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        Port &port = entryFor(found, info.systemLocation()).port;
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            port.usbId = QStringLiteral("%1:%2").arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                             .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
#ifdef Q_OS_WIN
        port.stableName = info.portName();
#endif
    }
    const QMap<QString, QString> mapped = PortMap::mappings();
    std::vector<Port> inProcess;  // no device of the system, nothing to identify or open
    for (auto it = mapped.cbegin(); it != mapped.cend(); ++it) {
        if (InProcessPort::provides(it.value())) {
            Port served;
            served.device = it.value();
            served.comNames << it.key();
            served.description = QStringLiteral("served in this program");
            inProcess.push_back(served);
            continue;
        }
        if (!PortMap::devicePresent(it.value()))
            continue;
        Port &port = entryFor(found, it.value()).port;
        port.comNames << it.key();
        noteName(port, it.value());
    }
    for (const QString &path : extraPaths) {
        if (PortMap::devicePresent(path))
            noteName(entryFor(found, path).port, path);
    }
#ifdef Q_OS_UNIX
    const QFileInfoList links = QDir(QStringLiteral("/dev/serial/by-id")).entryInfoList(QDir::System | QDir::Files);
    for (Found &entry : found) {
        for (const QFileInfo &link : links) {
            if (link.canonicalFilePath() == entry.identity.canonicalPath)
                entry.port.stableName = link.absoluteFilePath();
        }
        // COMn that no mapping takes opens /dev/ttyS(n-1).
        for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n) {
            const QString com = QStringLiteral("COM%1").arg(n);
            if (!mapped.contains(com) && PortMap::defaultDevice(com) == entry.identity.canonicalPath)
                entry.port.comNames << com;
        }
    }
#endif
    std::vector<Port> ports;
    for (Found &entry : found) {
        entry.port.problem = problemOpening(entry.port.device);
        ports.push_back(entry.port);
    }
    ports.insert(ports.end(), inProcess.begin(), inProcess.end());
    return ports;
}

QString problemOpening(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    if (::access(name.constData(), R_OK | W_OK) != 0)
        return errno == EACCES ? QString::fromLocal8Bit(std::strerror(EACCES)) + QLatin1String("; ")
                                     + SerialLine::permissionHint()
                               : QString::fromLocal8Bit(std::strerror(errno));
    const int descriptor = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return errno == EBUSY ? PortLock::inUse(path) : QString::fromLocal8Bit(std::strerror(errno));
#ifdef Q_OS_LINUX
    // Read from the system's list of locks: a lock taken here to try, for
    // however short a while, could refuse a run that claims the port just then.
    ::close(descriptor);
    const bool held = !PortLock::flockHolder(path).isEmpty();
#else
    const bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
    ::close(descriptor);
#endif
    return held ? PortLock::inUse(path) : QString();
#else
    Q_UNUSED(path);
    return {};
#endif
}

QString displayName(const Port &port)
{
    const QString name = port.stableName.isEmpty() ? port.device : port.stableName;
    return port.comNames.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(port.comNames.first(), name);
}

} // namespace PortList
