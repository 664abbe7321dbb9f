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
    const QByteArray token = randomToken();
    m_sessions.insert(token, {role, planner, randomToken(), connection, QDateTime::currentDateTimeUtc()});
    return token;
}

Session *Sessions::find(const QByteArray &token)
{
    const auto found = m_sessions.find(token);
    if (found == m_sessions.end())
        return nullptr;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (found->lastSeen.secsTo(now) >= m_idleSeconds) {
        end(*found);
        m_sessions.erase(found);
        return nullptr;
    }
    found->lastSeen = now;
    return &*found;
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
