#include "pgserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QUuid>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *AdminPassword = "admin-secret";

int freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

bool giveTo(const QString &path, uid_t user, gid_t group)
{
    return ::chown(QFile::encodeName(path).constData(), user, group) == 0;
}

} // namespace

PgServer::PgServer() : m_folder(std::make_unique<QTemporaryDir>()), m_asPostgres(::geteuid() == 0) {}

PgServer::~PgServer()
{
    stop(true);
}

QString PgServer::socketFolder() const
{
    return m_folder->path();
}

QString PgServer::caFile() const
{
    return m_folder->filePath(QStringLiteral("ca.crt"));
}

QString PgServer::passFile() const
{
    return m_folder->filePath(QStringLiteral("pgpass"));
}

QProcessEnvironment PgServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : environment.keys()) {
        if (name.startsWith(QLatin1String("PG")))
            environment.remove(name);
    }
    environment.insert(QStringLiteral("PGPASSFILE"), passFile());
    return environment;
}

bool PgServer::run(const QString &program, const QStringList &arguments, QString *error,
                   const QProcessEnvironment &extra) const
{
    QProcess process;
    QProcessEnvironment environment = this->environment();
    for (const QString &name : extra.keys())
        environment.insert(name, extra.value(name));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString path = QStringLiteral(VELMORA_PG_BINDIR "/") + program;
    if (m_asPostgres)
        process.start(QStringLiteral("runuser"), QStringList{"-u", "postgres", "--", path} + arguments);
    else
        process.start(path, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (error)
            *error = program + QLatin1String(": ") + QString::fromLocal8Bit(process.readAll()).trimmed();
        return false;
    }
    return true;
}

void PgServer::addPassword(const QString &user, const QString &password)
{
    QFile file(passFile());
    file.open(QIODevice::Append);
    // host:port:database:user:password, for the socket and for TCP alike.
    file.write(QStringLiteral("*:*:*:%1:%2\n").arg(user, password).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

bool PgServer::initialise(bool tls, QString *error)
{
    const QString data = m_folder->filePath(QStringLiteral("data"));
    if (QDir(data).exists())
        return true;
    if (m_asPostgres) {
        const passwd *postgres = ::getpwnam("postgres");
        if (!postgres) {
            *error = QStringLiteral("as root, the cluster needs the user postgres (package postgresql-15)");
            return false;
        }
        if (!giveTo(m_folder->path(), postgres->pw_uid, postgres->pw_gid))
            return false;
    }
    const QString passwordFile = m_folder->filePath(QStringLiteral("admin-password"));
    QFile password(passwordFile);
    password.open(QIODevice::WriteOnly);
    password.write(AdminPassword);
    password.close();
    if (m_asPostgres)
        ::chown(QFile::encodeName(passwordFile).constData(), ::getpwnam("postgres")->pw_uid, ::getpwnam("postgres")->pw_gid);
    if (!run(QStringLiteral("initdb"),
             {"-D", data, "-U", Admin, "--auth=scram-sha-256", "--pwfile=" + passwordFile, "--no-instructions",
              "-E", "UTF8", "--locale=C"},
             error))
        return false;
    addPassword(QLatin1String(Admin), QLatin1String(AdminPassword));

    QString settings = QStringLiteral("listen_addresses = '127.0.0.1'\nport = %1\nunix_socket_directories = '%2'\n"
                                      "max_connections = 60\nshared_buffers = 16MB\nlog_min_messages = warning\n")
                           .arg(m_port).arg(m_folder->path());
    if (tls) {
        const QString ca = caFile();
        const QString caKey = m_folder->filePath(QStringLiteral("ca.key"));
        const QString key = data + QLatin1String("/server.key");
        const QString request = m_folder->filePath(QStringLiteral("server.csr"));
        const QString extensions = m_folder->filePath(QStringLiteral("server.ext"));
        QFile names(extensions);
        names.open(QIODevice::WriteOnly);
        names.write("subjectAltName = DNS:localhost, IP:127.0.0.1\n");
        names.close();
        const auto openssl = [&](const QStringList &arguments) {
            QProcess process;
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.start(QStringLiteral("openssl"), arguments);
            if (process.waitForFinished(60000) && process.exitCode() == 0)
                return true;
            *error = QLatin1String("openssl: ") + QString::fromLocal8Bit(process.readAll());
            return false;
        };
        if (!openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=velmora test CA",
                      "-keyout", caKey, "-out", ca})
            || !openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout", key, "-out", request})
            || !openssl({"x509", "-req", "-in", request, "-CA", ca, "-CAkey", caKey, "-CAcreateserial", "-days", "2",
                         "-extfile", extensions, "-out", data + QLatin1String("/server.crt")}))
            return false;
        QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner);
        if (m_asPostgres) {
            const passwd *postgres = ::getpwnam("postgres");
            giveTo(key, postgres->pw_uid, postgres->pw_gid);
            giveTo(data + QLatin1String("/server.crt"), postgres->pw_uid, postgres->pw_gid);
        }
        settings += QStringLiteral("ssl = on\nssl_cert_file = 'server.crt'\nssl_key_file = 'server.key'\n");
    }
    QFile configuration(data + QLatin1String("/postgresql.conf"));
    if (!configuration.open(QIODevice::Append) || configuration.write(settings.toUtf8()) < 0) {
        *error = configuration.errorString();
        return false;
    }
    return true;
}

