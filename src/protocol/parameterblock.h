// The device's 31 parameter bytes: the payload of SET ALL and, in the same
// layout, the data block the device answers READ with.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>

namespace Protocol {

struct ParameterBlock
{
    static constexpr int Size = 31;

    std::array<quint8, 4> localIp{};
    std::array<quint8, 4> mask{};
    std::array<quint8, 4> serverIp{};
    quint16 port = 0;
    quint16 serialNumber = 0;
    std::array<quint8, 6> mac{};
    quint8 mode = 0;
    quint16 t1 = 0;
    std::array<quint8, 2> reserved{};
    std::array<quint8, 4> gateway{};

    QByteArray toBytes() const;
    // Reads the first Size bytes; bytes must hold at least that many.
    static ParameterBlock fromBytes(const QByteArray &bytes);

    friend bool operator==(const ParameterBlock &a, const ParameterBlock &b)
    {
        return a.toBytes() == b.toBytes();
    }
};

// The nine-line report of a READ data block: "LIP:..." to "GATE:...", lines
// joined by "\r\n", none after the last.
QString readReport(const ParameterBlock &block);

// "192.168.0.1" and "0.1b.2c.a.3d.4f": decimal for addresses, lower-case hex for MACs.
QString dottedDecimal(const quint8 *octets, int count);
QString dottedHex(const quint8 *octets, int count);

} // namespace Protocol
