// The people logged in to velmora-web: a session each, known by a random
// token in an HttpOnly cookie, with a second random token that every change
// must carry in a header (a page of another site can make the browser send
// the cookie, but cannot read the token). A session ends after 8 hours
// without a request, or at logout. A planner's session keeps the connection
// its login made, as that role, for settling rows: the password is used
// once, to open it, and kept nowhere.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

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

    explicit Sessions(qint64 idleSeconds = IdleSeconds) : m_idleSeconds(idleSeconds) {}
    ~Sessions();
    Sessions(const Sessions &) = delete;
    Sessions &operator=(const Sessions &) = delete;

    // The new session's token.
    QByteArray open(const QString &role, bool planner, const QString &connection);
    // The session of the token, seen now; nullptr where there is none (any more).
    Session *find(const QByteArray &token);
    void close(const QByteArray &token);

    static QByteArray randomToken();

private:
    void end(const Session &session);

    const qint64 m_idleSeconds;
    QHash<QByteArray, Session> m_sessions;
};

} // namespace Web
