#include "parameterblock.h"

#include "frame.h"

#include <QStringList>

namespace Protocol {

namespace {

template<size_t N>
void appendOctets(QByteArray &bytes, const std::array<quint8, N> &octets)
{
    for (quint8 octet : octets)
        bytes.append(char(octet));
}

class BlockReader
{
public:
    explicit BlockReader(const QByteArray &bytes) : m_bytes(bytes) {}

    quint8 byte() { return quint8(m_bytes.at(m_offset++)); }
    quint16 word()
    {
        m_offset += 2;
        return fromBigEndian16(m_bytes.mid(m_offset - 2, 2));
    }
    template<size_t N>
    void octets(std::array<quint8, N> &out)
    {
        for (quint8 &octet : out)
            octet = byte();
    }

private:
    const QByteArray &m_bytes;
    int m_offset = 0;
};

QString joined(const quint8 *octets, int count, int base)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QString::number(octets[i], base);
    return parts.join(QLatin1Char('.'));
}

} // namespace

QByteArray ParameterBlock::toBytes() const
{
    QByteArray bytes;
    bytes.reserve(Size);
    appendOctets(bytes, localIp);
    appendOctets(bytes, mask);
    appendOctets(bytes, serverIp);
    bytes.append(bigEndian16(port));
    bytes.append(bigEndian16(serialNumber));
    appendOctets(bytes, mac);
    bytes.append(char(mode));
    bytes.append(bigEndian16(t1));
    appendOctets(bytes, reserved);
    appendOctets(bytes, gateway);
    Q_ASSERT(bytes.size() == Size);
    return bytes;
}

ParameterBlock ParameterBlock::fromBytes(const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() >= Size);
    ParameterBlock block;
    BlockReader reader(bytes);
    reader.octets(block.localIp);
    reader.octets(block.mask);
    reader.octets(block.serverIp);
    block.port = reader.word();
    block.serialNumber = reader.word();
    reader.octets(block.mac);
    block.mode = reader.byte();
    block.t1 = reader.word();
    reader.octets(block.reserved);
    reader.octets(block.gateway);
    return block;
}

const std::array<BlockField, 10> &blockFields()
{
    static const std::array<BlockField, 10> fields = {{
        {"lip", 0, 4, BlockField::Address, 255, Command::LocalIp},
        {"mask", 4, 4, BlockField::Address, 255, Command::Mask},
        {"sip", 8, 4, BlockField::Address, 255, Command::ServerIp},
        {"port", 12, 2, BlockField::Number, 65535, Command::Port},
        {"sn", 14, 2, BlockField::Number, 249, Command::SerialNumber},
        {"mac", 16, 6, BlockField::Mac, 255, Command::Mac},
        {"mode", 22, 1, BlockField::Number, 255, std::nullopt},
        {"t1", 23, 2, BlockField::Number, 65535, Command::T1},
        {"reserved", 25, 2, BlockField::HexPairs, 255, std::nullopt},
        {"gateway", 27, 4, BlockField::Address, 255, Command::Gateway},
    }};
    return fields;
}

const BlockField *blockField(QStringView key)
{
    for (const BlockField &field : blockFields()) {
        if (key == QLatin1String(field.key))
            return &field;
    }
    return nullptr;
}

QString dottedDecimal(const quint8 *octets, int count)
{
    return joined(octets, count, 10);
}

QString dottedHex(const quint8 *octets, int count)
{
    return joined(octets, count, 16);
}

QString readReport(const ParameterBlock &block)
{
    const QStringList lines = {
        QLatin1String("LIP:") + dottedDecimal(block.localIp.data(), 4),
        QLatin1String("MASK:") + dottedDecimal(block.mask.data(), 4),
        QLatin1String("SIP:") + dottedDecimal(block.serverIp.data(), 4),
        QLatin1String("MAC:") + dottedHex(block.mac.data(), 6),
        QLatin1String("PORT:") + QString::number(block.port),
        QLatin1String("SN:") + QString::number(block.serialNumber),
        QLatin1String("MODE:") + QString::number(block.mode),
        QLatin1String("T1:") + QString::number(block.t1),
        QLatin1String("GATE:") + dottedDecimal(block.gateway.data(), 4),
    };
    return lines.join(QLatin1String("\r\n"));
}

} // namespace Protocol
