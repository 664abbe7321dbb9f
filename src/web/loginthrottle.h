// Failed logins from one address: each answered a little later than the
// last, and after a few within a while, none is tried any more until that
// while has passed (429), so that passwords cannot be guessed at speed.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QHostAddress>

namespace Web {

class LoginThrottle
{
public:
    static constexpr int MaxFailures = 5;
    static constexpr int WindowSeconds = 15 * 60;
    static constexpr int DelayStepMs = 400;

    // Seconds until this address may try again; 0 when it may now.
    qint64 refusedFor(const QHostAddress &address, const QDateTime &now = QDateTime::currentDateTimeUtc());
    // How long to wait before answering a failure.
    int failed(const QHostAddress &address, const QDateTime &now = QDateTime::currentDateTimeUtc());
    void succeeded(const QHostAddress &address) { m_failures.remove(address.toString()); }

private:
    struct Failures
    {
        int count = 0;
        QDateTime first;
    };
    QHash<QString, Failures> m_failures;
};

} // namespace Web
