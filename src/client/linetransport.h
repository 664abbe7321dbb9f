// One serial line to one device: sends a frame and waits for its reply
// without blocking, with a deadline, a quiet gap and retries, on the event
// loop of its thread. Any number of lines can run side by side that way.
//
// A device may answer a frame after its time-out, and its answer would then
// be taken for the answer to the next frame. So the line is drained before
// a frame goes out whenever it may still carry such an answer (after a
// time-out, a refusal, stray bytes, or a fresh open), and before every frame
// whose answer is checked strictly: it is sent once nothing has come for the
// quiet gap. Bytes that answer nothing sent are dropped, traced as late, and
// counted in the next result.
#pragma once

#include "replyassembler.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <functional>
#include <memory>

class WireTrace;

namespace Client {

class LineTransport : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        ReplyAssembler::Verdict verdict;
        int frames = 0;     // how often the frame was sent
        QString lineError;  // set when the line failed; verdict is then NoAnswer
        int lateBytes = 0;  // dropped since the last result: they answered nothing sent
    };
    using Check = ReplyAssembler::Check;
    using Callback = std::function<void(const Result &)>;

    static constexpr int DefaultTimeoutMs = 1000;
    static constexpr int DefaultRetries = 2;

    explicit LineTransport(QObject *parent = nullptr);

    // At 115200 8N1, with whatever the line held before dropped. device is
    // a system path or a device served in-process (InProcessPort).
    bool open(const QString &device);
    bool isOpen() const { return m_port && m_port->isOpen(); }
    // Why open() failed, as SerialLine says it.
    QString errorString() const { return m_openError; }

    // How long each frame waits for its whole reply, and how often a frame
    // that got no reply at all is sent again. A refusal is never retried.
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    void setRetries(int retries) { m_retries = retries; }
    void setTrace(WireTrace *trace) { m_trace = trace; }

    // Sends frame and calls done once with its reply, never before this
    // returns. One exchange at a time; done may start the next one. A
    // strict exchange is one whose answer will be written back: the line is
    // drained first and its block must be beyond doubt (ReplyAssembler).
    void exchange(const QByteArray &frame, ReplyAssembler::Awaiting awaiting, Callback done,
                  Check check = Check::Plain);
    bool isBusy() const { return bool(m_done); }

private:
    qint64 now() const { return m_clock.elapsed(); }
    void send();
    void drain();
    void transmit();
    void failLater(const QString &error);
    QByteArray takeInput();
    void dropLate(const QByteArray &bytes);
    void readLine();
    void decide();
    void lineFailed(QSerialPort::SerialPortError error);
    void finish(const Result &result);

    std::unique_ptr<QSerialPort> m_port;  // made anew by every open()
    QTimer m_timer;
    QElapsedTimer m_clock;
    ReplyAssembler m_assembler;
    WireTrace *m_trace = nullptr;
    int m_timeoutMs = DefaultTimeoutMs;
    int m_retries = DefaultRetries;

    QByteArray m_frame;
    ReplyAssembler::Awaiting m_awaiting = ReplyAssembler::Awaiting::Acknowledgement;
    Check m_check = Check::Plain;
    Callback m_done;
    bool m_awaitingReply = false;  // a frame is out and its reply not judged yet
    bool m_unsettled = true;       // the line may still carry an answer to an earlier frame
    bool m_draining = false;
    qint64 m_drainUntilMs = 0;     // a line that never goes quiet is given up then
    qint64 m_lastByteMs = 0;
    int m_lateBytes = 0;
    int m_frames = 0;
    quint64 m_exchangeNumber = 0;
    QString m_lineError;
    QString m_openError;
};

} // namespace Client