bool PgServer::start(QString *error, bool tls)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (m_running)
        return true;
    if (m_port == 0)
        m_port = freePort();
    const bool fresh = !QDir(m_folder->filePath(QStringLiteral("data"))).exists();
    if (!initialise(tls, error))
        return false;
    if (!run(QStringLiteral("pg_ctl"), {"start", "-w", "-t", "60", "-D", m_folder->filePath(QStringLiteral("data")),
                                         "-l", m_folder->filePath(QStringLiteral("server.log"))},
             error))
        return false;
    m_running = true;
    if (fresh) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgserver-setup"));
        db.setHostName(socketFolder());
        db.setPort(m_port);
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setUserName(QLatin1String(Admin));
        db.setPassword(QLatin1String(AdminPassword));
        bool created = db.open();
        if (created) {
            QSqlQuery create(db);
            created = create.exec(QStringLiteral("CREATE DATABASE velmora"));
            if (!created)
                *error = create.lastError().text();
        } else {
            *error = db.lastError().text();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("pgserver-setup"));
        if (!created)
            return false;
    }
    return true;
}

bool PgServer::startStandby(const PgServer &primary, const QString &name, QString *error)
{
    m_port = freePort();
    const QString data = m_folder->filePath(QStringLiteral("data"));
    if (m_asPostgres) {
        const passwd *postgres = ::getpwnam("postgres");
        if (!postgres || !giveTo(m_folder->path(), postgres->pw_uid, postgres->pw_gid))
            return false;
    }
    QProcessEnvironment password;
    password.insert(QStringLiteral("PGPASSWORD"), QLatin1String(AdminPassword));
    if (!run(QStringLiteral("pg_basebackup"),
             {"-D", data, "-R", "-X", "stream", "-c", "fast", "-h", primary.socketFolder(), "-p",
              QString::number(primary.port()), "-U", QLatin1String(Admin)},
             error, password))
        return false;
    addPassword(QLatin1String(Admin), QLatin1String(AdminPassword));
    // After what -R wrote, so that these count.
    QFile settings(data + QLatin1String("/postgresql.auto.conf"));
    if (!settings.open(QIODevice::Append)
        || settings.write(QStringLiteral("port = %1\nunix_socket_directories = '%2'\ncluster_name = '%3'\n"
                                         "primary_conninfo = 'host=%4 port=%5 user=%6 password=%7 application_name=%3'\n")
                              .arg(m_port).arg(m_folder->path(), name, primary.socketFolder())
                              .arg(primary.port()).arg(QLatin1String(Admin), QLatin1String(AdminPassword))
                              .toUtf8())
               < 0) {
        *error = settings.errorString();
        return false;
    }
    settings.close();
    if (!run(QStringLiteral("pg_ctl"), {"start", "-w", "-t", "60", "-D", data, "-l",
                                         m_folder->filePath(QStringLiteral("server.log"))},
             error))
        return false;
    m_running = true;
    return true;
}

bool PgServer::promote(QString *error)
{
    return run(QStringLiteral("pg_ctl"), {"promote", "-w", "-t", "60", "-D", m_folder->filePath(QStringLiteral("data"))},
               error);
}

bool PgServer::stop(bool immediate)
{
    if (!m_running)
        return true;
    m_running = false;
    return run(QStringLiteral("pg_ctl"), {"stop", "-w", "-t", "60", "-m", immediate ? "immediate" : "fast", "-D",
                                           m_folder->filePath(QStringLiteral("data"))},
               nullptr);
}

QString PgServer::url(const QString &user, int port, const QString &extra, const QString &database) const
{
    QString url = QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(user).arg(port ? port : m_port).arg(database);
    if (!extra.isEmpty())
        url += QLatin1Char('?') + extra;
    return url;
}

QString PgServer::socketUrl(const QString &user) const
{
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4").arg(socketFolder()).arg(m_port).arg(QLatin1String(Database), user);
}

bool PgServer::addRole(const QString &name, const QStringList &memberOf, QString *error)
{
    const QString password = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString sql = QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2'").arg(name, password);
    if (!memberOf.isEmpty())
        sql += QLatin1String(" IN ROLE ") + memberOf.join(QLatin1String(", "));
    QString failed;
    query(sql, &failed);
    if (!failed.isEmpty()) {
        if (error)
            *error = failed;
        return false;
    }
    addPassword(name, password);
    return true;
}

QString PgServer::query(const QString &sql, QString *error) const
{
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgserver-query"));
        db.setHostName(socketFolder());
        db.setPort(m_port);
        db.setDatabaseName(QLatin1String(Database));
        db.setUserName(QLatin1String(Admin));
        db.setPassword(QLatin1String(AdminPassword));
        if (!db.open()) {
            if (error)
                *error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(sql)) {
                if (error)
                    *error = query.lastError().text();
            } else if (query.next()) {
                result = query.value(0).toString();
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pgserver-query"));
    return result;
}
