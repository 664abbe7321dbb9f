#include "devicemodel.h"

#include "framelog.h"
#include "protocol/frame.h"
#include "protocol/reply.h"

#include <algorithm>
#include <iterator>

namespace {

template<size_t N>
void setOctets(std::array<quint8, N> &octets, const QByteArray &payload)
{
    Q_ASSERT(payload.size() == int(N));
    std::copy(payload.cbegin(), payload.cend(), octets.begin());
}

// Where the next frame may begin: the next header after byte 0, or the end.
int nextHeader(const QByteArray &buffer)
{
    const int next = int(buffer.indexOf(char(Protocol::FrameHeader), 1));
    return next < 0 ? int(buffer.size()) : next;
}

QString serialNumberRefusal(quint16 serialNumber)
{
    if (serialNumber <= DeviceModel::MaxSerialNumber)
        return {};
    return QStringLiteral("SN %1 above %2").arg(serialNumber).arg(DeviceModel::MaxSerialNumber);
}

// Why the device cannot take a well-formed frame's values; empty when it can.
QString valueRefusal(const Protocol::DecodedFrame &frame)
{
    switch (frame.command->command) {
    case Protocol::Command::SerialNumber:
        return serialNumberRefusal(Protocol::fromBigEndian16(frame.payload));
    case Protocol::Command::SetAll:
        return serialNumberRefusal(Protocol::ParameterBlock::fromBytes(frame.payload).serialNumber);
    default:
        return {};
    }
}

} // namespace

Protocol::ParameterBlock DeviceModel::startParameters()
{
    Protocol::ParameterBlock block;
    block.localIp = {10, 20, 30, 40};
    block.mask = {255, 255, 0, 0};
    block.serverIp = {10, 20, 0, 1};
    block.port = 5020;
    block.serialNumber = 17;
    block.mac = {0x02, 0x56, 0x4d, 0x00, 0x00, 0x01};
    block.mode = 1;
    block.t1 = 30;
    block.reserved = {0, 0};
    block.gateway = {10, 20, 0, 254};
    return block;
}

DeviceModel::DeviceModel() : m_parameters(startParameters()) {}

std::vector<DeviceExchange> DeviceModel::receive(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    return takeFrames();
}

std::vector<DeviceExchange> DeviceModel::dropPartialFrame()
{
    std::vector<DeviceExchange> done;
    // Bytes that came after the stray header may hold whole frames, and the
    // rest of them has had its silence too: repeat until nothing is left over.
    while (hasPartialFrame()) {
        const int end = nextHeader(m_buffer);
        DeviceExchange dropped;
        dropped.frame = m_buffer.left(end);
        dropped.description = QStringLiteral("incomplete frame %1 dropped after silence")
                                  .arg(FrameLog::hexBytes(dropped.frame));
        m_buffer.remove(0, end);
        done.push_back(std::move(dropped));

        std::vector<DeviceExchange> more = takeFrames();
        std::move(more.begin(), more.end(), std::back_inserter(done));
    }
    return done;
}

std::vector<DeviceExchange> DeviceModel::takeFrames()
{
    std::vector<DeviceExchange> done;
    for (;;) {
        const Protocol::FrameScan scan = Protocol::scanFrame(m_buffer);
        if (scan.kind == Protocol::FrameScan::NeedMore)
            break;
        if (scan.kind == Protocol::FrameScan::Garbage) {
            // Byte 0 is no header, so the garbage runs up to the next one.
            const int end = nextHeader(m_buffer);
            DeviceExchange skipped;
            skipped.frame = m_buffer.left(end);
            skipped.description = QStringLiteral("skipped %1 byte(s): %2")
                                      .arg(end)
                                      .arg(FrameLog::hexBytes(skipped.frame));
            m_buffer.remove(0, end);
            done.push_back(std::move(skipped));
            continue;
        }
        const QByteArray frame = m_buffer.left(scan.size);
        m_buffer.remove(0, scan.size);
        done.push_back(handleFrame(frame));
    }
    return done;
}

DeviceExchange DeviceModel::handleFrame(const QByteArray &frame)
{
    using Protocol::Command;

    if (m_refuseAll)
        return refuse(frame, QStringLiteral("set to fail every frame"));
    const Protocol::DecodedFrame decoded = Protocol::decodeFrame(frame);
    if (!decoded.command)
        return refuse(frame, decoded.error);
    const QString refusal = valueRefusal(decoded);
    if (!refusal.isEmpty())
        return refuse(frame, refusal);

    DeviceExchange exchange;
    exchange.frame = frame;
    exchange.reply = QByteArray(1, char(Protocol::AckByte));
    const QByteArray before = m_parameters.toBytes();
    const QByteArray &payload = decoded.payload;
    switch (decoded.command->command) {
    case Command::Gateway:
        setOctets(m_parameters.gateway, payload);
        break;
    case Command::LocalIp:
        setOctets(m_parameters.localIp, payload);
        break;
    case Command::Mask:
        setOctets(m_parameters.mask, payload);
        break;
    case Command::ServerIp:
        setOctets(m_parameters.serverIp, payload);
        break;
    case Command::Mac:
        setOctets(m_parameters.mac, payload);
        break;
    case Command::Port:
        m_parameters.port = Protocol::fromBigEndian16(payload);
        break;
    case Command::T1:
        m_parameters.t1 = Protocol::fromBigEndian16(payload);
        break;
    case Command::SerialNumber:
        m_parameters.serialNumber = Protocol::fromBigEndian16(payload);
        break;
    case Command::SetAll:
        m_parameters = Protocol::ParameterBlock::fromBytes(payload);
        break;
    case Command::ExciterAddress:
        m_exciterAddress = quint8(payload.at(0));
        break;
    case Command::Reset:
        // A restart keeps what was configured: the parameters are the device's
        // stored settings, not its running state.
        break;
    case Command::Read:
        exchange.reply = m_parameters.toBytes();
        break;
    }
    if (m_ignoredField) {
        const int offset = m_ignoredField->offset;
        const int width = m_ignoredField->width;
        m_parameters = Protocol::ParameterBlock::fromBytes(
            m_parameters.toBytes().replace(offset, width, before.mid(offset, width)));
    }
    const bool isBlock = decoded.command->command == Command::Read;
    exchange.description = FrameLog::describeCommand(decoded)
                           + (isBlock ? QLatin1String(" -> block") : QLatin1String(" -> ack"));
    return exchange;
}

DeviceExchange DeviceModel::refuse(const QByteArray &frame, const QString &reason) const
{
    // Byte 2 is the command code in any frame whose length byte counts one.
    const bool hasCode = frame.size() > Protocol::FrameOverhead;
    DeviceExchange exchange;
    exchange.frame = frame;
    exchange.reply.append(char(FailureByte));
    exchange.reply.append(char(hasCode ? quint8(frame.at(2)) : NoCode));
    exchange.description = QStringLiteral("frame %1 refused: %2 -> failed")
                               .arg(FrameLog::hexBytes(frame), reason);
    return exchange;
}
