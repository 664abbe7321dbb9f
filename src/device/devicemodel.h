// The simulated device itself: bytes off the serial line in, replies out.
// It knows nothing of timers or file descriptors, so every rule of the device
// can be tested by handing it bytes.
#pragma once

#include "protocol/parameterblock.h"

#include <QByteArray>
#include <QString>

#include <vector>

// What the device made of one run of bytes taken off the line: a frame it
// answers, or garbage and stale partial frames it throws away unanswered.
struct DeviceExchange
{
    QByteArray frame;     // the bytes taken off the line
    QByteArray reply;     // empty when nothing is to be answered
    QString description;  // one line for the log, e.g. "SET LIP 192.168.0.101 -> ack"
};

class DeviceModel
{
public:
    // A refused frame is answered with FailureByte followed by its command
    // code, or by NoCode when the frame is too short to carry one.
    static constexpr quint8 FailureByte = 0x31;
    static constexpr quint8 NoCode = 0xFF;
    static constexpr quint16 MaxSerialNumber = 249;
    static constexpr quint8 StartExciterAddress = 0x01;

    // Deliberately unlike the window's defaults, so that a READ shows values
    // that can only have come from the device. No octet of the local IP starts
    // with 0x30, so the READ block is never taken for an acknowledgement.
    static Protocol::ParameterBlock startParameters();

    DeviceModel();

    // While set, every frame is refused and nothing changes.
    void setRefuseAll(bool refuse) { m_refuseAll = refuse; }
    // Frames that write this value (its own command, SET ALL) are acknowledged
    // but the value stays as it was: a read-back that differs from what was
    // written. nullptr writes everything.
    void setIgnoredField(const Protocol::BlockField *field) { m_ignoredField = field; }

    // Takes bytes in the order they came off the line, in pieces of any size.
    // Returns what became of every frame completed by them, in order.
    std::vector<DeviceExchange> receive(const QByteArray &bytes);

    // A frame has begun but the rest of it has not come yet.
    bool hasPartialFrame() const { return !m_buffer.isEmpty(); }
    // The line went quiet in the middle of a frame, so its header was a stray
    // byte: drops it and handles whatever complete frames came after it.
    std::vector<DeviceExchange> dropPartialFrame();

    const Protocol::ParameterBlock &parameters() const { return m_parameters; }
    quint8 exciterAddress() const { return m_exciterAddress; }

private:
    std::vector<DeviceExchange> takeFrames();
    DeviceExchange handleFrame(const QByteArray &frame);
    DeviceExchange refuse(const QByteArray &frame, const QString &reason) const;

    Protocol::ParameterBlock m_parameters;
    quint8 m_exciterAddress = StartExciterAddress;
    QByteArray m_buffer;  // starts with a frame header whenever it is not empty
    bool m_refuseAll = false;
    const Protocol::BlockField *m_ignoredField = nullptr;
};
