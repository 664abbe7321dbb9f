// The --trace log: one line per frame written and per non-empty poll,
// "1234.5 TX aa 05 00 c0 a8 00 65 0d 55", milliseconds since the trace began.
// Bytes that answered no frame sent are marked: "1234.5 RX 30 (late: dropped)".
#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <memory>

class QIODevice;

class WireTrace
{
public:
    explicit WireTrace(QIODevice *out);
    ~WireTrace();

    // The --trace of a program: to stderr, unbuffered.
    static std::unique_ptr<WireTrace> toStandardError();

    void transmitted(const QByteArray &bytes) { write("TX", bytes); }
    void received(const QByteArray &bytes) { write("RX", bytes); }
    void late(const QByteArray &bytes) { write("RX", bytes, " (late: dropped)"); }

private:
    void write(const char *direction, const QByteArray &bytes, const char *note = "");

    QIODevice *m_out;
    std::unique_ptr<QIODevice> m_ownedOut;
    QElapsedTimer m_clock;
};
