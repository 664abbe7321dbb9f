#include "replyassembler.h"

#include "protocol/parameterblock.h"
#include "protocol/reply.h"

#include <algorithm>
#include <limits>

namespace Client {

namespace {

// Times come from whoever drives the assembler; none of them may overflow.
qint64 later(qint64 ms, qint64 by)
{
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    if (by > 0 && ms > max - by)
        return max;
    if (by < 0 && ms < min - by)
        return min;
    return ms + by;
}

} // namespace

void ReplyAssembler::start(Awaiting awaiting, qint64 sentMs, qint64 timeoutMs)
{
    m_awaiting = awaiting;
    m_deadlineMs = later(sentMs, timeoutMs);
    m_lastByteMs = sentMs;
    m_bytes.clear();
    m_whole = false;
}

void ReplyAssembler::feed(const QByteArray &bytes, qint64 nowMs)
{
    if (bytes.isEmpty() || verdict(nowMs).kind != Verdict::Pending)
        return;
    m_lastByteMs = nowMs;
    if (m_awaiting == Awaiting::Block) {
        m_bytes.append(bytes.left(Protocol::ParameterBlock::Size - m_bytes.size()));
        m_whole = m_bytes.size() == Protocol::ParameterBlock::Size;
    } else if (m_bytes.isEmpty() && quint8(bytes.at(0)) == Protocol::AckByte) {
        m_bytes = bytes.left(1);
        m_whole = true;
    } else {
        m_bytes.append(bytes.left(MaxRefusalSize - m_bytes.size()));
    }
}

ReplyAssembler::Verdict ReplyAssembler::verdict(qint64 nowMs) const
{
    if (m_whole) {
        const bool block = m_awaiting == Awaiting::Block;
        return {block ? Verdict::Block : Verdict::Acknowledged, m_bytes};
    }
    const bool quietEnough = m_awaiting == Awaiting::Acknowledgement && !m_bytes.isEmpty()
                             && nowMs >= later(m_lastByteMs, QuietGapMs);
    if (quietEnough || nowMs >= m_deadlineMs)
        return {m_bytes.isEmpty() ? Verdict::NoAnswer : Verdict::Refused, m_bytes};
    return {};
}

qint64 ReplyAssembler::nextChangeMs() const
{
    if (m_awaiting == Awaiting::Acknowledgement && !m_bytes.isEmpty())
        return std::min(later(m_lastByteMs, QuietGapMs), m_deadlineMs);
    return m_deadlineMs;
}

} // namespace Client
