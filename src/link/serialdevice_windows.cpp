// A serial port here is one the system lists (\\.\COMn is no file).
#include "serialdevice.h"

#include "portmap.h"
#include "phrases.h"

namespace SerialDevice {

bool isSerialPort(const QString &device, QString *why)
{
    if (PortMap::devicePresent(device))
        return true;
    *why = Phrases::kept(Phrases::Phrase::NoSuchSerialPort);
    return false;
}

} // namespace SerialDevice
