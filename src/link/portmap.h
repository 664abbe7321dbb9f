// Which device a COM name of the port list opens. On Windows COMn is the
// device \\.\COMn; elsewhere COMn is /dev/ttyS(n-1) unless mapped to another
// device (velmora --port COM1=/dev/ttyUSB0). Read at every open attempt.
#pragma once

#include <QHash>
#include <QMap>
#include <QString>

namespace PortMap {

constexpr int FirstPort = 1;
constexpr int LastPort = 20;

// "COM7" -> 7; 0 for anything that is not COM1 to COM20.
int portNumber(const QString &comName);

QString defaultDevice(const QString &comName);
QString devicePath(const QString &comName);

// A port of the list (COMn) opens its device; anything else is a device path
// already (/dev/ttyUSB0, /dev/serial/by-id/...).
QString resolve(const QString &portOrPath);

void setDevice(const QString &comName, const QString &devicePath);
// The same for a mapping remembered from an earlier run, which may outlive
// its device (an adapter unplugged): isSaved() lets the window say so.
void setSavedDevice(const QString &comName, const QString &devicePath);
bool isSaved(const QString &comName);
void reset();
// Every mapping in force, saved or given: COMn -> device path.
QMap<QString, QString> mappings();

// A port as it is opened: "COM1 (/dev/ttyS0)", or the path alone.
QString displayName(const QString &portOrPath);
// "cannot open COM1 (/dev/ttyS0): REASON", with where to look next for a
// device that is not there: in its reader's language.
QString cannotOpen(const QString &portOrPath, const QString &reason);
// The same as written, whatever the language, for a log.
QString cannotOpenAsWritten(const QString &portOrPath, const QString &reason);

// What to check when a port is open but no device answers on it.
QString noAnswerHint();

// Whether a device path names a device that is there now.
bool devicePresent(const QString &devicePath);
// What the system calls the adapters it lists now ("USB Serial Port"), by
// device path and by port name (COM3 as well as \\.\COM3). One listing for
// them all: listing the ports walks the system's whole device tree.
QHash<QString, QString> friendlyNames();

// Parses "COMn=DEVICE"; on failure returns false and says why in error.
bool parseMapping(const QString &text, QString *comName, QString *device, QString *error);

} // namespace PortMap
