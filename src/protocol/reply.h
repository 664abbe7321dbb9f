// Judging what one poll of the serial port read, against the command that
// waits for its reply. Replies have no framing: byte 0 and the length decide.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Protocol {

constexpr quint8 AckByte = 0x30;
constexpr int MaxFailureReplySize = 5;

struct Verdict
{
    QString message;                // for the status bar; empty shows nothing
    std::optional<QString> report;  // READ report, set before the message shows
};

// reply must not be empty: an empty poll is no reply at all and leaves the
// pending command waiting. After any non-empty reply nothing is pending.
Verdict judgeReply(const QByteArray &reply, int pending);

} // namespace Protocol
