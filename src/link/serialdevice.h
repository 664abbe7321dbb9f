// Whether a device path can be a serial port at all, before anything is
// opened: one that is not there, or a file, is no port to make a lane of.
#pragma once

#include <QString>

namespace SerialDevice {

// False with the reason ("no such device", "a file, not a serial port") in *why.
bool isSerialPort(const QString &device, QString *why);

} // namespace SerialDevice
