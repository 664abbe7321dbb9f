// The device's 31 parameter bytes: the payload of SET ALL and, in the same
// layout, the data block the device answers READ with.
#pragma once

#include "frame.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

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

// One value of the block: where it lies and how it is written as text. The
// key names the value wherever a person types or reads it (velmora-cli,
// profiles, velmora-sim --ignore).
struct BlockField
{
    enum Type {
        Address,   // dotted quad, "192.168.0.1"
        Mac,       // six hex pairs, "00:1e:ce:00:79:01"
        Number,    // unsigned, big-endian, 0 to maximum
        HexPairs,  // bytes no command interprets, "00:00"
    };

    const char *key;
    int offset;
    int width;
    Type type;
    int maximum;  // Number only
    std::optional<Command> command;  // the single command that writes it, if any
};

// Every value of the block, in block order.
const std::array<BlockField, 10> &blockFields();
// nullptr for a key that names no field.
const BlockField *blockField(QStringView key);

// The nine-line report of a READ data block: "LIP:..." to "GATE:...", lines
// joined by "\r\n", none after the last.
QString readReport(const ParameterBlock &block);

// "192.168.0.1" and "0.1b.2c.a.3d.4f": decimal for addresses, lower-case hex for MACs.
QString dottedDecimal(const quint8 *octets, int count);
QString dottedHex(const quint8 *octets, int count);

} // namespace Protocol
