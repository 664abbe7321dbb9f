#include "connection.h"

#include "pghandle.h"
#include "schema.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QUuid>

namespace Line {

namespace {

// A line's record as a person is told of it, in their language.
struct RecordText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Record)
};

} // namespace

QString unreachableMessage(const RecordAddress &address, const QString &reason)
{
    return RecordText::tr("cannot reach the record at %1: %2").arg(address.shown(), reason.simplified());
}

Connection::Connection(const RecordAddress &address)
    : m_address(address), m_name(QStringLiteral("velmora-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    // Named after the program in pg_stat_activity, for whoever looks after the server.
    m_db = address.connection(m_name, QCoreApplication::applicationName());
}

Connection::~Connection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

Refusal Connection::open(QString *error, bool needRecord)
{
    if (!m_db.open()) {
        *error = unreachableMessage(m_address, m_db.lastError().databaseText());
        return Refusal::Unreachable;
    }
    quietNotices(m_db);
    if (!needRecord)
        return Refusal::None;
    return checkRecord(m_db, m_address, error);
}

Refusal checkRecord(QSqlDatabase &db, const RecordAddress &address, QString *error)
{
    const int version = schemaVersion(db, error);
    if (version < 0)
        return Refusal::Unreachable;
    if (version == 0) {
        *error = RecordText::tr("%1 holds no record yet: make it with velmora-cli line init").arg(address.shown());
        return Refusal::Unusable;
    }
    if (version > SchemaVersion) {
        *error = newerSchemaMessage(version);
        return Refusal::Unusable;
    }
    if (version < SchemaVersion) {
        *error = RecordText::tr("the record is of version %1, older than this program's %2: bring it up to date with "
                                "velmora-cli line init").arg(version).arg(SchemaVersion);
        return Refusal::Unusable;
    }
    return Refusal::None;
}

} // namespace Line
