#include "simulatedport.h"

#include <utility>

SimulatedSerialPort::SimulatedSerialPort(std::shared_ptr<DeviceModel> device) : m_device(std::move(device))
{
    m_silenceTimer.setSingleShot(true);
    m_silenceTimer.setInterval(SilenceMs);
    connect(&m_silenceTimer, &QTimer::timeout, this, [this] { handle(m_device->dropPartialFrame()); });
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setInterval(0);
    connect(&m_replyTimer, &QTimer::timeout, this, &SimulatedSerialPort::sendReplies);
}

SimulatedSerialPort::~SimulatedSerialPort()
{
    close();
}

void SimulatedSerialPort::close()
{
    m_replyTimer.stop();
    m_replies.clear();
    m_silenceTimer.stop();
    // The line goes quiet: a frame begun is given up, as after silence.
    m_device->dropPartialFrame();
    InProcessPort::close();
}

void SimulatedSerialPort::deviceReceives(const QByteArray &bytes)
{
    handle(m_device->receive(bytes));
    if (m_device->hasPartialFrame())
        m_silenceTimer.start();
    else
        m_silenceTimer.stop();
}

void SimulatedSerialPort::handle(const std::vector<DeviceExchange> &exchanges)
{
    for (const DeviceExchange &exchange : exchanges)
        m_replies.append(exchange.reply);
    if (!m_replies.isEmpty())
        m_replyTimer.start();
}

void SimulatedSerialPort::sendReplies()
{
    deviceSends(std::exchange(m_replies, QByteArray()));
}
