#include "serialline.h"

#include <QSerialPort>

namespace SerialLine {

void applySettings(QSerialPort &port)
{
    port.setBaudRate(BaudRate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

bool open(QSerialPort &port)
{
    applySettings(port);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.clear(QSerialPort::Input);
    return true;
}

} // namespace SerialLine
