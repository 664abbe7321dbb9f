#include "ptydevice.h"

#include "framelog.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Call right after the failing call, while errno still tells why.
QString systemError(const char *what)
{
    const int error = errno;
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(error)));
}

bool addFlags(int fd, int getCommand, int setCommand, int flags)
{
    const int current = ::fcntl(fd, getCommand);
    return current >= 0 && ::fcntl(fd, setCommand, current | flags) == 0;
}

} // namespace

PtyDevice::PtyDevice(const DeviceOptions &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    replaceDevice();
    m_silenceTimer.setSingleShot(true);
    m_silenceTimer.setInterval(SilenceMs);
    connect(&m_silenceTimer, &QTimer::timeout, this, &PtyDevice::silenceElapsed);
    connect(&m_replyTimer, &MicroTimer::timeout, this, &PtyDevice::writeDueReplies);
    m_clock.start();
}

PtyDevice::~PtyDevice()
{
    close();
}

bool PtyDevice::open()
{
    if (isOpen())
        return true;

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        fail("cannot create a pseudo-terminal");
        return false;
    }
    char name[128] = {};
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || ::ptsname_r(m_master, name, sizeof name) != 0) {
        fail("cannot unlock the pseudo-terminal");
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        fail("cannot open the pseudo-terminal's slave");
        return false;
    }
    if (!addFlags(m_master, F_GETFD, F_SETFD, FD_CLOEXEC)
        || !addFlags(m_master, F_GETFL, F_SETFL, O_NONBLOCK)) {
        fail("cannot configure the pseudo-terminal");
        return false;
    }
    // Raw, so that no byte of a frame or reply is translated or echoed while
    // the program has not configured the line yet.
    termios attributes{};
    if (::tcgetattr(m_slave, &attributes) != 0) {
        fail("cannot read the line settings");
        return false;
    }
    ::cfmakeraw(&attributes);
    ::cfsetspeed(&attributes, B115200);
    if (::tcsetattr(m_slave, TCSANOW, &attributes) != 0) {
        fail("cannot set the line raw");
        return false;
    }

    m_users = std::make_unique<SlaveUsers>();
    m_users->watch(m_slavePath);
    connect(m_users.get(), &SlaveUsers::lastClosed, this, [this] { ::ioctl(m_slave, TIOCNXCL); });

    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &PtyDevice::readLine);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &PtyDevice::flushOutput);
    m_errorString.clear();
    return true;
}

void PtyDevice::setPlugged(bool plugged)
{
    m_plugged = plugged;
    // Replies on their way go with the cable.
    m_schedule.clear();
    m_output.clear();
    m_replyTimer.stop();
}

void PtyDevice::replaceDevice()
{
    m_model = DeviceModel();
    m_model.setRefuseAll(m_options.fail);
    m_model.setIgnoredField(m_options.ignoredField);
}

void PtyDevice::close()
{
    // Notifiers first: they must not watch a descriptor that is closed.
    m_readNotifier.reset();
    m_writeNotifier.reset();
    m_users.reset();
    m_silenceTimer.stop();
    m_replyTimer.stop();
    m_schedule.clear();
    m_output.clear();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_master = m_slave = -1;
}

void PtyDevice::fail(const char *what)
{
    m_errorString = systemError(what);
    close();
    m_slavePath.clear();
}

void PtyDevice::readLine()
{
    QByteArray bytes;
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            bytes.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        // The slave is held open here, so this is no hang-up but a broken
        // line; stop watching it rather than spin on it.
        m_errorString = systemError("reading the pseudo-terminal failed");
        m_readNotifier->setEnabled(false);
        emit logLine(m_errorString);
        break;
    }
    if (bytes.isEmpty() || !m_plugged)
        return;

    handle(m_model.receive(bytes));
    if (m_model.hasPartialFrame())
        m_silenceTimer.start();
    else
        m_silenceTimer.stop();
}

void PtyDevice::silenceElapsed()
{
    handle(m_model.dropPartialFrame());
}

void PtyDevice::handle(const std::vector<DeviceExchange> &exchanges)
{
    for (const DeviceExchange &exchange : exchanges) {
        if (m_options.verbose || m_options.logBytes) {
            const bool withheld = m_options.silent && !exchange.reply.isEmpty();
            const QString line = withheld ? exchange.description + QLatin1String(" (withheld)")
                                          : exchange.description;
            emit logLine(m_options.logBytes ? FrameLog::hexBytes(exchange.frame) + QLatin1String("  ") + line : line);
        }
        if (!m_options.silent && m_plugged && !exchange.reply.isEmpty())
            scheduleReply(exchange);
    }
}

qint64 PtyDevice::nowUs() const
{
    return m_clock.nsecsElapsed() / 1000;
}

qint64 PtyDevice::lineTimeUs(qsizetype bytes) const
{
    // Ten bits a byte on the line: start bit, eight data bits, stop bit.
    return m_options.baud > 0 ? qint64(bytes) * 10 * 1000000 / m_options.baud : 0;
}

void PtyDevice::scheduleReply(const DeviceExchange &exchange)
{
    // The pty hands the frame over at once; a line would still be carrying it.
    // And one UART sends one reply after the other.
    const QByteArray &reply = exchange.reply;
    const qint64 start = std::max(nowUs() + lineTimeUs(exchange.frame.size())
                                      + std::max(0, m_options.delayMs) * qint64(1000),
                                  m_lineFreeUs);
    if (m_options.splitAt > 0 && m_options.splitAt < reply.size()) {
        const qint64 firstDone = schedulePaced(reply.left(m_options.splitAt), start);
        schedulePaced(reply.mid(m_options.splitAt), firstDone + SplitGapMs * qint64(1000));
    } else {
        schedulePaced(reply, start);
    }
    writeDueReplies();
}

qint64 PtyDevice::schedulePaced(const QByteArray &bytes, qint64 startUs)
{
    // Each chunk goes out when its last byte would have crossed the line.
    const qsizetype chunk = m_options.baud > 0 ? std::max(1, m_options.baud / 10 / 1000) : bytes.size();
    for (qsizetype sent = 0; sent < bytes.size(); sent += chunk) {
        const QByteArray part = bytes.mid(sent, chunk);
        m_schedule.push_back({startUs + lineTimeUs(sent + part.size()), part});
    }
    m_lineFreeUs = startUs + lineTimeUs(bytes.size());
    return m_lineFreeUs;
}

void PtyDevice::writeDueReplies()
{
    // First in, first out: a reply never overtakes the rest of an earlier one.
    const qint64 now = nowUs();
    while (!m_schedule.empty() && m_schedule.front().dueUs <= now) {
        m_output.append(m_schedule.front().bytes);
        m_schedule.pop_front();
    }
    flushOutput();
    if (!m_schedule.empty())
        m_replyTimer.start(m_schedule.front().dueUs - now);
}

void PtyDevice::flushOutput()
{
    while (!m_output.isEmpty()) {
        const ssize_t n = ::write(m_master, m_output.constData(), size_t(m_output.size()));
        if (n > 0) {
            m_output.remove(0, int(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break;  // nobody reads the slave just now; go on when the line has room
        } else {
            m_errorString = systemError("writing the pseudo-terminal failed");
            emit logLine(m_errorString);
            m_output.clear();
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_output.isEmpty());
}
