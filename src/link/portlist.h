// The serial ports a technician can choose from: every port the system lists
// (QSerialPortInfo), every device a COM name is mapped to (one served
// in-process among them: InProcessPort), and any path
// given, each once however many names lead to it, with what identifies the
// adapter and whether this user can open it now.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace PortList {

struct Port
{
    QString device;        // the device itself: /dev/ttyUSB0, /dev/pts/5
    QString stableName;    // its /dev/serial/by-id/ link, or the link it was named by; on Windows COMn
    QStringList comNames;  // COMn that open it: mapped (saved or given), or COMn of /dev/ttyS(n-1)
    QString description;
    QString manufacturer;
    QString usbId;         // "0403:6001", empty for a port that is no USB adapter
    QString serialNumber;  // the adapter's
    QString problem;       // why it cannot be opened now, empty if it can
};

// extraPaths: ports named on the command line, listed even where the system does not list them.
std::vector<Port> list(const QStringList &extraPaths = {});

// Why this user cannot open path now ("in use by ...", "Permission denied; ..."),
// empty if nothing stands in the way. Opens it without changing its settings.
QString problemOpening(const QString &path);

// A port as the technician would name it: "COM3 (/dev/serial/by-id/...)", the by-id name, or the device.
QString displayName(const Port &port);

} // namespace PortList
