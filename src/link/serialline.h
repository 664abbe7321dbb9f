// The line every program of Velmora opens to the device: 115200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control, in low-latency mode where the
// driver takes it, and locked to this program (PortLock).
#pragma once

#include <QString>

class QSerialPort;
class WireTrace;

namespace SerialLine {

constexpr int BaudRate = 115200;

void applySettings(QSerialPort &port);

// Opens read-write with the line settings, then drops whatever the line held
// before: it answers no command of ours. False with a reason a technician can
// act on in *error ("in use by velmora-cli (pid 1234)", "not a serial port",
// "Permission denied" with what to do about it). An InProcessPort opens as
// it is, with nothing of the system to check, lock or tune. trace, if given, is told
// once whether low latency took.
bool open(QSerialPort &port, QString *error, WireTrace *trace = nullptr);

// Drops what the line holds and has not been read. Where the port is served
// in-process (InProcessPort) there is no driver buffer to purge, and asking
// QSerialPort to purge one would fail as though the device had gone.
void dropInput(QSerialPort &port);

// The device a port opens, as a path: "/dev/ttyUSB0" for "ttyUSB0".
QString systemPath(const QSerialPort &port);

// The hint that goes with "Permission denied" on a serial port.
QString permissionHint();

} // namespace SerialLine
