// A PostgreSQL server of the test's own: a cluster that initdb makes in a
// temporary folder, listening on a Unix socket in that folder and on a free
// TCP port of 127.0.0.1, stopped and removed with this object. No system
// cluster is touched. Run as root (as CI is), the cluster belongs to the
// unprivileged user "postgres" that PostgreSQL's package makes, as
// PostgreSQL refuses to run as root.
//
// Every role's password is in passFile(); the programs under test find it
// through PGPASSFILE, never on their command line.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class PgServer
{
public:
    static constexpr const char *Admin = "velmora_admin";
    static constexpr const char *Database = "velmora";

    PgServer();
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // Makes the cluster the first time, with the database velmora, then
    // starts the server; tls gives it a certificate of a throwaway CA for
    // the names localhost and 127.0.0.1 (caFile()). False with why not.
    bool start(QString *error, bool tls = false);
    // immediate: as a crash would, without a checkpoint.
    bool stop(bool immediate = false);
    // In place of start(): a streaming standby of primary (pg_basebackup
    // -R), started, that the primary knows by name (its application_name:
    // synchronous once the primary names it in synchronous_standby_names).
    bool startStandby(const PgServer &primary, const QString &name, QString *error);
    // A standby becomes a primary, and takes writes from then on.
    bool promote(QString *error);
    bool isRunning() const { return m_running; }

    int port() const { return m_port; }
    QString socketFolder() const;
    QString caFile() const;
    QString passFile() const;
    // The environment for a program under test: PGPASSFILE, and no PG*
    // variable of the machine's that could lead elsewhere.
    QProcessEnvironment environment() const;

    // A libpq URI for user, over TCP at port (this server's unless given)
    // or over the socket; extra is added to its query ("sslmode=require").
    QString url(const QString &user, int port = 0, const QString &extra = QString(),
                const QString &database = QLatin1String(Database)) const;
    QString socketUrl(const QString &user) const;

    // A login role with a password (written to passFile()), member of the
    // roles given.
    bool addRole(const QString &name, const QStringList &memberOf, QString *error);
    // SQL as the admin, on the database velmora; the first column of the
    // first row of the last statement, or an error.
    QString query(const QString &sql, QString *error = nullptr) const;

private:
    bool run(const QString &program, const QStringList &arguments, QString *error,
             const QProcessEnvironment &extra = QProcessEnvironment()) const;
    bool initialise(bool tls, QString *error);
    void addPassword(const QString &user, const QString &password);

    std::unique_ptr<QTemporaryDir> m_folder;
    int m_port = 0;
    bool m_running = false;
    bool m_asPostgres = false;  // we are root: the cluster is the postgres user's
};
