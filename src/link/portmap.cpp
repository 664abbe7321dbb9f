#include "portmap.h"

#include "inprocessport.h"
#include "phrases.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSerialPortInfo>

namespace PortMap {

namespace {

// What a person is told of a port, in their language.
struct PortMapText
{
    Q_DECLARE_TR_FUNCTIONS(Link::PortMap)
};

QString asWritten(const char *text, const char * = nullptr, int = -1)
{
    return QString::fromLatin1(text);
}

using Say = QString (*)(const char *, const char *, int);

QString cannotOpenText(const QString &portOrPath, const QString &reason, Say say)
{
    QString line = say(QT_TRANSLATE_NOOP("Link::PortMap", "cannot open %1: %2"), nullptr, -1).arg(displayName(portOrPath), reason);
    if (!devicePresent(resolve(portOrPath)))
        line += say(QT_TRANSLATE_NOOP("Link::PortMap", "; velmora-cli ports lists the serial ports present"), nullptr, -1);
    return line;
}

struct Mapping
{
    QString device;
    bool saved = false;
};

QHash<QString, Mapping> &table()
{
    static QHash<QString, Mapping> table;
    return table;
}

#ifdef Q_OS_WIN
// The system's entry for a device: Windows lists COM3, which opens \\.\COM3.
QSerialPortInfo systemPort(const QString &device)
{
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        if (port.systemLocation() == device || port.portName() == device)
            return port;
    }
    return {};
}
#endif

} // namespace

int portNumber(const QString &comName)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]?)$"));
    const QRegularExpressionMatch match = pattern.match(comName);
    if (!match.hasMatch())
        return 0;
    const int number = match.captured(1).toInt();
    return number <= LastPort ? number : 0;
}

QString defaultDevice(const QString &comName)
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\") + comName;
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber(comName) - 1);
#endif
}

QString devicePath(const QString &comName)
{
    const auto found = table().constFind(comName);
    return found != table().cend() ? found->device : defaultDevice(comName);
}

QString resolve(const QString &portOrPath)
{
    return portNumber(portOrPath) != 0 ? devicePath(portOrPath) : portOrPath;
}

void setDevice(const QString &comName, const QString &device)
{
    table().insert(comName, {device, false});
}

void setSavedDevice(const QString &comName, const QString &device)
{
    table().insert(comName, {device, true});
}

bool isSaved(const QString &comName)
{
    return table().value(comName).saved;
}

void reset()
{
    table().clear();
}

QMap<QString, QString> mappings()
{
    QMap<QString, QString> result;
    for (auto it = table().cbegin(); it != table().cend(); ++it)
        result.insert(it.key(), it->device);
    return result;
}

QString displayName(const QString &portOrPath)
{
    const QString device = resolve(portOrPath);
    return device == portOrPath ? device : QStringLiteral("%1 (%2)").arg(portOrPath, device);
}

QString cannotOpen(const QString &portOrPath, const QString &reason)
{
    return cannotOpenText(portOrPath, Phrases::said(reason), &PortMapText::tr);
}

QString cannotOpenAsWritten(const QString &portOrPath, const QString &reason)
{
    return cannotOpenText(portOrPath, reason, &asWritten);
}

QString noAnswerHint()
{
    return PortMapText::tr("check the cable, the device's power and that this is its port (velmora-cli scan finds it)");
}

bool devicePresent(const QString &device)
{
    if (InProcessPort::provides(device))
        return true;
#ifdef Q_OS_WIN
    // \\.\COM3 is no file; the system's list of ports knows it.
    return !systemPort(device).isNull();
#else
    // Follows links: a /dev/serial/by-id/ name of an unplugged adapter is gone.
    return QFileInfo::exists(device);
#endif
}

QHash<QString, QString> friendlyNames()
{
    QHash<QString, QString> names;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        if (port.description().isEmpty())
            continue;
        names.insert(port.systemLocation(), port.description());
        names.insert(port.portName(), port.description());
    }
    return names;
}

bool parseMapping(const QString &text, QString *comName, QString *device, QString *error)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString name = text.left(equals);
    const QString path = equals < 0 ? QString() : text.mid(equals + 1);
    if (equals < 0 || path.isEmpty()) {
        *error = PortMapText::tr("--port %1: expected COMn=DEVICE").arg(text);
        return false;
    }
    if (portNumber(name) == 0) {
        *error = PortMapText::tr("--port %1: %2 is not a port of the list, COM%3 to COM%4")
                     .arg(text, name).arg(FirstPort).arg(LastPort);
        return false;
    }
    *comName = name;
    *device = path;
    return true;
}

} // namespace PortMap
