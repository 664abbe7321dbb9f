// velmora-cli's reply reassembly fed arbitrary bytes at arbitrary times, while
// awaiting either kind of reply, with restarts as retries make them. Checked
// beyond "no crash" (and, under UBSan, no time arithmetic that overflows):
// - a verdict once reached stays the same, whatever comes later;
// - a pending verdict stays pending until nextChangeMs(), which lies after
//   now, and changes then;
// - an acknowledgement is the byte 0x30 and came first; a block is the first
//   31 bytes that came, and nothing more while it was judged (strictly: its
//   SN is one a device takes); a garbled block is the first 31 bytes too, but
//   more came, or (strictly) its SN is not one; a refusal is what came, one
//   to MaxFailureSize bytes not starting with 0x30, and no acknowledgement
//   or block; anything else is garbled (its first MaxRefusalSize bytes
//   kept); no answer means no byte came in time.
//
// Input: byte 0 says what is awaited (bit 0: a block; bit 2: judged
// strictly) and whether the next 16 bytes give the time the frame went out
// and its time-out (bit 1; else 0 and 1000 ms). Then steps, each a byte: its low six bits the milliseconds that
// pass first, its high two what happens then: 0 bytes come (as many as the
// next byte says), 1 nothing, 2 the frame goes out again, 3 a leap in time
// (by the next eight bytes).
#include "property.h"

#include "client/replyassembler.h"
#include "protocol/parameterblock.h"
#include "protocol/reply.h"

#include <algorithm>
#include <limits>

using Client::ReplyAssembler;
using Verdict = ReplyAssembler::Verdict;

