#include "lowlatency.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace LowLatency {

Outcome enable(int descriptor)
{
#ifdef Q_OS_LINUX
    const auto refused = [] { return Outcome{false, QString::fromLocal8Bit(std::strerror(errno))}; };
    serial_struct serial{};
    if (::ioctl(descriptor, TIOCGSERIAL, &serial) != 0)
        return refused();
    if (serial.flags & ASYNC_LOW_LATENCY)
        return {true, {}};
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(descriptor, TIOCSSERIAL, &serial) != 0)
        return refused();
    return {true, {}};
#else
    Q_UNUSED(descriptor);
    return {false, QStringLiteral("not on this system")};
#endif
}

QString describe(const Outcome &outcome)
{
    return outcome.taken ? QStringLiteral("low latency: on")
                         : QStringLiteral("low latency: not taken (%1)").arg(outcome.reason);
}

} // namespace LowLatency
