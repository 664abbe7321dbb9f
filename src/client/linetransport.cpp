#include "linetransport.h"

#include "link/serialline.h"
#include "link/wiretrace.h"

#include <utility>

namespace Client {

LineTransport::LineTransport(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LineTransport::decide);
    connect(&m_port, &QSerialPort::readyRead, this, &LineTransport::readLine);
    connect(&m_port, &QSerialPort::errorOccurred, this, &LineTransport::lineFailed);
    m_clock.start();
}

bool LineTransport::open(const QString &device)
{
    m_port.setPortName(device);
    m_lineError.clear();
    m_openError.clear();
    return SerialLine::open(m_port, &m_openError, m_trace);
}

void LineTransport::exchange(const QByteArray &frame, ReplyAssembler::Awaiting awaiting, Callback done)
{
    Q_ASSERT(!isBusy());
    m_frame = frame;
    m_awaiting = awaiting;
    m_done = std::move(done);
    m_frames = 0;
    ++m_exchangeNumber;
    send();
}

void LineTransport::send()
{
    if (!m_lineError.isEmpty() || !m_port.isOpen()) {
        failLater(m_lineError.isEmpty() ? QStringLiteral("the line is not open") : m_lineError);
        return;
    }
    // Whatever came since the last reply answers nothing we are about to
    // send: what has been read is traced and dropped, the rest flushed.
    takeInput();
    m_port.clear(QSerialPort::Input);

    ++m_frames;
    m_assembler.start(m_awaiting, now(), m_timeoutMs);
    if (m_trace)
        m_trace->transmitted(m_frame);
    if (m_port.write(m_frame) != m_frame.size()) {
        failLater(m_port.errorString());
        return;
    }
    m_port.flush();  // on its way now, not on the next turn of the event loop
    decide();
}

void LineTransport::failLater(const QString &error)
{
    // Not from inside exchange(): its caller expects done to come later.
    QMetaObject::invokeMethod(
        this,
        [this, error, number = m_exchangeNumber] {
            if (number == m_exchangeNumber)  // else that exchange has ended already
                finish({{ReplyAssembler::Verdict::NoAnswer, {}}, m_frames, error});
        },
        Qt::QueuedConnection);
}

QByteArray LineTransport::takeInput()
{
    const QByteArray bytes = m_port.readAll();
    if (m_trace && !bytes.isEmpty())
        m_trace->received(bytes);
    return bytes;
}

void LineTransport::readLine()
{
    // Between exchanges, bytes are read only to be dropped.
    const QByteArray bytes = takeInput();
    if (isBusy() && !bytes.isEmpty()) {
        m_assembler.feed(bytes, now());
        decide();
    }
}

void LineTransport::decide()
{
    if (!isBusy())
        return;
    const ReplyAssembler::Verdict verdict = m_assembler.verdict(now());
    if (verdict.kind == ReplyAssembler::Verdict::Pending) {
        m_timer.start(int(qMax<qint64>(0, m_assembler.nextChangeMs() - now())));
        return;
    }
    if (verdict.kind == ReplyAssembler::Verdict::NoAnswer && m_frames <= m_retries) {
        send();
        return;
    }
    finish({verdict, m_frames, {}});
}

void LineTransport::lineFailed(QSerialPort::SerialPortError error)
{
    // A device gone away is a resource error; a line whose other end hung up
    // reads end-of-file, a read error. Both repeat until the port is closed.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError
         && error != QSerialPort::WriteError)
        || !m_port.isOpen())
        return;
    m_lineError = error == QSerialPort::ReadError ? QStringLiteral("the line hung up") : m_port.errorString();
    m_port.close();
    m_timer.stop();
    if (isBusy())
        failLater(m_lineError);
}

void LineTransport::finish(const Result &result)
{
    m_timer.stop();
    if (!m_done)
        return;
    const Callback done = std::exchange(m_done, nullptr);
    done(result);
}

} // namespace Client
