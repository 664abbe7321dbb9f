#include "pghandle.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>

#include <mutex>

namespace Line {

pg_conn *pgConnection(QSqlDatabase &db)
{
    // The driver names the type as libpq's header declares it.
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

void quietNotices(QSqlDatabase &db)
{
    if (PGconn *connection = pgConnection(db))
        PQsetNoticeProcessor(connection, [](void *, const char *) {}, nullptr);
}

namespace {

QtMessageHandler passedOn = nullptr;

void dropDriverWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Unable to free statement:")))
        return;
    if (passedOn)
        passedOn(type, context, message);
}

} // namespace

void quietDriverWarnings()
{
    static std::once_flag once;
    std::call_once(once, [] { passedOn = qInstallMessageHandler(dropDriverWarnings); });
}

bool meansOutage(const QString &sqlState)
{
    return sqlState.isEmpty() || sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01")
           || sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03")
           || sqlState == QLatin1String("25006") || sqlState == QLatin1String("40001")
           || sqlState == QLatin1String("40P01");
}

} // namespace Line
