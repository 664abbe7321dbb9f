#include "loginthrottle.h"

#include <algorithm>

namespace Web {

qint64 LoginThrottle::refusedFor(const QHostAddress &address, const QDateTime &now)
{
    const auto found = m_failures.find(address.toString());
    if (found == m_failures.end())
        return 0;
    const qint64 left = WindowSeconds - found->first.secsTo(now);
    if (left <= 0) {
        m_failures.erase(found);
        return 0;
    }
    return found->count >= MaxFailures ? left : 0;
}

int LoginThrottle::failed(const QHostAddress &address, const QDateTime &now)
{
    Failures &failures = m_failures[address.toString()];
    if (failures.count == 0 || failures.first.secsTo(now) >= WindowSeconds)
        failures = {0, now};
    ++failures.count;
    return DelayStepMs * std::min(failures.count, MaxFailures);
}

} // namespace Web
