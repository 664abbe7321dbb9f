// Command frames sent to the device: layout, checksum, command table and the
// conversions that turn field texts into payload bytes.
//
// A frame is 0xAA, L, command code, L-1 payload bytes, XOR of code and payload,
// 0x55. Nothing is escaped: 0xAA and 0x55 may appear inside a frame.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Protocol {

constexpr quint8 FrameHeader = 0xAA;
constexpr quint8 FrameTrailer = 0x55;
// Header, length byte, checksum and trailer.
constexpr int FrameOverhead = 4;

enum class Command {
    Gateway,
    LocalIp,
    Mask,
    ServerIp,
    Mac,
    Port,
    T1,
    SerialNumber,
    SetAll,
    Reset,
    ExciterAddress,
    Read,
};

struct CommandInfo
{
    Command command;
    quint8 code;    // command code, frame byte 2
    quint8 length;  // L: the code and the payload
    int pending;    // the pending-command code the window records while it waits
    const char *name;
    const char *successText;

    int payloadSize() const { return length - 1; }
    int frameSize() const { return length + FrameOverhead; }
};

// Every command, in the order of the pending-command codes 1 to 12.
const CommandInfo &info(Command command);
const CommandInfo *infoForPending(int pending);
// READ and the exciter address share code 0x0C; the length byte tells them apart.
const CommandInfo *infoForFrame(quint8 code, quint8 length);

// XOR of array[start] .. array[stop], both included; 0 when start > stop.
char checksum(const char *array, int start, int stop);

// The complete frame for a command; payload must be exactly payloadSize() bytes.
QByteArray buildFrame(Command command, const QByteArray &payload);

// Decimal text to 16 bits the way the device has always been sent it: every
// character counts as (code - 48), the value wraps modulo 65536.
short parseShort(const char *text);
// Field text in base 10 or 16 to its low 8 bits; text that does not convert is 0.
quint8 decimalByte(const QString &text);
quint8 hexByte(const QString &text);
// 16-bit numbers travel high byte first.
QByteArray bigEndian16(quint16 value);
quint16 fromBigEndian16(const QByteArray &twoBytes);

// What the start of a receive buffer holds, for whoever reads frames.
struct FrameScan
{
    enum Kind {
        NeedMore,  // a frame has begun but not all of it is here yet
        Garbage,   // byte 0 is not a frame header
        Frame,     // bytes [0, size) are one frame, valid or not
    };
    Kind kind = NeedMore;
    int size = 0;
};
FrameScan scanFrame(const QByteArray &buffer);

// A complete frame taken apart. command is null and error says why when the
// frame is not one the device accepts.
struct DecodedFrame
{
    const CommandInfo *command = nullptr;
    quint8 code = 0;
    QByteArray payload;
    QString error;
};
DecodedFrame decodeFrame(const QByteArray &frame);

} // namespace Protocol
