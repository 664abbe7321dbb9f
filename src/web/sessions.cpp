#include "sessions.h"

#include <QRandomGenerator>
#include <QSqlDatabase>

namespace Web {

Sessions::~Sessions()
{
    for (const Session &session : std::as_const(m_sessions))
        end(session);
}

QByteArray Sessions::randomToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray Sessions::open(const QString &role, bool planner, const QString &connection)
{
    const QDateTime now = m_clock();
    endIdle(now);
    const QByteArray token = randomToken();
    m_sessions.insert(token, {role, planner, randomToken(), connection, now});
    return token;
}

Session *Sessions::find(const QByteArray &token)
{
    const QDateTime now = m_clock();
    endIdle(now);
    const auto found = m_sessions.find(token);
    if (found == m_sessions.end())
        return nullptr;
    found->lastSeen = now;
    return &*found;
}

// A few sessions at most, one per person: looking at each costs nothing.
void Sessions::endIdle(const QDateTime &now)
{
    for (auto session = m_sessions.begin(); session != m_sessions.end();) {
        if (session->lastSeen.secsTo(now) >= m_idleSeconds) {
            end(*session);
            session = m_sessions.erase(session);
        } else {
            ++session;
        }
    }
}

void Sessions::close(const QByteArray &token)
{
    const auto found = m_sessions.find(token);
    if (found == m_sessions.end())
        return;
    end(*found);
    m_sessions.erase(found);
}

void Sessions::end(const Session &session)
{
    if (!session.connection.isEmpty())
        QSqlDatabase::removeDatabase(session.connection);
}

} // namespace Web
