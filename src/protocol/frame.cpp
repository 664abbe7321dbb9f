#include "frame.h"

#include <QtGlobal>

#include <array>

namespace Protocol {

namespace {

const std::array<CommandInfo, 12> commandTable = {{
    {Command::Gateway, 0x0B, 5, 1, "GATEWAY", QT_TRANSLATE_NOOP("MainWindow", "Gateway success")},
    {Command::LocalIp, 0x00, 5, 2, "LIP", QT_TRANSLATE_NOOP("MainWindow", "LIP success")},
    {Command::Mask, 0x01, 5, 3, "MASK", QT_TRANSLATE_NOOP("MainWindow", "MASK success")},
    {Command::ServerIp, 0x02, 5, 4, "SIP", QT_TRANSLATE_NOOP("MainWindow", "SIP success")},
    {Command::Mac, 0x05, 7, 5, "MAC", QT_TRANSLATE_NOOP("MainWindow", "MAC success")},
    {Command::Port, 0x03, 3, 6, "PORT", QT_TRANSLATE_NOOP("MainWindow", "PORT success")},
    {Command::T1, 0x07, 3, 7, "T1", QT_TRANSLATE_NOOP("MainWindow", "T1 success")},
    {Command::SerialNumber, 0x04, 3, 8, "SN", QT_TRANSLATE_NOOP("MainWindow", "SN success")},
    {Command::SetAll, 0x0A, 32, 9, "SET ALL", QT_TRANSLATE_NOOP("MainWindow", "SET ALL success")},
    {Command::Reset, 0x09, 1, 10, "RESET", QT_TRANSLATE_NOOP("MainWindow", "RESET success")},
    {Command::ExciterAddress, 0x0C, 2, 11, "EXCITER",
     QT_TRANSLATE_NOOP("MainWindow", "激励器地址配置成功")},
    {Command::Read, 0x0C, 1, 12, "READ", QT_TRANSLATE_NOOP("MainWindow", "READ Success")},
}};

} // namespace

const CommandInfo &info(Command command)
{
    return commandTable[static_cast<size_t>(command)];
}

const CommandInfo *infoForPending(int pending)
{
    if (pending < 1 || pending > int(commandTable.size()))
        return nullptr;
    return &commandTable[size_t(pending - 1)];
}

const CommandInfo *infoForFrame(quint8 code, quint8 length)
{
    for (const CommandInfo &entry : commandTable) {
        if (entry.code == code && entry.length == length)
            return &entry;
    }
    return nullptr;
}

char checksum(const char *array, int start, int stop)
{
    char sum = 0;
    for (int i = start; i <= stop; ++i)
        sum = char(sum ^ array[i]);
    return sum;
}

QByteArray buildFrame(Command command, const QByteArray &payload)
{
    const CommandInfo &entry = info(command);
    Q_ASSERT(payload.size() == entry.payloadSize());

    QByteArray frame;
    frame.reserve(entry.frameSize());
    frame.append(char(FrameHeader));
    frame.append(char(entry.length));
    frame.append(char(entry.code));
    frame.append(payload);
    frame.append(checksum(frame.constData(), 2, entry.length + 1));
    frame.append(char(FrameTrailer));
    return frame;
}

short parseShort(const char *text)
{
    quint16 value = 0;
    for (int i = 0; text[i] != 0; ++i) {
        const int digit = static_cast<signed char>(text[i]) - 48;
        value = quint16(value * 10 + digit);
    }
    return static_cast<short>(value);
}

quint8 decimalByte(const QString &text)
{
    return quint8(text.toInt(nullptr, 10) & 0xFF);
}

quint8 hexByte(const QString &text)
{
    return quint8(text.toInt(nullptr, 16) & 0xFF);
}

QByteArray bigEndian16(quint16 value)
{
    QByteArray bytes;
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
    return bytes;
}

quint16 fromBigEndian16(const QByteArray &twoBytes)
{
    Q_ASSERT(twoBytes.size() == 2);
    return quint16(quint8(twoBytes.at(0)) << 8 | quint8(twoBytes.at(1)));
}

FrameScan scanFrame(const QByteArray &buffer)
{
    if (buffer.isEmpty())
        return {FrameScan::NeedMore, 0};
    if (quint8(buffer.at(0)) != FrameHeader)
        return {FrameScan::Garbage, 1};
    if (buffer.size() < 2)
        return {FrameScan::NeedMore, 0};
    const int size = quint8(buffer.at(1)) + FrameOverhead;
    if (buffer.size() < size)
        return {FrameScan::NeedMore, size};
    return {FrameScan::Frame, size};
}

DecodedFrame decodeFrame(const QByteArray &frame)
{
    DecodedFrame decoded;
    if (frame.size() > 2)
        decoded.code = quint8(frame.at(2));
    if (frame.size() < FrameOverhead + 1 || quint8(frame.at(0)) != FrameHeader
        || quint8(frame.at(1)) + FrameOverhead != frame.size()) {
        decoded.error = QStringLiteral("malformed frame");
        return decoded;
    }
    const int length = quint8(frame.at(1));
    decoded.payload = frame.mid(3, length - 1);
    if (quint8(frame.at(frame.size() - 1)) != FrameTrailer) {
        decoded.error = QStringLiteral("bad trailer");
        return decoded;
    }
    if (frame.at(length + 2) != checksum(frame.constData(), 2, length + 1)) {
        decoded.error = QStringLiteral("bad checksum");
        return decoded;
    }
    decoded.command = infoForFrame(decoded.code, quint8(length));
    if (!decoded.command)
        decoded.error = QStringLiteral("unknown command 0x%1 with length %2")
                            .arg(decoded.code, 2, 16, QLatin1Char('0'))
                            .arg(length);
    return decoded;
}

} // namespace Protocol
