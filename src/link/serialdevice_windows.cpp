// A serial port here is one the system lists (\\.\COMn is no file).
#include "serialdevice.h"

#include "portmap.h"

namespace SerialDevice {

bool isSerialPort(const QString &device, QString *why)
{
    if (PortMap::devicePresent(device))
        return true;
    *why = QStringLiteral("no such serial port (not plugged in?)");
    return false;
}

} // namespace SerialDevice
