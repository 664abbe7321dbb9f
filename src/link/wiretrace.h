// The --trace log: one line per frame written and per non-empty poll,
// "1234.5 TX aa 05 00 c0 a8 00 65 0d 55", milliseconds since the trace began,
// and a line of its own for what happened to the line ("-- ..."). Bytes that
// answered no frame sent are marked: "1234.5 RX 30 (late: dropped)". Where
// several ports share one log, each line names its port after the time.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <memory>

class QIODevice;

class WireTrace
{
public:
    explicit WireTrace(QIODevice *out);
    ~WireTrace();

    // The --trace of a program: to stderr, unbuffered.
    static std::unique_ptr<WireTrace> toStandardError();
    // The same log and clock, each line naming port: "1234.5 /dev/pts/5 TX ...".
    std::unique_ptr<WireTrace> forPort(const QString &port) const;

    void transmitted(const QByteArray &bytes) { write("TX", bytes.toHex(' ')); }
    void received(const QByteArray &bytes) { write("RX", bytes.toHex(' ')); }
    void late(const QByteArray &bytes) { write("RX", bytes.toHex(' ') + " (late: dropped)"); }
    // "1234.5 -- /dev/pts/5 low latency: on".
    void note(const QString &text) { write("--", text.toLocal8Bit()); }

private:
    void write(const char *direction, const QByteArray &text);

    QIODevice *m_out;
    std::unique_ptr<QIODevice> m_ownedOut;
    QElapsedTimer m_clock;
    QByteArray m_label;  // with a blank after it, or empty
};
