#include "linetransport.h"

#include "link/inprocessport.h"
#include "link/phrases.h"
#include "link/serialline.h"
#include "link/wiretrace.h"

#include <utility>

namespace Client {

LineTransport::LineTransport(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LineTransport::decide);
    m_clock.start();
}

bool LineTransport::open(const QString &device)
{
    // A port of its own for every open: the device may be served in-process
    // one time and be a port of the system the next. The one before may be
    // what is telling us about its failure just now, so it goes later.
    if (QSerialPort *previous = m_port.release()) {
        previous->disconnect(this);
        if (previous->isOpen())
            previous->close();
        previous->setParent(this);  // gone with this at the latest
        previous->deleteLater();
    }
    m_port = InProcessPort::create(device);
    connect(m_port.get(), &QSerialPort::readyRead, this, &LineTransport::readLine);
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &LineTransport::lineFailed);
    m_lineError.clear();
    m_openError.clear();
    // Whoever used the line before may have left answers on their way.
    m_unsettled = true;
    m_lastByteMs = now();
    return SerialLine::open(*m_port, &m_openError, m_trace);
}

void LineTransport::exchange(const QByteArray &frame, ReplyAssembler::Awaiting awaiting, Callback done,
                             Check check)
{
    Q_ASSERT(!isBusy());
    m_frame = frame;
    m_awaiting = awaiting;
    m_check = check;
    m_done = std::move(done);
    m_frames = 0;
    ++m_exchangeNumber;
    send();
}

void LineTransport::send()
{
    if (!m_lineError.isEmpty() || !isOpen()) {
        failLater(m_lineError.isEmpty() ? Phrases::kept(Phrases::Phrase::LineNotOpen) : m_lineError);
        return;
    }
    if (m_unsettled || m_check == Check::Strict) {
        m_draining = true;
        m_drainUntilMs = now() + m_timeoutMs;
        drain();
        return;
    }
    transmit();
}

// Until nothing has come for the quiet gap; what comes meanwhile is late.
void LineTransport::drain()
{
    dropLate(takeInput());
    const qint64 quietAtMs = m_lastByteMs + ReplyAssembler::QuietGapMs;
    if (now() >= quietAtMs) {
        m_draining = false;
        m_unsettled = false;
        transmit();
    } else if (now() >= m_drainUntilMs) {
        m_draining = false;
        finish({{ReplyAssembler::Verdict::NoAnswer, {}}, m_frames,
                Phrases::kept(Phrases::Phrase::LineNotQuiet)
                    .arg(ReplyAssembler::QuietGapMs), std::exchange(m_lateBytes, 0)});
    } else {
        m_timer.start(int(qMin(quietAtMs, m_drainUntilMs) - now()));
    }
}

void LineTransport::transmit()
{
    // Whatever came since the last reply answers nothing we are about to
    // send: what has been read is dropped, the rest flushed.
    dropLate(takeInput());
    SerialLine::dropInput(*m_port);

    ++m_frames;
    m_assembler.start(m_awaiting, now(), m_timeoutMs, m_check);
    m_awaitingReply = true;
    if (m_trace)
        m_trace->transmitted(m_frame);
    if (m_port->write(m_frame) != m_frame.size()) {
        failLater(m_port->errorString());
        return;
    }
    m_port->flush();  // on its way now, not on the next turn of the event loop
    decide();
}

void LineTransport::failLater(const QString &error)
{
    // Not from inside exchange(): its caller expects done to come later.
    QMetaObject::invokeMethod(
        this,
        [this, error, number = m_exchangeNumber] {
            if (number == m_exchangeNumber)  // else that exchange has ended already
                finish({{ReplyAssembler::Verdict::NoAnswer, {}}, m_frames, error, std::exchange(m_lateBytes, 0)});
        },
        Qt::QueuedConnection);
}

QByteArray LineTransport::takeInput()
{
    const QByteArray bytes = m_port->readAll();
    if (!bytes.isEmpty())
        m_lastByteMs = now();
    if (m_trace && !bytes.isEmpty() && m_awaitingReply)
        m_trace->received(bytes);
    return bytes;
}

// Bytes that came while no frame awaited them: an answer after its
// deadline, or noise. Never taken for the answer to a later frame.
void LineTransport::dropLate(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_trace)
        m_trace->late(bytes);
    m_lateBytes += int(bytes.size());
    m_unsettled = true;
}

void LineTransport::readLine()
{
    const QByteArray bytes = takeInput();
    if (!m_awaitingReply) {
        dropLate(bytes);
        if (m_draining)
            drain();
        return;
    }
    if (!bytes.isEmpty()) {
        m_assembler.feed(bytes, now());
        decide();
    }
}

void LineTransport::decide()
{
    if (m_draining) {
        drain();
        return;
    }
    if (!isBusy() || !m_awaitingReply)
        return;
    using Verdict = ReplyAssembler::Verdict;
    const Verdict verdict = m_assembler.verdict(now());
    if (verdict.kind == Verdict::Pending) {
        m_timer.start(int(qMax<qint64>(0, m_assembler.nextChangeMs() - now())));
        return;
    }
    m_awaitingReply = false;
    if (m_assembler.leftover() > 0) {
        m_lateBytes += int(m_assembler.leftover());
        m_unsettled = true;
    }
    // Either may be a late answer to an earlier frame still on its way.
    if (verdict.kind != Verdict::Acknowledged && verdict.kind != Verdict::Block)
        m_unsettled = true;
    // A block out of place is read again, as a READ may be any number of times.
    if ((verdict.kind == Verdict::NoAnswer || verdict.kind == Verdict::Garbled) && m_frames <= m_retries) {
        send();
        return;
    }
    finish({verdict, m_frames, {}, std::exchange(m_lateBytes, 0)});
}

void LineTransport::lineFailed(QSerialPort::SerialPortError error)
{
    // A device gone away is a resource error; a line whose other end hung up
    // reads end-of-file, a read error. Both repeat until the port is closed.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError
         && error != QSerialPort::WriteError)
        || !isOpen())
        return;
    m_lineError = error == QSerialPort::ReadError ? Phrases::kept(Phrases::Phrase::LineHungUp) : m_port->errorString();
    m_port->close();
    m_timer.stop();
    m_awaitingReply = false;
    m_draining = false;
    if (isBusy())
        failLater(m_lineError);
}

void LineTransport::finish(const Result &result)
{
    m_timer.stop();
    m_awaitingReply = false;
    m_draining = false;
    if (!m_done)
        return;
    const Callback done = std::exchange(m_done, nullptr);
    done(result);
}

} // namespace Client
