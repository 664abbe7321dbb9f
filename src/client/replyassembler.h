// One reply put together from the pieces a serial port delivers, and judged
// once it is whole. Replies carry no framing, so what is awaited decides:
//
// - an acknowledgement is the byte 0x30, complete at once; what follows it is
//   not part of it;
// - any other first byte is a refusal, complete once the line has been quiet
//   for QuietGapMs; more bytes than a failure reply has are garbled;
// - a READ answer is complete at 31 bytes, whatever its first byte (a local
//   IP of 48.x.x.x starts with 0x30); one that stays shorter until the
//   deadline is a refusal if a failure reply can be it, else garbled (a late
//   acknowledgement), and one that more bytes follow is garbled: a late
//   answer to an earlier frame came first, and the block is out of place.
//   A block that will be written back is judged strictly: it is whole only
//   once the line has been quiet for QuietGapMs after it, and only if its
//   values can be a device's.
//
// No timers inside: the caller says when bytes came and asks what they make
// at a given time, so any sequence of bytes and times can be replayed.
#pragma once

#include <QByteArray>

namespace Client {

class ReplyAssembler
{
public:
    enum class Awaiting { Acknowledgement, Block };

    struct Verdict
    {
        enum Kind { Pending, Acknowledged, Block, Refused, NoAnswer, Garbled };
        Kind kind = Pending;
        QByteArray bytes;  // the block, or the refusal's bytes
    };

    // How long the line must stay quiet after the first bytes of a refusal
    // before the refusal is taken as whole. A byte lasts 86.8 us at 115200
    // baud and a failure reply has at most 5 of them (0.43 ms), but they do
    // not arrive that evenly: on a pseudo-terminal the pieces of a reply
    // paced at 115200 came 0.9 ms apart (median), up to 4 ms at p99 and
    // 8.6 ms at worst on a loaded two-core machine (velmora-timing), and a USB
    // serial adapter holds bytes back until its latency timer runs out (16 ms
    // by default on FTDI chips). Only a refusal waits for this gap;
    // acknowledgements and READ blocks are judged the moment they are whole.
    static constexpr qint64 QuietGapMs = 20;

    // How many bytes of a refusal are kept. A device's failure replies have
    // at most 5; a line that keeps sending (noise, a device talking at another
    // speed) keeps a refusal from being whole until the deadline, which may be
    // an hour away, and its first bytes tell as much as all of them.
    static constexpr int MaxRefusalSize = 64;
    // The device's failure replies have 1 to 5 bytes: more, where an
    // acknowledgement is awaited, are garbled (a late block, or noise).
    static constexpr int MaxFailureSize = 5;

    enum class Check { Plain, Strict };

    // A frame has gone out at sentMs; its reply is due within timeoutMs.
    void start(Awaiting awaiting, qint64 sentMs, qint64 timeoutMs, Check check = Check::Plain);

    // Bytes that came at nowMs. Bytes after a verdict, or after the
    // deadline, are not part of the reply and are dropped; so are those of a
    // refusal beyond MaxRefusalSize, though they still keep the line busy.
    void feed(const QByteArray &bytes, qint64 nowMs);

    // What the reply is at nowMs, if nothing else comes before then.
    Verdict verdict(qint64 nowMs) const;
    // When a Pending verdict changes if no byte comes before then.
    qint64 nextChangeMs() const;
    // Bytes that came once the reply was whole, or with it, and are no part
    // of it: the line carries something else too.
    qsizetype leftover() const { return m_leftover; }

    // Whether a block's values can be a device's at all (its SN is one the
    // device takes): a block read out of place mostly cannot.
    static bool isPlausible(const QByteArray &block);

private:
    bool awaitsQuiet() const;

    Awaiting m_awaiting = Awaiting::Acknowledgement;
    Check m_check = Check::Plain;
    qint64 m_deadlineMs = 0;
    qint64 m_lastByteMs = 0;
    QByteArray m_bytes;
    bool m_whole = false;  // the bytes make a complete ack or block
    bool m_outOfPlace = false;  // more bytes came than a block has
    qsizetype m_leftover = 0;
};

} // namespace Client