namespace {

constexpr qint64 Max = std::numeric_limits<qint64>::max();

class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_at >= m_size; }
    uint8_t byte() { return atEnd() ? 0 : m_data[m_at++]; }
    qint64 int64()
    {
        quint64 value = 0;
        for (int i = 0; i < 8; ++i)
            value |= quint64(byte()) << (8 * i);
        return qint64(value);
    }
    QByteArray bytes(size_t count)
    {
        count = std::min(count, m_size - m_at);
        const QByteArray piece(reinterpret_cast<const char *>(m_data + m_at), qsizetype(count));
        m_at += count;
        return piece;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

qint64 later(qint64 ms, quint64 by)
{
    qint64 sum = 0;
    return __builtin_add_overflow(ms, by, &sum) ? Max : sum;
}

// What the assembler was given since the frame went out, and what it said.
struct Exchange
{
    ReplyAssembler::Awaiting awaiting;
    bool strict;
    qint64 deadlineMs;
    QByteArray taken;         // bytes fed while the verdict was pending
    bool cameInTime = false;  // a byte was fed before the deadline
    bool decided = false;
    Verdict verdict;
};

void checkVerdict(const Exchange &exchange, const Verdict &verdict, qint64 nowMs)
{
    const bool block = exchange.awaiting == ReplyAssembler::Awaiting::Block;
    const QByteArray &taken = exchange.taken;
    switch (verdict.kind) {
    case Verdict::Pending:
        VELMORA_REQUIRE(nowMs < exchange.deadlineMs && verdict.bytes.isEmpty());
        break;
    case Verdict::Acknowledged:
        VELMORA_REQUIRE(!block && verdict.bytes == QByteArray(1, char(Protocol::AckByte)));
        VELMORA_REQUIRE(taken.startsWith(verdict.bytes));
        break;
    case Verdict::Block:
        VELMORA_REQUIRE(block && verdict.bytes == taken);
        VELMORA_REQUIRE(verdict.bytes.size() == Protocol::ParameterBlock::Size);
        VELMORA_REQUIRE(!exchange.strict || ReplyAssembler::isPlausible(verdict.bytes));
        break;
    case Verdict::Garbled:
        if (!block) {
            VELMORA_REQUIRE(verdict.bytes == taken.left(ReplyAssembler::MaxRefusalSize));
            VELMORA_REQUIRE(taken.size() > ReplyAssembler::MaxFailureSize && quint8(taken.at(0)) != Protocol::AckByte);
            break;
        }
        VELMORA_REQUIRE(verdict.bytes == taken.left(Protocol::ParameterBlock::Size));
        if (verdict.bytes.size() < Protocol::ParameterBlock::Size) {  // short, at the deadline
            VELMORA_REQUIRE(nowMs >= exchange.deadlineMs && verdict.bytes == taken);
            VELMORA_REQUIRE(quint8(taken.at(0)) == Protocol::AckByte || taken.size() > ReplyAssembler::MaxFailureSize);
            break;
        }
        VELMORA_REQUIRE(taken.size() > Protocol::ParameterBlock::Size
                        || (exchange.strict && !ReplyAssembler::isPlausible(verdict.bytes)));
        break;
    case Verdict::Refused:
        VELMORA_REQUIRE(!verdict.bytes.isEmpty());
        VELMORA_REQUIRE(verdict.bytes == taken.left(block ? taken.size() : ReplyAssembler::MaxRefusalSize));
        VELMORA_REQUIRE(quint8(verdict.bytes.at(0)) != Protocol::AckByte
                        && verdict.bytes.size() <= ReplyAssembler::MaxFailureSize);
        break;
    case Verdict::NoAnswer:
        VELMORA_REQUIRE(!exchange.cameInTime && nowMs >= exchange.deadlineMs && verdict.bytes.isEmpty());
        break;
    }
    if (exchange.cameInTime && nowMs >= exchange.deadlineMs)
        VELMORA_REQUIRE(verdict.kind != Verdict::Pending && verdict.kind != Verdict::NoAnswer);
}

void judge(const ReplyAssembler &assembler, Exchange &exchange, qint64 nowMs)
{
    const Verdict verdict = assembler.verdict(nowMs);
    checkVerdict(exchange, verdict, nowMs);
    if (exchange.decided) {
        VELMORA_REQUIRE(verdict.kind == exchange.verdict.kind && verdict.bytes == exchange.verdict.bytes);
    } else if (verdict.kind != Verdict::Pending) {
        exchange.decided = true;
        exchange.verdict = verdict;
    } else {
        const qint64 changeMs = assembler.nextChangeMs();
        VELMORA_REQUIRE(changeMs > nowMs);
        VELMORA_REQUIRE(assembler.verdict(changeMs - 1).kind == Verdict::Pending);
        VELMORA_REQUIRE(assembler.verdict(changeMs).kind != Verdict::Pending);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input input(data, size);
    const uint8_t flags = input.byte();
    const auto awaiting = flags & 1 ? ReplyAssembler::Awaiting::Block : ReplyAssembler::Awaiting::Acknowledgement;
    const bool strict = flags & 4;
    qint64 nowMs = 0, timeoutMs = 1000;
    if (flags & 2) {
        nowMs = input.int64();
        timeoutMs = input.int64();
    }

    ReplyAssembler assembler;
    Exchange exchange;
    const auto start = [&] {
        assembler.start(awaiting, nowMs, timeoutMs,
                        strict ? ReplyAssembler::Check::Strict : ReplyAssembler::Check::Plain);
        qint64 deadlineMs = 0;
        if (__builtin_add_overflow(nowMs, timeoutMs, &deadlineMs))
            deadlineMs = timeoutMs > 0 ? Max : std::numeric_limits<qint64>::min();
        exchange = {awaiting, strict, deadlineMs, {}, false, false, {}};
    };
    start();
    judge(assembler, exchange, nowMs);
    while (!input.atEnd()) {
        const uint8_t step = input.byte();
        nowMs = later(nowMs, step & 0x3f);
        switch (step >> 6) {
        case 0: {
            const QByteArray bytes = input.bytes(input.byte());
            if (assembler.verdict(nowMs).kind == Verdict::Pending)
                exchange.taken += bytes;
            exchange.cameInTime = exchange.cameInTime || (!bytes.isEmpty() && nowMs < exchange.deadlineMs);
            assembler.feed(bytes, nowMs);
            break;
        }
        case 1:
            break;
        case 2:
            start();
            break;
        case 3:
            nowMs = later(nowMs, quint64(input.int64()));
            break;
        }
        judge(assembler, exchange, nowMs);
    }
    return 0;
}
