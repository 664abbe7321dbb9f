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

bool ReplyAssembler::isPlausible(const QByteArray &block)
{
    static const int maximum = Protocol::blockField(u"sn")->maximum;
    return block.size() == Protocol::ParameterBlock::Size
           && Protocol::ParameterBlock::fromBytes(block).serialNumber <= maximum;
}

void ReplyAssembler::start(Awaiting awaiting, qint64 sentMs, qint64 timeoutMs, Check check)
{
    m_awaiting = awaiting;
    m_check = check;
    m_deadlineMs = later(sentMs, timeoutMs);
    m_lastByteMs = sentMs;
    m_bytes.clear();
    m_whole = false;
    m_outOfPlace = false;
    m_leftover = 0;
}

void ReplyAssembler::feed(const QByteArray &bytes, qint64 nowMs)
{
    if (bytes.isEmpty())
        return;
    if (verdict(nowMs).kind != Verdict::Pending) {
        if (m_whole)
            m_leftover += bytes.size();
        return;
    }
    m_lastByteMs = nowMs;
    if (m_awaiting == Awaiting::Block) {
        const qsizetype room = Protocol::ParameterBlock::Size - m_bytes.size();
        m_bytes.append(bytes.left(room));
        m_leftover += qMax<qsizetype>(0, bytes.size() - room);
        m_outOfPlace = m_leftover > 0;
        m_whole = m_bytes.size() == Protocol::ParameterBlock::Size;
    } else if (m_bytes.isEmpty() && quint8(bytes.at(0)) == Protocol::AckByte) {
        m_bytes = bytes.left(1);
        m_leftover = bytes.size() - 1;
        m_whole = true;
    } else {
        m_bytes.append(bytes.left(MaxRefusalSize - m_bytes.size()));
        m_outOfPlace = m_bytes.size() > MaxFailureSize;
    }
}

// A strict block waits for the quiet gap after it, though no longer than the
// deadline: bytes that follow it mean it was read out of place.
bool ReplyAssembler::awaitsQuiet() const
{
    return m_check == Check::Strict && m_awaiting == Awaiting::Block && m_whole && !m_outOfPlace;
}

ReplyAssembler::Verdict ReplyAssembler::verdict(qint64 nowMs) const
{
    if (m_whole && m_awaiting == Awaiting::Acknowledgement)
        return {Verdict::Acknowledged, m_bytes};
    if (m_outOfPlace && m_awaiting == Awaiting::Acknowledgement)
        return {Verdict::Garbled, m_bytes};
    if (m_whole) {
        if (m_outOfPlace || (m_check == Check::Strict && !isPlausible(m_bytes)))
            return {Verdict::Garbled, m_bytes};
        if (awaitsQuiet() && nowMs < std::min(later(m_lastByteMs, QuietGapMs), m_deadlineMs))
            return {};
        return {Verdict::Block, m_bytes};
    }
    const bool quietEnough = m_awaiting == Awaiting::Acknowledgement && !m_bytes.isEmpty()
                             && nowMs >= later(m_lastByteMs, QuietGapMs);
    if (!quietEnough && nowMs < m_deadlineMs)
        return {};
    if (m_bytes.isEmpty())
        return {Verdict::NoAnswer, m_bytes};
    // A short answer to READ is a refusal only if a failure reply could be
    // it; a 0x30 is a late acknowledgement.
    const bool failureReply = quint8(m_bytes.at(0)) != Protocol::AckByte && m_bytes.size() <= MaxFailureSize;
    return {failureReply ? Verdict::Refused : Verdict::Garbled, m_bytes};
}

qint64 ReplyAssembler::nextChangeMs() const
{
    if ((m_awaiting == Awaiting::Acknowledgement && !m_bytes.isEmpty()) || awaitsQuiet())
        return std::min(later(m_lastByteMs, QuietGapMs), m_deadlineMs);
    return m_deadlineMs;
}

} // namespace Client
