// A line's shared record, on a PostgreSQL server of the test's own: what
// its commands refuse, who may do what, TLS, and stations that provision
// one line together while stations fail (the server and the network
// failing are tst_line_faults').
#include "linestations.h"
#include "logrecords.h"
#include "pgserver.h"

#include "line/recordlink.h"
#include "line/schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <pthread.h>

using namespace Qt::StringLiterals;

namespace {

constexpr const char *Secret = "hunter2-in-the-environment";

// The end of a station's output, where what went wrong is.
QByteArray ending(const QString &err)
{
    return err.split(u'\n').mid(std::max<qsizetype>(0, err.count(u'\n') - 6)).join(u'\n').toLocal8Bit();
}

} // namespace

class tst_Line : public QObject
{
    Q_OBJECT

private:
    Run cli(const QStringList &arguments, const QProcessEnvironment &environment) const
    {
        return runToEnd(arguments, environment);
    }
    Run cli(const QStringList &arguments) const { return cli(arguments, environment()); }

    // The server's environment, with this test's state folder (the journals).
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = m_server.environment();
        environment.insert(u"XDG_STATE_HOME"_s, m_folder.filePath(u"state"_s));
        return environment;
    }
    QString admin() const { return m_server.url(QLatin1String(PgServer::Admin)); }

    bool load(const QString &line, const QByteArray &planText, const QString &record = QString())
    {
        const QString file = m_folder.filePath(line + u".csv"_s);
        const Run loaded = writeFile(file, planText)
                               ? cli({u"line"_s, u"load"_s, file, u"--record"_s, record.isEmpty() ? admin() : record,
                                      u"--line"_s, line})
                               : Run{};
        if (loaded.exitCode != 0)
            qWarning("%s", qPrintable(loaded.err));
        return loaded.exitCode == 0;
    }

    QList<LogRecord> exported(const QString &line, bool withWriting = false)
    {
        const Run run = cli({u"line"_s, u"export"_s, u"--record"_s, admin(), u"--line"_s, line});
        return readLogText(run.out.toUtf8(), withWriting);
    }

    // What a line must be whatever happened on the way: every row ok once,
    // no lip or mac ok twice, and each device holding what the last ok
    // attempt on its lane read back.
    void checkLine(const QString &line, int rows, const Devices &bench)
    {
        const QList<LogRecord> attempts = exported(line);
        QMap<QString, int> okRows, okLips, okMacs;
        QMap<QString, QString> lastOnLane;
        for (const LogRecord &attempt : attempts) {
            if (attempt.value(u"result"_s) != QLatin1String("ok"))
                continue;
            ++okRows[attempt.value(u"row"_s)];
            ++okLips[attempt.value(u"lip"_s)];
            ++okMacs[attempt.value(u"mac"_s)];
            lastOnLane[attempt.value(u"line"_s)] = readBack(attempt);
        }
        QCOMPARE(okRows.size(), rows);
        for (const auto *counts : {&okRows, &okLips, &okMacs}) {
            for (auto it = counts->cbegin(); it != counts->cend(); ++it)
                QVERIFY2(it.value() == 1, qPrintable(u"%1 ok %2 times"_s.arg(it.key()).arg(it.value())));
        }
        for (const auto &device : bench.devices) {
            if (lastOnLane.contains(device->slavePath()))
                QCOMPARE(held(*device), lastOnLane.value(device->slavePath()));
        }
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        qputenv("PGPASSFILE", QFile::encodeName(m_server.passFile()));
        const Run init = cli({u"line"_s, u"init"_s, u"--record"_s, admin()});
        QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        QCOMPARE(init.out, u"made the record, version %1\n"_s.arg(Line::SchemaVersion));
        QVERIFY2(m_server.addRole(u"bench1"_s, {u"velmora_station"_s}, &error), qPrintable(error));
        QVERIFY2(m_server.addRole(u"planner"_s, {u"velmora_planner"_s}, &error), qPrintable(error));
    }

    void initAgainChangesNothing()
    {
        const Run again = cli({u"line"_s, u"init"_s, u"--record"_s, admin()});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.out, u"the record is of version %1 already\n"_s.arg(Line::SchemaVersion));
    }

    // A record of version 2 that holds attempts, brought up to date, is as
    // one made at this version, and its functions still record attempts:
    // those of before, all committed, first.
    void migratesFromVersion2()
    {
        QString error;
        m_server.query(u"CREATE DATABASE version2"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const auto open = [this](const QString &database) {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, database);
            db.setConnectOptions(u"host=%1 port=%2 dbname=%3 user=velmora_admin"_s.arg(m_server.socketFolder())
                                     .arg(m_server.port()).arg(database));
            return db.open() ? db : QSqlDatabase();
        };
        // The first column of each row of a query, joined.
        const auto ask = [](QSqlDatabase db, const QString &sql) {
            QSqlQuery query(db);
            QStringList answer;
            if (!query.exec(sql))
                answer << query.lastError().text();
            while (query.next())
                answer << query.value(0).toString();
            return answer.join(u'\n');
        };
        // A station provisions the line's next row through the functions.
        const QString provision = uR"(DO $$ DECLARE c record; BEGIN
            PERFORM velmora.station_start('s2', 'i', 'h', 1, 60000, false);
            SELECT * INTO c FROM velmora.claim((SELECT id FROM velmora.lines WHERE name = 'old'), 's2', 'i', 'p1');
            PERFORM velmora.begin_write(c.claim_token);
            PERFORM velmora.set_verdict(c.claim_token, 'ok', '', 5, now(), NULL);
            END $$)"_s;
        {
            QSqlDatabase db = open(u"version2"_s);
            QVERIFY2(db.isOpen(), qPrintable(db.lastError().text()));
            QString done;
            bool newer = false;
            QVERIFY2(Line::initSchema(db, &done, &error, &newer, 2), qPrintable(error));
            QCOMPARE(ask(db, u"INSERT INTO velmora.lines (name, keys) VALUES ('old', '{lip}'); "
                             "INSERT INTO velmora.rows (line_id, row, planned, lip_unique, mac_unique, sn_unique) "
                             "SELECT l.id, n, jsonb_build_object('lip', '10.50.0.' || n), true, false, false "
                             "FROM velmora.lines l, generate_series(1, 3) n"_s), QString());
            QCOMPARE(ask(db, provision) + ask(db, provision), QString());
        }
        QSqlDatabase::removeDatabase(u"version2"_s);
        const Run init = cli({u"line"_s, u"init"_s, u"--record"_s,
                              m_server.url(QLatin1String(PgServer::Admin), 0, {}, u"version2"_s)});
        QCOMPARE(init.out, u"brought the record from version 2 to %1\n"_s.arg(Line::SchemaVersion));
        {
            QSqlDatabase db = open(u"version2"_s);
            QSqlDatabase made = open(QLatin1String(PgServer::Database));
            const QString shape = u"SELECT table_name || ' ' || column_name || ' ' || data_type || ' ' || "
                                  "coalesce(column_default, '') FROM information_schema.columns "
                                  "WHERE table_schema = 'velmora' ORDER BY table_name, ordinal_position; "_s;
            const QString indexes = u"SELECT indexdef FROM pg_indexes WHERE schemaname = 'velmora' ORDER BY indexname"_s;
            QCOMPARE(ask(db, shape), ask(made, shape));
            QCOMPARE(ask(db, indexes), ask(made, indexes));
            QCOMPARE(ask(db, provision), QString());
            QCOMPARE(ask(db, u"SELECT row || ' ' || result || ' ' || (xact = '0') FROM velmora.attempts "
                             "ORDER BY xact, id"_s),
                     u"1 writing true\n1 ok true\n2 writing true\n2 ok true\n3 writing false\n3 ok false"_s);
        }
        QSqlDatabase::removeDatabase(u"version2"_s);
        QSqlDatabase::removeDatabase(QLatin1String(PgServer::Database));
    }

    // Each is one line and an exit status; no message shows a password.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");  // URL, NEWER, DOWN stand for addresses
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("unreachable") << QStringList{u"line"_s, u"status"_s, u"--record"_s, u"DOWN"_s} << 3
                                     << u"velmora-cli: cannot reach the record at velmora_admin@127.0.0.1:"_s;
        QTest::newRow("wrong password") << QStringList{u"line"_s, u"status"_s, u"--record"_s, u"WRONG"_s} << 3
                                        << u"password authentication failed for user \"wrong\""_s;
        QTest::newRow("a password in the address")
            << QStringList{u"line"_s, u"status"_s, u"--record"_s, u"postgresql://velmora_admin:%1@127.0.0.1/velmora"_s.arg(QLatin1String(Secret))}
            << 2 << u"velmora-cli: --record: the address holds a password; the password goes in ~/.pgpass"_s;
        QTest::newRow("newer record") << QStringList{u"line"_s, u"status"_s, u"--record"_s, u"NEWER"_s} << 2
                                      << u"velmora-cli: the record is of version 99, newer than this program's %1"_s.arg(Line::SchemaVersion);
        QTest::newRow("SQL in a line name")
            << QStringList{u"line"_s, u"export"_s, u"--record"_s, u"URL"_s, u"--line"_s, u"x'; DROP TABLE velmora.rows; --"_s}
            << 2 << u"velmora-cli: --line x'; DROP TABLE velmora.rows; --: a name is 1 to 64 letters"_s;
        QTest::newRow("no such line") << QStringList{u"batch"_s, u"--record"_s, u"URL"_s, u"--line"_s, u"nowhere"_s,
                                                     u"--station"_s, u"s1"_s, u"--no-prompt"_s}
                                      << 2 << u"velmora-cli: the record has no line nowhere"_s;
        QTest::newRow("resolve a row not in doubt")
            << QStringList{u"line"_s, u"resolve"_s, u"1"_s, u"--as"_s, u"ok"_s, u"--record"_s, u"URL"_s, u"--line"_s, u"small"_s}
            << 2 << u"velmora-cli: row 1: it is free, not in doubt"_s;
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        if (!m_refusalsReady) {
            QString error;
            QVERIFY(load(u"small"_s, linePlan(3, 200)));
            m_server.query(u"CREATE DATABASE newer"_s, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY2(m_server.addRole(u"wrong"_s, {}, &error), qPrintable(error));
            m_server.query(u"ALTER ROLE wrong PASSWORD 'not-the-one-in-pgpass'"_s, &error);
            QCOMPARE(cli({u"line"_s, u"init"_s, u"--record"_s, m_server.url(QLatin1String(PgServer::Admin), 0, {}, u"newer"_s)}).exitCode, 0);
            m_refusalsReady = true;
        }
        QString newer = m_server.url(QLatin1String(PgServer::Admin), 0, {}, u"newer"_s);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"newer"_s);
            db.setConnectOptions(u"host=%1 port=%2 dbname=newer user=velmora_admin"_s.arg(m_server.socketFolder()).arg(m_server.port()));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(u"UPDATE velmora.meta SET value = '99'"_s));
        }
        QSqlDatabase::removeDatabase(u"newer"_s);
        QTcpServer closed;  // a port where nothing listens
        closed.listen(QHostAddress::LocalHost);
        const int down = closed.serverPort();
        closed.close();
        // A password where libpq looks first, which no message may show.
        QProcessEnvironment withSecret = environment();
        if (!arguments.contains(u"WRONG"_s) && !arguments.contains(u"URL"_s) && !arguments.contains(u"NEWER"_s))
            withSecret.insert(u"PGPASSWORD"_s, QLatin1String(Secret));
        for (QString &argument : arguments) {
            if (argument == QLatin1String("URL"))
                argument = admin();
            else if (argument == QLatin1String("NEWER"))
                argument = newer;
            else if (argument == QLatin1String("DOWN"))
                argument = m_server.url(QLatin1String(PgServer::Admin), down);
            else if (argument == QLatin1String("WRONG"))
                argument = m_server.url(u"wrong"_s);
        }
        const Run run = cli(arguments, withSecret);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(run.err.count(u'\n') == 1, qPrintable(run.err));
        QVERIFY(!run.err.contains(QLatin1String(Secret)));
        QCOMPARE(run.exitCode, exitCode);
    }

    // What a person reads of a line is in their language; its JSON and the
    // exit status are the same in every language.
    void languages_data()
    {
        QTest::addColumn<QStringList>("arguments");  // URL stands for the record
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("english");  // stdout and stderr; empty: JSON, the same in both
        QTest::addColumn<QString>("chinese");

        const QStringList status = {u"line"_s, u"status"_s, u"--record"_s, u"URL"_s, u"--line"_s};
        QTest::newRow("status") << status + QStringList{u"spoken"_s} << 0
                                << u"line spoken: 3 rows: 0 ok, 3 free, 0 claimed, 0 being written, 0 failed\n"
                                   "pace: 0.0 devices/min; 3 left, time left: unknown\n"_s
                                << u"产线 spoken：共 3 行：成功 0，空闲 3，已领取 0，写入中 0，失败 0\n"
                                   "节拍：0.0 台/分钟；剩余 3 行，预计剩余时间：未知\n"_s;
        QTest::newRow("status as JSON") << status + QStringList{u"spoken"_s, u"--json"_s} << 0 << QString() << QString();
        QTest::newRow("no such line") << status + QStringList{u"nowhere"_s} << 2
                                      << u"velmora-cli: the record has no line nowhere\n"_s
                                      << u"velmora-cli: 记录库中没有产线 nowhere\n"_s;
    }

    void languages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, english);
        QFETCH(QString, chinese);
        if (!m_spokenLineLoaded) {
            QVERIFY(load(u"spoken"_s, linePlan(3, 210)));
            m_spokenLineLoaded = true;
        }
        arguments.replaceInStrings(u"URL"_s, admin());
        std::optional<Run> englishRun;
        for (const auto &[locale, text] : {std::pair(u"C"_s, english), std::pair(u"zh_CN.UTF-8"_s, chinese)}) {
            QProcessEnvironment withLocale = environment();
            withLocale.insert(u"LC_ALL"_s, locale);
            const Run run = cli(arguments, withLocale);
            QCOMPARE(run.exitCode, exitCode);
            if (!text.isEmpty())
                QCOMPARE(run.out + run.err, text);
            else if (englishRun)
                QCOMPARE(run.out.toUtf8(), englishRun->out.toUtf8());
            else
                QVERIFY2(run.out.startsWith(u'{') && run.err.isEmpty(), qPrintable(run.out + run.err));
            englishRun = run;
        }
    }

    void loadRefusesWhatAnotherLineGives()
    {
        QVERIFY(load(u"first"_s, linePlan(5, 30)));
        // Rows 4 and 5 of the first line again, and two new ones.
        QByteArray overlapping = "id,lip,mac\nE-1,10.30.0.5,02:1e:00:00:00:04\nE-2,10.30.0.6,02:1e:00:00:00:05\n"
                                 "E-3,10.31.0.1,02:1f:00:00:00:01\n";
        const QString file = m_folder.filePath(u"second.csv"_s);
        QVERIFY(writeFile(file, overlapping));
        const QStringList loading = {u"line"_s, u"load"_s, file, u"--record"_s, m_server.url(u"planner"_s), u"--line"_s, u"second"_s};
        const Run refused = cli(loading);
        QCOMPARE(refused.exitCode, 2);
        QCOMPARE(refused.err, u"velmora-cli: %1:2: lip=10.30.0.5: line first gives it already, in row 4 (--allow-reuse lip allows it)\n"
                              "velmora-cli: %1:3: lip=10.30.0.6: line first gives it already, in row 5 (--allow-reuse lip allows it)\n"
                              "velmora-cli: %1:2: mac=02:1e:00:00:00:04: line first gives it already, in row 4 (--allow-reuse mac allows it)\n"
                              "velmora-cli: %1:3: mac=02:1e:00:00:00:05: line first gives it already, in row 5 (--allow-reuse mac allows it)\n"_s
                                  .arg(file));
        const Run status = cli({u"line"_s, u"status"_s, u"--record"_s, admin(), u"--line"_s, u"second"_s});
        QCOMPARE(status.err, u"velmora-cli: the record has no line second\n"_s);  // nothing of it was loaded
        QCOMPARE(cli(loading + QStringList{u"--allow-reuse"_s, u"lip,mac"_s}).exitCode, 0);
    }

    // A station may claim and record, but not delete or rewrite a row.
    void grants_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("station reads") << u"bench1"_s << u"SELECT count(*) FROM velmora.rows"_s << true;
        QTest::newRow("station claims")
            << u"bench1"_s << u"SELECT velmora.station_start('g1', 'i', 'h', 1, 1000, false)"_s << true;
        QTest::newRow("station deletes") << u"bench1"_s << u"DELETE FROM velmora.rows"_s << false;
        QTest::newRow("station rewrites a row") << u"bench1"_s << u"UPDATE velmora.rows SET state = 'ok'"_s << false;
        QTest::newRow("station rewrites an attempt") << u"bench1"_s << u"UPDATE velmora.attempts SET result = 'ok'"_s << false;
        QTest::newRow("station settles a row in doubt") << u"bench1"_s << u"SELECT velmora.resolve(1, 1, 'ok')"_s << false;
        QTest::newRow("planner settles a row in doubt") << u"planner"_s << u"SELECT velmora.resolve(1, 1, 'ok')"_s << true;
        QTest::newRow("planner deletes") << u"planner"_s << u"DELETE FROM velmora.lines"_s << false;
    }

    void grants()
    {
        QFETCH(QString, role);
        QFETCH(QString, sql);
        QFETCH(bool, allowed);
        bool done = false;
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, role);
            db.setConnectOptions(u"host=%1 port=%2 dbname=velmora user=%3"_s.arg(m_server.socketFolder()).arg(m_server.port()).arg(role));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery query(db);
            done = query.exec(sql);
            error = query.lastError().text();
        }
        QSqlDatabase::removeDatabase(role);
        QVERIFY2(done == allowed, qPrintable(error));
        if (!allowed)
            QVERIFY2(error.contains(u"permission denied"_s), qPrintable(error));
    }

    void tls()
    {
        PgServer secured;
        QString error;
        if (!secured.start(&error, true))
            QSKIP(qPrintable(u"no TLS server: "_s + error));
        QProcessEnvironment environment = secured.environment();
        environment.insert(u"XDG_STATE_HOME"_s, m_folder.filePath(u"state"_s));
        const QString user = QLatin1String(PgServer::Admin);
        const QString verified = u"sslmode=verify-full&sslrootcert=%1"_s.arg(secured.caFile());
        const Run ok = cli({u"line"_s, u"init"_s, u"--record"_s,
                            u"postgresql://%1@localhost:%2/velmora?%3"_s.arg(user).arg(secured.port()).arg(verified)},
                           environment);
        QVERIFY2(ok.exitCode == 0, qPrintable(ok.err));
        // The certificate names localhost and 127.0.0.1; another CA is not the one that signed it.
        PgServer other;
        QVERIFY(other.start(&error, true));
        const Run strange = cli({u"line"_s, u"init"_s, u"--record"_s,
                                 u"postgresql://%1@localhost:%2/velmora?sslmode=verify-full&sslrootcert=%3"_s
                                     .arg(user).arg(secured.port()).arg(other.caFile())},
                                environment);
        QCOMPARE(strange.exitCode, 3);
        QVERIFY2(strange.err.contains(u"certificate verify failed"_s), qPrintable(strange.err));
    }

    void threeStationsShareALine()
    {
        const int rows = 600;
        QVERIFY(load(u"big"_s, linePlan(rows, 1)));
        Devices bench(12);
        std::vector<std::unique_ptr<Station>> stations;
        for (int s = 0; s < 3; ++s)
            stations.push_back(std::make_unique<Station>(
                QStringList{u"batch"_s, u"--record"_s, m_server.url(u"bench1"_s), u"--line"_s, u"big"_s, u"--station"_s,
                            u"station%1"_s.arg(s + 1), u"--no-prompt"_s} + bench.ports(4 * s, 4),
                environment()));
        for (const auto &station : stations) {
            QTRY_VERIFY_WITH_TIMEOUT(station->finished(), 120000);
            QVERIFY2(station->process.exitCode() == 0, ending(station->err).constData());
        }
        checkLine(u"big"_s, rows, bench);
        // Each station did part of it.
        QSet<QString> stationsSeen;
        for (const LogRecord &attempt : exported(u"big"_s))
            stationsSeen << attempt.value(u"station"_s);
        QCOMPARE(stationsSeen.size(), 3);
    }

    // Ctrl-C while the record cannot be reached: the verdict of the device
    // being written is kept in the journal, and the next run sets it down
    // before anything else; so it does from a journal of verdicts only, as
    // older versions wrote it.
    void journalOutlivesTheRun_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("subnet");
        QTest::addColumn<bool>("verdictsOnly");
        QTest::newRow("as written") << u"journal"_s << 4 << false;
        QTest::newRow("verdicts only") << u"journal-old"_s << 14 << true;
    }

    void journalOutlivesTheRun()
    {
        QFETCH(QString, line);
        QFETCH(int, subnet);
        QFETCH(bool, verdictsOnly);
        QVERIFY(load(line, linePlan(3, subnet)));
        DeviceOptions slow;
        slow.delayMs = 1000;  // a device takes 3 s: the server is down before its verdict
        Devices bench(1, slow);
        const QStringList arguments = QStringList{u"batch"_s, u"--record"_s, m_server.url(u"bench1"_s), u"--line"_s,
                                                  line, u"--station"_s, u"journaling-%1"_s.arg(subnet), u"--no-prompt"_s,
                                                  u"--timeout"_s, u"5000"_s}
                                      + bench.ports(0, 1);
        Station first(arguments, environment());
        QTRY_COMPARE_WITH_TIMEOUT(m_server.query(u"SELECT count(*) FROM velmora.rows r JOIN velmora.lines l ON l.id = r.line_id "
                                                 "WHERE l.name = '%1' AND r.state = 'writing'"_s.arg(line)),
                                  u"1"_s, 30000);
        QVERIFY(m_server.stop(true));
        QTRY_VERIFY_WITH_TIMEOUT(first.err.contains(u"record unreachable since "_s), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(first.err.contains(u"[1/3] row 1 (D-1)"_s), 30000);
        ::kill(pid_t(first.process.processId()), SIGINT);
        QTRY_VERIFY_WITH_TIMEOUT(first.finished(), 30000);
        QCOMPARE(first.process.exitCode(), 130);
        QVERIFY2(first.err.contains(u"the record could not be reached: 1 verdicts are kept in "_s), ending(first.err).constData());

        if (verdictsOnly) {
            const QDir journals(m_folder.filePath(u"state/velmora"_s));
            const QStringList found = journals.entryList({u"journal-%1-*"_s.arg(line)}, QDir::Files);
            QCOMPARE(found.size(), 1);
            QFile journal(journals.filePath(found.front()));
            QVERIFY(journal.open(QIODevice::ReadWrite));
            QByteArray verdicts;
            for (const QByteArray &entry : journal.readAll().split('\n')) {
                if (!entry.isEmpty() && !entry.contains(R"("result":"writing")"))
                    verdicts += entry + '\n';
            }
            QCOMPARE(verdicts.count('\n'), 1);
            QVERIFY(journal.resize(0) && journal.write(verdicts) == verdicts.size());
        }
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        Station second(arguments, environment());
        QTRY_VERIFY_WITH_TIMEOUT(second.finished(), 60000);
        QVERIFY2(second.process.exitCode() == 0, ending(second.err).constData());
        QVERIFY2(second.err.startsWith(u"velmora-cli: 1 verdicts from the journal set down: row 1 (D-1) on "_s),
                 ending(second.err).constData());
        checkLine(line, 3, bench);
    }

    // A link once destroyed has ended its thread whole, the destructors of
    // the thread's keys included (the TLS library frees its state in one),
    // so that a program may leave at once: one leaving while they ran freed
    // that state twice, or hung.
    void linkEndsItsThreadWhole()
    {
        static std::atomic<bool> ended{false};
        pthread_key_t key;
        QCOMPARE(pthread_key_create(&key, [](void *) { ended = true; }), 0);
        Line::RecordAddress address;
        QString error;
        QVERIFY2(address.parse(admin(), &error), qPrintable(error));
        auto link = std::make_unique<Line::RecordLink>(address, u"tst_line"_s);
        bool answered = false;
        link->post([key](QSqlDatabase &) {
            pthread_setspecific(key, &ended);
            return Line::doneAnswer({});
        }, [&](const Line::RecordLink::Answer &answer) { answered = answer.ok; });
        QTRY_VERIFY(answered);
        QVERIFY(!ended);
        link.reset();
        QVERIFY(ended);
        pthread_key_delete(key);
    }

    // The record's connections hear no warnings from the server (one sent
    // while the driver still set a connection up was printed raw), and
    // the options of the address, or else PGOPTIONS, still reach it.
    void linkSessionSettings_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QByteArray>("pgOptions");
        QTest::addColumn<QString>("settings");
        QTest::newRow("none given") << QString() << QByteArray() << u"error 0"_s;
        QTest::newRow("the address's") << u"options=-c%20statement_timeout%3D1234"_s << QByteArray("-c work_mem=1MB")
                                       << u"error 1234ms"_s;
        QTest::newRow("PGOPTIONS") << QString() << QByteArray("-c statement_timeout=4321") << u"error 4321ms"_s;
        QTest::newRow("warnings asked for") << u"options=-c%20client_min_messages%3Dwarning"_s << QByteArray()
                                            << u"warning 0"_s;
    }

    void linkSessionSettings()
    {
        QFETCH(QString, extra);
        QFETCH(QByteArray, pgOptions);
        QFETCH(QString, settings);
        const QByteArray kept = qgetenv("PGOPTIONS");
        qputenv("PGOPTIONS", pgOptions);
        const auto restore = qScopeGuard([&] { qputenv("PGOPTIONS", kept); });
        Line::RecordAddress address;
        QString error;
        QVERIFY2(address.parse(m_server.url(QLatin1String(PgServer::Admin), 0, extra), &error), qPrintable(error));
        Line::RecordLink link(address, u"tst_line"_s);
        QString said;
        link.post([](QSqlDatabase &db) {
            QSqlQuery query(db);
            if (!query.exec(u"SELECT current_setting('client_min_messages') || ' ' || current_setting('statement_timeout')"_s)
                || !query.next())
                return Line::failedAnswer(db, query);
            return Line::doneAnswer({query.value(0)});
        }, [&](const Line::RecordLink::Answer &answer) { said = answer.ok ? answer.values.value(0).toString() : answer.error; });
        QTRY_VERIFY(!said.isEmpty());
        QCOMPARE(said, settings);
    }

    // Notifications wait in the link, in the order they came, and a burst
    // of them wakes its owner about once, not once each.
    void linkGathersNotifications()
    {
        Line::RecordAddress address;
        QString error;
        QVERIFY2(address.parse(admin(), &error), qPrintable(error));
        Line::RecordLink link(address, u"tst_line"_s);
        link.listen(u"tst_burst"_s);
        bool connected = false;
        link.post([](QSqlDatabase &) { return Line::doneAnswer({}); },
                  [&](const Line::RecordLink::Answer &answer) { connected = answer.ok; });
        QTRY_VERIFY(connected);
        QStringList payloads;
        int wakes = 0;
        connect(&link, &Line::RecordLink::notificationsWaiting, this, [&] {
            ++wakes;
            for (const Line::RecordLink::Notification &notification : link.takeNotifications())
                payloads << notification.payload;
        });
        m_server.query(u"SELECT pg_notify('tst_burst', g::text) FROM generate_series(1, 200) g"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QTRY_COMPARE(payloads.size(), 200);
        for (int i = 0; i < 200; ++i)
            QCOMPARE(payloads.at(i), QString::number(i + 1));
        QVERIFY2(wakes < 20, qPrintable(QString::number(wakes)));
    }

    // Stations killed at random and started again: the batch's promises
    // hold across them, and no row is ok twice.
    void killCampaign()
    {
        QProcess campaign;
        campaign.setProcessEnvironment(environment());
        campaign.setProcessChannelMode(QProcess::MergedChannels);
        campaign.start(QStringLiteral(VELMORA_KILL_CAMPAIGN_PATH),
                       {u"--record"_s, admin(), u"--stations"_s, u"3"_s, u"--kills"_s, u"15"_s, u"--rows"_s, u"300"_s});
        const bool ended = campaign.waitForFinished(240000);
        const QByteArray report = campaign.readAll();
        QVERIFY2(ended, report.constData());
        QVERIFY2(campaign.exitCode() == 0, report.constData());
        QVERIFY2(report.contains("at the end: 0 rows ok twice, 0 never ok, 0 devices not holding"), report.constData());
    }

    void cleanupTestCase() { m_server.stop(); }

private:
    PgServer m_server;
    QTemporaryDir m_folder;
    bool m_refusalsReady = false;
    bool m_spokenLineLoaded = false;
};

QTEST_GUILESS_MAIN(tst_Line)
#include "tst_line.moc"
