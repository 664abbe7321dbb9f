// The people logged in to velmora-web: a session each, known by a random
// token in an HttpOnly cookie, with a second random token that every change
// must carry in a header (a page of another site can make the browser send
// the cookie, but cannot read the token). A session ends after 8 hours
// without a request, or at logout. A planner's session keeps the connection
// its login made, as that role, for settling rows: the password is used
// once, to open it, and kept nowhere. A session nobody comes back to is
// ended too, its connection closed, when another is opened or found: a
// closed browser must not hold a connection of the server's for good.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>

namespace Web {

struct Session
{
    QString role;
    bool planner = false;
    QByteArray csrf;
    QString connection;  // the planner's connection's name, or empty
    QDateTime lastSeen;
};

class Sessions
{
public:
    static constexpr qint64 IdleSeconds = 8 * 3600;

    using Clock = std::function<QDateTime()>;

    explicit Sessions(qint64 idleSeconds = IdleSeconds, Clock clock = &QDateTime::currentDateTimeUtc)
        : m_idleSeconds(idleSeconds), m_clock(std::move(clock))
    {
    }
    ~Sessions();
    Sessions(const Sessions &) = delete;
    Sessions &operator=(const Sessions &) = delete;

    // The new session's token.
    QByteArray open(const QString &role, bool planner, const QString &connection);
    // The session of the token, seen now; nullptr where there is none (any more).
    Session *find(const QByteArray &token);
    void close(const QByteArray &token);

    int count() const { return int(m_sessions.size()); }

    static QByteArray randomToken();

private:
    void endIdle(const QDateTime &now);
    void end(const Session &session);

    const qint64 m_idleSeconds;
    const Clock m_clock;
    QHash<QByteArray, Session> m_sessions;
};

} // namespace Web
