#include "microtimer.h"

#include <QSocketNotifier>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

MicroTimer::MicroTimer(QObject *parent) : QObject(parent)
{
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &MicroTimer::timeout);
#ifdef Q_OS_LINUX
    m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timerFd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_timerFd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &MicroTimer::expired);
    }
#endif
}

MicroTimer::~MicroTimer()
{
    m_notifier.reset();
#ifdef Q_OS_LINUX
    if (m_timerFd >= 0)
        ::close(m_timerFd);
#endif
}

void MicroTimer::start(qint64 microseconds)
{
    microseconds = std::max<qint64>(microseconds, 1);  // zero would disarm a timerfd
#ifdef Q_OS_LINUX
    if (m_timerFd >= 0) {
        itimerspec due{};
        due.it_value.tv_sec = time_t(microseconds / 1000000);
        due.it_value.tv_nsec = long(microseconds % 1000000) * 1000;
        ::timerfd_settime(m_timerFd, 0, &due, nullptr);
        return;
    }
#endif
    m_fallback.start(int((microseconds + 999) / 1000));
}

void MicroTimer::stop()
{
    m_fallback.stop();
#ifdef Q_OS_LINUX
    if (m_timerFd >= 0) {
        const itimerspec disarmed{};
        ::timerfd_settime(m_timerFd, 0, &disarmed, nullptr);
        takeExpiry();  // one that came before the stop must not fire after it
    }
#endif
}

bool MicroTimer::takeExpiry()
{
#ifdef Q_OS_LINUX
    quint64 expirations = 0;
    return ::read(m_timerFd, &expirations, sizeof expirations) == sizeof expirations;
#else
    return false;
#endif
}

void MicroTimer::expired()
{
    if (takeExpiry())
        emit timeout();
}
