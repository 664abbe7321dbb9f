#include "inprocessport.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace {

QHash<QString, InProcessPort::Maker> &makers()
{
    static QHash<QString, InProcessPort::Maker> makers;
    return makers;
}

} // namespace

void InProcessPort::provide(const QString &device, Maker maker)
{
    if (maker)
        makers().insert(device, std::move(maker));
    else
        makers().remove(device);
}

std::unique_ptr<QSerialPort> InProcessPort::create(const QString &device)
{
    if (const auto found = makers().constFind(device); found != makers().cend()) {
        std::unique_ptr<QSerialPort> port = (*found)();
        port->setPortName(device);
        return port;
    }
    return std::make_unique<QSerialPort>(device);
}

bool InProcessPort::provides(const QString &device)
{
    return makers().contains(device);
}

InProcessPort::~InProcessPort()
{
    // Here, not in ~QSerialPort, which would close a system port that was never opened.
    if (isOpen())
        close();
}

bool InProcessPort::open(OpenMode mode)
{
    if (isOpen() || !(mode & ReadWrite)) {
        setErrorString(isOpen() ? tr("already open") : tr("unsupported open mode"));
        return false;
    }
    m_incoming.clear();
    return QIODevice::open(mode);
}

void InProcessPort::close()
{
    if (!isOpen())
        return;
    m_incoming.clear();
    QIODevice::close();
}

qint64 InProcessPort::bytesAvailable() const
{
    return m_incoming.size() + QIODevice::bytesAvailable();
}

bool InProcessPort::waitForReadyRead(int msecs)
{
    Q_UNUSED(msecs);
    return false;
}

void InProcessPort::deviceSends(const QByteArray &bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    m_incoming.append(bytes);
    emit readyRead();
}

qint64 InProcessPort::readData(char *data, qint64 maxSize)
{
    const qint64 size = std::min<qint64>(maxSize, m_incoming.size());
    std::memcpy(data, m_incoming.constData(), size_t(size));
    m_incoming.remove(0, size);
    return size;
}

qint64 InProcessPort::writeData(const char *data, qint64 maxSize)
{
    deviceReceives(QByteArray(data, maxSize));
    return maxSize;
}
