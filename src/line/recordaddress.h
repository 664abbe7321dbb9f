// Where a line's shared record is: a PostgreSQL database, given as libpq
// gives it, a URI (postgresql://station@db.example:5432/velmora?sslmode=
// verify-full) or a key=value string (host=db.example dbname=velmora). The
// password never comes from here: libpq finds it in ~/.pgpass, PGPASSFILE
// or PGPASSWORD, and an address that holds one is refused, so that it
// cannot stand in a shell's history, in ps, or in a message.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QSqlDatabase;

namespace Line {

class RecordAddress
{
public:
    // False with why not in *error, which never quotes a password.
    bool parse(const QString &text, QString *error);

    // For messages and titles: "station@db.example:5432/velmora".
    QString shown() const;
    // The same for every station of a record, for the names of local files.
    QString identity() const;
    // A connection to the record under name, not open yet.
    QSqlDatabase connection(const QString &name, const QString &applicationName) const;

private:
    QString value(const char *keyword) const;

    QList<QPair<QString, QString>> m_options;  // as libpq read them, without defaults
};

} // namespace Line
