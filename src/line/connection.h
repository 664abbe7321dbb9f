// A connection to the record for a command that waits for its answers:
// line init, load, status, export and resolve. A station's run talks to the
// record through RecordLink instead, which never blocks its event loop.
#pragma once

#include "recordaddress.h"

#include "shell/exitstatus.h"

#include <QSqlDatabase>

namespace Line {

// Why a command could not use the record.
enum class Refusal {
    None,
    Unreachable,  // no connection: the server, the network, the password
    Unusable,     // no record here yet, or one of a newer version
};

// What a program exits with for a record it could not use (not for None).
constexpr Exit::Status exitStatusFor(Refusal refusal)
{
    return refusal == Refusal::Unreachable ? Exit::NoLine : Exit::UsageError;
}

class Connection
{
public:
    explicit Connection(const RecordAddress &address);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Connects; with needRecord, also checks that the record is there and of
    // this program's version. On failure the reason in *error.
    Refusal open(QString *error, bool needRecord = true);
    QSqlDatabase &db() { return m_db; }

private:
    const RecordAddress &m_address;
    QString m_name;
    QSqlDatabase m_db;
};

// "cannot reach the record at ...: <libpq's reason>".
QString unreachableMessage(const RecordAddress &address, const QString &reason);

// Whether db, of the record at address, holds a record of this program's
// version: Refusal::None, or why not in *error; Unreachable where it
// could not be asked.
Refusal checkRecord(QSqlDatabase &db, const RecordAddress &address, QString *error);

} // namespace Line
