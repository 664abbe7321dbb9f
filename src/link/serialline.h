// The line every program of Velmora opens to the device: 115200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control.
#pragma once

class QSerialPort;

namespace SerialLine {

constexpr int BaudRate = 115200;

void applySettings(QSerialPort &port);

// Opens read-write with the line settings, then drops whatever the line held
// before: it answers no command of ours. False leaves the reason in
// port.errorString().
bool open(QSerialPort &port);

} // namespace SerialLine
