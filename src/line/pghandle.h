// What Qt SQL's driver leaves to libpq itself: the connection's handle, and
// the notices the server sends ("WARNING: terminating connection due to
// immediate shutdown command"), which the driver would print raw.
#pragma once

#include <QString>

class QSqlDatabase;
struct pg_conn;

namespace Line {

// libpq's connection under an open database, or nullptr.
pg_conn *pgConnection(QSqlDatabase &db);

// From now on the server's notices on db go nowhere: a program says in its
// own words what they would (the record unreachable, and since when).
void quietNotices(QSqlDatabase &db);
// The same for what Qt's driver itself prints when it cannot free a
// prepared statement on a connection that is gone ("Unable to free
// statement: ... terminating connection due to administrator command"):
// once for the process, every other message passed on as before.
void quietDriverWarnings();

// Whether a failure means the record is away for a while, not an answer:
// no server code at all (the connection broke), a lost connection (class
// 08), a server shutting down, crashed or starting (57P01, 57P02, 57P03),
// a server that takes no writes (25006, a standby), or a transaction the
// server gave up to be tried again (40001, 40P01).
bool meansOutage(const QString &sqlState);

} // namespace Line
