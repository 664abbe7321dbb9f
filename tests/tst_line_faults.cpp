// A line's record failing at any moment, on a PostgreSQL server of the
// test's own: stopped as in a crash, restarted, its connections reset or
// gone silent, or an answer lost after the server has done what it was
// asked. The stations wait, go on by themselves and end with every row ok
// once, on the device the record gives it.
//
// recordFaults is a seeded campaign; run it longer by hand:
//   VELMORA_FAULTS=200 VELMORA_SEED=7 tests/tst_line_faults recordFaults
#include "linestations.h"
#include "logrecords.h"
#include "pgserver.h"
#include "tcprelay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <future>
#include <numeric>
#include <memory>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The end of a station's output, where what went wrong is.
QByteArray ending(const QString &err)
{
    return err.split(u'\n').mid(std::max<qsizetype>(0, err.count(u'\n') - 8)).join(u'\n').toLocal8Bit();
}

int fromEnvironment(const char *name, int otherwise)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : otherwise;
}

} // namespace

class tst_LineFaults : public QObject
{
    Q_OBJECT

private:
    // A server's environment, with this test's state folder (the journals).
    QProcessEnvironment environment(const PgServer *server = nullptr) const
    {
        QProcessEnvironment environment = (server ? server : &m_server)->environment();
        environment.insert(u"XDG_STATE_HOME"_s, m_folder.filePath(u"state"_s));
        return environment;
    }
    static QString admin(const PgServer &server) { return server.url(QLatin1String(PgServer::Admin)); }
    QString admin() const { return admin(m_server); }

    bool load(const QString &line, int rows, int subnet, const PgServer *server = nullptr)
    {
        const QString file = m_folder.filePath(line + u".csv"_s);
        const Run loaded = writeFile(file, linePlan(rows, subnet))
                               ? runToEnd({u"line"_s, u"load"_s, file, u"--record"_s, admin(server ? *server : m_server),
                                           u"--line"_s, line},
                                          environment(server))
                               : Run{};
        if (loaded.exitCode != 0)
            qWarning("%s", qPrintable(loaded.err));
        return loaded.exitCode == 0;
    }

    // pg_ctl waited for aside, so that the devices on this thread's event
    // loop go on answering meanwhile.
    bool aside(std::function<bool()> work)
    {
        std::packaged_task<bool()> task(std::move(work));
        std::future<bool> done = task.get_future();
        std::thread thread(std::move(task));
        const bool ended = QTest::qWaitFor([&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                           120000);
        thread.join();
        return ended && done.get();
    }

    // What a line must be whatever happened on the way: each station ended
    // by itself with 0, every row ok exactly once, no LIP or MAC on two
    // devices, each device holding its port's last ok row, nothing in
    // doubt, no journal left, and no raw notice of the server's printed.
    void checkLine(const QString &line, int rows, const Devices &bench,
                   const std::vector<std::unique_ptr<Station>> &stations, const PgServer *server = nullptr)
    {
        const PgServer &record = server ? *server : m_server;
        for (const auto &station : stations) {
            QTRY_VERIFY_WITH_TIMEOUT(station->finished(), 180000);
            QVERIFY2(station->process.exitStatus() == QProcess::NormalExit && station->process.exitCode() == 0,
                     ending(station->err).constData());
            // The server's notices ("WARNING:  terminating connection ...") are not the station's words.
            // One is not yet kept out: a server that shuts down (-m fast) while Qt's driver
            // is still setting up a new connection, before its notices can be turned away,
            // has libpq print the FATAL message that says so itself.
            const QRegularExpression notice(u"WARNING:|FATAL:"_s);
            const QString settingUp = u"FATAL:  terminating connection due to administrator command"_s;
            const QStringList lines = station->err.split(u'\n');
            for (qsizetype i = 0; i < lines.size(); ++i)
                QVERIFY2(!lines.at(i).contains(notice) || lines.at(i) == settingUp,
                         qPrintable(lines.mid(std::max<qsizetype>(0, i - 3), 4).join(u'\n')));
        }
        const Run exported = runToEnd({u"line"_s, u"export"_s, u"--record"_s, admin(record), u"--line"_s, line},
                                      environment(server));
        QMap<QString, int> okRows, okLips, okMacs;
        QMap<QString, QString> lastOnPort;
        for (const LogRecord &attempt : readLogText(exported.out.toUtf8())) {
            if (attempt.value(u"result"_s) != QLatin1String("ok"))
                continue;
            ++okRows[attempt.value(u"row"_s)];
            ++okLips[attempt.value(u"lip"_s)];
            ++okMacs[attempt.value(u"mac"_s)];
            lastOnPort[attempt.value(u"line"_s)] = readBack(attempt);
        }
        QCOMPARE(okRows.size(), rows);
        for (const auto *counts : {&okRows, &okLips, &okMacs}) {
            for (auto it = counts->cbegin(); it != counts->cend(); ++it)
                QVERIFY2(it.value() == 1, qPrintable(u"%1 ok %2 times"_s.arg(it.key()).arg(it.value())));
        }
        for (const auto &device : bench.devices)
            QCOMPARE(held(*device), lastOnPort.value(device->slavePath()));
        QCOMPARE(record.query(u"SELECT count(*) FROM velmora.rows r JOIN velmora.lines l ON l.id = r.line_id "
                                "WHERE l.name = '%1' AND r.state <> 'ok'"_s.arg(line)),
                 u"0"_s);
        const QDir journals(m_folder.filePath(u"state/velmora"_s));
        for (const QFileInfo &journal : journals.entryInfoList(QDir::Files))
            QVERIFY2(journal.size() == 0, qPrintable(journal.fileName() + u" holds verdicts"_s));
    }

    std::vector<std::unique_ptr<Station>> startStations(const QString &line, int count, int lanes, const Devices &bench,
                                                        const QString &record, const PgServer *server = nullptr)
    {
        std::vector<std::unique_ptr<Station>> stations;
        for (int s = 0; s < count; ++s)
            stations.push_back(std::make_unique<Station>(
                QStringList{u"batch"_s, u"--record"_s, record, u"--line"_s, line, u"--station"_s,
                            u"%1-%2"_s.arg(line).arg(s + 1), u"--no-prompt"_s, u"--record-wait"_s, u"120"_s}
                    + bench.ports(lanes * s, lanes),
                environment(server)));
        return stations;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        const Run init = runToEnd({u"line"_s, u"init"_s, u"--record"_s, admin()}, environment());
        QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        QVERIFY2(m_server.addRole(u"bench1"_s, {u"velmora_station"_s}, &error), qPrintable(error));
    }

    // A station started while the record is down: it exits 3 at once, or
    // with --record-wait waits for it and runs the line.
    void recordWait_data()
    {
        QTest::addColumn<int>("waitSeconds");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no wait") << 0 << 3;
        QTest::newRow("waits") << 120 << 0;
    }

    void recordWait()
    {
        QFETCH(int, waitSeconds);
        QFETCH(int, exitCode);
        const QString line = u"wait-%1"_s.arg(waitSeconds);
        const int rows = 4;
        QVERIFY(load(line, rows, 10 + waitSeconds % 100));
        Devices bench(1);
        QVERIFY(aside([this] { return m_server.stop(true); }));
        std::vector<std::unique_ptr<Station>> stations;
        stations.push_back(std::make_unique<Station>(
            QStringList{u"batch"_s, u"--record"_s, m_server.url(u"bench1"_s), u"--line"_s, line, u"--station"_s, line,
                        u"--no-prompt"_s, u"--record-wait"_s, QString::number(waitSeconds)}
                + bench.ports(0, 1),
            environment()));
        Station &station = *stations.front();
        if (waitSeconds > 0)
            QTRY_VERIFY_WITH_TIMEOUT(station.err.contains(u"record unreachable since "_s), 30000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(station.finished(), 30000);
        QString error;
        QVERIFY2(aside([this, &error] { return m_server.start(&error); }), qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(station.finished(), 60000);
        QVERIFY2(station.process.exitCode() == exitCode, ending(station.err).constData());
        if (exitCode == 0)
            checkLine(line, rows, bench, stations);
    }

    // Two stations of two lanes each while the record fails again and
    // again at moments of the seed's choosing: the server stopped as in a
    // crash and started 0.5 to 5 s later, or restarted at once; every
    // connection reset, or the network silent for 1 to 10 s.
    void recordFaults()
    {
        const int faults = fromEnvironment("VELMORA_FAULTS", 10);
        const quint32 seed = quint32(fromEnvironment("VELMORA_SEED", 28));
        const int rows = fromEnvironment("VELMORA_ROWS", 240);
        QRandomGenerator random(seed);
        const QString line = u"faults-%1"_s.arg(seed);
        QVERIFY(load(line, rows, 5));
        TcpRelay relay(quint16(m_server.port()));
        DeviceOptions options;
        options.delayMs = 5;
        options.baud = 115200;
        Devices bench(4, options);
        const auto stations = startStations(line, 2, 2, bench, m_server.url(u"bench1"_s, relay.port()));
        const auto running = [&] {
            return std::any_of(stations.begin(), stations.end(), [](const auto &station) { return !station->finished(); });
        };
        QElapsedTimer clock;
        clock.start();
        QMap<QString, int> done;
        QString error;
        for (int fault = 0; fault < faults && running(); ++fault) {
            QTest::qWait(300 + int(random.bounded(1200)));
            switch (random.bounded(4)) {
            case 0: {
                const int downMs = 500 + int(random.bounded(4500));
                QVERIFY(aside([this] { return m_server.stop(true); }));
                QTest::qWait(downMs);
                QVERIFY(aside([this, &error] { return m_server.start(&error); }));
                ++done[u"crashed"_s];
                break;
            }
            case 1:
                QVERIFY(aside([this, &error] { return m_server.stop(false) && m_server.start(&error); }));
                ++done[u"restarted"_s];
                break;
            case 2:
                relay.reset();
                ++done[u"reset"_s];
                break;
            case 3:
                relay.setForwarding(false);
                QTest::qWait(1000 + int(random.bounded(9000)));
                relay.setForwarding(true);
                ++done[u"silent"_s];
                break;
            }
        }
        checkLine(line, rows, bench, stations);
        if (QTest::currentTestFailed())
            return;
        qInfo("seed %u: %d faults (%s) on %d rows in %.1f s; invariants held", seed,
              std::accumulate(done.cbegin(), done.cend(), 0),
              qPrintable([&] {
                  QStringList kinds;
                  for (auto it = done.cbegin(); it != done.cend(); ++it)
                      kinds << u"%1 %2"_s.arg(it.value()).arg(it.key());
                  return kinds.join(u", "_s);
              }()),
              rows, double(clock.elapsed()) / 1000);
    }

    // The server does what it was asked, the station's start, a row's
    // "writing" state or its verdict, and its answer is lost with the
    // connection: the station learns what the record holds before it goes
    // on (its own start is its own). The device is written once and the
    // verdict set down once.
    void lostAnswer_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<int>("subnet");  // of the line's values
        QTest::newRow("station start") << QByteArray("velmora.station_start") << 4;
        QTest::newRow("writing") << QByteArray("velmora.begin_write") << 6;
        QTest::newRow("verdict") << QByteArray("velmora.set_verdict") << 7;
    }

    void lostAnswer()
    {
        QFETCH(QByteArray, statement);
        QFETCH(int, subnet);
        const QString line = u"lost-"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        const int rows = 6;
        QVERIFY(load(line, rows, subnet));
        TcpRelay relay(quint16(m_server.port()));
        DeviceOptions verbose;
        verbose.verbose = true;
        Devices bench(1, verbose);
        QStringList frames;
        QObject::connect(bench.devices.front().get(), &PtyDevice::logLine, [&](const QString &frame) { frames << frame; });
        // The third row's, or the first start's.
        int seen = 0;
        if (statement.contains("start"))
            relay.loseAnswerTo(statement);
        else
            QObject::connect(bench.devices.front().get(), &PtyDevice::logLine, [&](const QString &frame) {
                if (frame.endsWith(u"-> block"_s) && ++seen == 3)
                    relay.loseAnswerTo(statement);
            });
        const auto stations = startStations(line, 1, 1, bench, m_server.url(u"bench1"_s, relay.port()));
        checkLine(line, rows, bench, stations);
        QCOMPARE(relay.answersLost(), 1);
        QVERIFY2(stations.front()->err.contains(u"record unreachable since "_s), ending(stations.front()->err).constData());
        // Each row's LIP written to the device once.
        const QString plan = QString::fromLatin1(linePlan(rows, subnet));
        for (const QString &planned : plan.split(u'\n').mid(1, rows)) {
            const QString lip = planned.section(u',', 1, 1);
            const QRegularExpression written(QRegularExpression::escape(lip) + u"(?![0-9])"_s);
            QCOMPARE(frames.filter(written).filter(QRegularExpression(u"-> ack$"_s)).size(), 1);
        }
        // One "writing" attempt and one verdict for each row.
        const Run exported = runToEnd({u"line"_s, u"export"_s, u"--record"_s, admin(), u"--line"_s, line}, environment());
        QCOMPARE(readLogText(exported.out.toUtf8(), true).size(), 2 * rows);
    }

    // velmora-bench as a station beside velmora-cli, through one crash of
    // the server mid-run: its run goes on by itself and ends. line status
    // --watch waits for the record as well.
    void benchThroughAnOutage()
    {
        const QString line = u"bench-outage"_s;
        const int rows = 60;
        QVERIFY(load(line, rows, 8));
        DeviceOptions slow;
        slow.delayMs = 20;
        Devices bench(4, slow);
        std::vector<std::unique_ptr<Station>> stations = startStations(line, 1, 2, bench, m_server.url(u"bench1"_s));
        QProcessEnvironment offscreen = environment();
        offscreen.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        offscreen.insert(u"HOME"_s, m_folder.filePath(u"home"_s));
        stations.push_back(std::make_unique<Station>(
            QStringList{u"--record"_s, m_server.url(u"bench1"_s), u"--line"_s, line, u"--station"_s, u"bench-outage-bench"_s,
                        u"--no-prompt"_s, u"--start"_s, u"--quit-when-done"_s} + bench.ports(2, 2),
            offscreen, QStringLiteral(VELMORA_BENCH_PATH)));
        QTRY_VERIFY_WITH_TIMEOUT(m_server.query(u"SELECT count(*) FROM velmora.rows r JOIN velmora.lines l ON l.id = r.line_id "
                                                "WHERE l.name = '%1' AND r.state = 'ok' AND r.station = 'bench-outage-bench'"_s
                                                    .arg(line)).toInt() >= 5,
                                 60000);
        Station watch({u"line"_s, u"status"_s, u"--record"_s, admin(), u"--line"_s, line, u"--watch"_s}, environment());
        QTRY_VERIFY_WITH_TIMEOUT(watch.process.bytesAvailable() > 0, 30000);
        QVERIFY(aside([this] { return m_server.stop(true); }));
        QTRY_VERIFY_WITH_TIMEOUT(watch.err.contains(u"record unreachable since "_s), 30000);
        QTest::qWait(3000);
        QString error;
        QVERIFY(aside([this, &error] { return m_server.start(&error); }));
        QTRY_VERIFY_WITH_TIMEOUT(watch.err.contains(u"record reachable again"_s), 30000);
        QVERIFY2(!watch.finished(), qPrintable(watch.err));
        watch.process.terminate();
        QTRY_VERIFY_WITH_TIMEOUT(watch.finished(), 30000);
        checkLine(line, rows, bench, stations);
    }

    // A primary and its streaming standby, both in the stations' address:
    // the primary crashes mid-run and the standby is promoted 2 s later;
    // the stations find it and go on. The standby is synchronous, so that
    // no "writing" state the stations were told of is lost; before it is,
    // line status warns.
    void failover()
    {
        PgServer primary;
        PgServer standby;
        startWithStandby(primary, standby, u"standby1"_s);
        if (QTest::currentTestFailed())
            return;
        QString error;
        const QStringList status = {u"line"_s, u"status"_s, u"--record"_s, admin(primary)};
        const Run asynchronous = runToEnd(status, environment(&primary));
        QVERIFY2(asynchronous.err.contains(u"warning: the record's server has 1 standby and no synchronous one"_s),
                 qPrintable(asynchronous.err));
        primary.query(u"ALTER SYSTEM SET synchronous_standby_names = 'standby1'"_s, &error);
        primary.query(u"SELECT pg_reload_conf()"_s, &error);
        QTRY_COMPARE_WITH_TIMEOUT(primary.query(u"SELECT sync_state FROM pg_stat_replication"_s), u"sync"_s, 30000);
        const Run synchronous = runToEnd(status, environment(&primary));
        QVERIFY2(synchronous.exitCode == 0 && synchronous.err.isEmpty(), qPrintable(synchronous.err));

        const QString line = u"failover"_s;
        const int rows = 120;
        QVERIFY(load(line, rows, 9, &primary));
        DeviceOptions slow;
        slow.delayMs = 10;
        Devices bench(4, slow);
        const QString both = u"postgresql://bench1@127.0.0.1:%1,127.0.0.1:%2/velmora?target_session_attrs=read-write"_s
                                 .arg(primary.port()).arg(standby.port());
        const auto stations = startStations(line, 2, 2, bench, both, &primary);
        QTRY_VERIFY_WITH_TIMEOUT(primary.query(u"SELECT count(*) FROM velmora.rows WHERE state = 'ok'"_s).toInt() >= 20,
                                 60000);
        QVERIFY(aside([&primary] { return primary.stop(true); }));
        QTest::qWait(2000);
        QVERIFY2(aside([&standby, &error] { return standby.promote(&error); }), qPrintable(error));
        checkLine(line, rows, bench, stations, &standby);
    }

    // The record loses a row's "writing" state while the station is cut
    // off, its device being written: the row is made free again, or given
    // to another station that wrote and finished it. Back in touch, the
    // station sets it down again, or finds the row on two devices, says so
    // and records it; line resolve settles it.
    void lostWriting_data()
    {
        QTest::addColumn<QString>("meanwhile");  // SQL on row 2 of the line
        QTest::addColumn<bool>("onTwoDevices");
        QTest::addColumn<int>("subnet");
        QTest::newRow("row free again") << u"UPDATE velmora.rows SET state = 'free', station = NULL, lane = NULL, "
                                           "token = NULL WHERE line_id = %1 AND row = 2"_s
                                        << false << 12;
        QTest::newRow("row taken by another station")
            << u"UPDATE velmora.rows SET state = 'ok', result = 'ok', station = 'other', lane = 'COM9', token = 'other-2' "
               "WHERE line_id = %1 AND row = 2; "
               "INSERT INTO velmora.attempts (line_id, row, time, station, lane, token, result) VALUES "
               "(%1, 2, now(), 'other', 'COM9', 'other-2', 'writing'), (%1, 2, now(), 'other', 'COM9', 'other-2', 'ok')"_s
            << true << 13;
    }

    void lostWriting()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, onTwoDevices);
        QFETCH(int, subnet);
        const QString line = u"lost-writing-%1"_s.arg(subnet);
        QVERIFY(load(line, 3, subnet));
        const QString lineId = m_server.query(u"SELECT id FROM velmora.lines WHERE name = '%1'"_s.arg(line));
        TcpRelay relay(quint16(m_server.port()));
        DeviceOptions verbose;
        verbose.verbose = true;
        Devices bench(1, verbose);
        // Row 2's device written: its "writing" state was committed before.
        const QRegularExpression row2(QRegularExpression::escape(u"10.%1.0.3"_s.arg(subnet)) + u"(?![0-9]).*-> ack$"_s);
        int row2Written = 0;
        QObject::connect(bench.devices.front().get(), &PtyDevice::logLine, [&](const QString &frame) {
            if (frame.contains(row2) && ++row2Written == 1)
                relay.setForwarding(false);
        });
        const auto stations = startStations(line, 1, 1, bench, m_server.url(u"bench1"_s, relay.port()));
        Station &station = *stations.front();
        QTRY_VERIFY_WITH_TIMEOUT(station.err.contains(u"record unreachable since "_s), 60000);
        QString error;
        m_server.query(u"DELETE FROM velmora.attempts WHERE line_id = %1 AND row = 2; "_s.arg(lineId)
                           + meanwhile.arg(lineId),
                       &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        relay.setForwarding(true);
        QTRY_VERIFY_WITH_TIMEOUT(station.finished(), 60000);
        QVERIFY2(station.process.exitStatus() == QProcess::NormalExit && station.process.exitCode() == 0,
                 ending(station.err).constData());
        QVERIFY2(station.err.contains(u"is on two devices"_s) == onTwoDevices, qPrintable(station.err));
        QCOMPARE(row2Written, 1);
        const QStringList status = {u"line"_s, u"status"_s, u"--record"_s, admin(), u"--line"_s, line, u"--json"_s};
        const QJsonArray doubts =
            QJsonDocument::fromJson(runToEnd(status, environment()).out.toUtf8()).object().value(u"in_doubt"_s).toArray();
        QCOMPARE(doubts.size(), onTwoDevices ? 1 : 0);
        const QString okRows = u"SELECT string_agg(row::text, ',' ORDER BY row) FROM velmora.rows "
                               "WHERE line_id = %1 AND state = 'ok'"_s.arg(lineId);
        QCOMPARE(m_server.query(okRows), u"1,2,3"_s);
        if (onTwoDevices) {
            QCOMPARE(doubts.at(0)[u"row"_s].toInt(), 2);
            QCOMPARE(doubts.at(0)[u"lane"_s].toString(), bench.devices.front()->slavePath());
            QCOMPARE(doubts.at(0)[u"other"_s][u"station"_s].toString(), u"other"_s);
            const QStringList resolve = {u"line"_s, u"resolve"_s, u"2"_s, u"--record"_s, admin(), u"--line"_s, line,
                                         u"--as"_s};
            const Run free = runToEnd(resolve + QStringList{u"free"_s}, environment());
            QVERIFY2(free.exitCode != 0 && free.err.contains(u"it is ok on station other"_s), qPrintable(free.err));
            const Run ok = runToEnd(resolve + QStringList{u"ok"_s}, environment());
            QVERIFY2(ok.exitCode == 0, qPrintable(ok.err));
            QCOMPARE(QJsonDocument::fromJson(runToEnd(status, environment()).out.toUtf8())
                         .object().value(u"in_doubt"_s).toArray().size(),
                     0);
            QCOMPARE(m_server.query(okRows), u"1,2,3"_s);
        } else {
            // Set down again under the station's own claim, with its verdict.
            QCOMPARE(m_server.query(u"SELECT string_agg(result, ',' ORDER BY id) FROM velmora.attempts "
                                    "WHERE line_id = %1 AND row = 2"_s.arg(lineId)),
                     u"writing,ok"_s);
        }
        const QDir journals(m_folder.filePath(u"state/velmora"_s));
        for (const QFileInfo &journal : journals.entryInfoList(QDir::Files))
            QVERIFY2(journal.size() == 0, qPrintable(journal.fileName() + u" holds entries"_s));
    }

    // The standby is asynchronous and falls behind: its stream cut mid-run,
    // the primary crashes after more rows are done and the standby is
    // promoted with what it had. The stations find the
    // "writing" states and verdicts the record lost: each row is set down
    // again or, where another station wrote it meanwhile, in doubt on both
    // devices; no LIP is on two devices without line status saying so.
    void failoverToStandbyBehind()
    {
        PgServer primary;
        PgServer standby;
        startWithStandby(primary, standby, u"standby2"_s);
        if (QTest::currentTestFailed())
            return;
        QString error;
        const QString line = u"behind"_s;
        const int rows = 80;
        QVERIFY(load(line, rows, 11, &primary));
        DeviceOptions options;
        options.delayMs = 10;
        options.verbose = true;
        Devices bench(4, options);
        std::vector<QSet<QString>> written(bench.devices.size());  // the LIPs each device acknowledged
        const QRegularExpression lip(u"10\\.11\\.[0-9]+\\.[0-9]+"_s);
        for (size_t i = 0; i < bench.devices.size(); ++i)
            QObject::connect(bench.devices[i].get(), &PtyDevice::logLine, [&, i](const QString &frame) {
                const QRegularExpressionMatch match = lip.match(frame);
                if (match.hasMatch() && frame.endsWith(u"-> ack"_s))
                    written[i].insert(match.captured());
            });
        const QString both = u"postgresql://bench1@127.0.0.1:%1,127.0.0.1:%2/velmora?target_session_attrs=read-write"_s
                                 .arg(primary.port()).arg(standby.port());
        const auto stations = startStations(line, 2, 2, bench, both, &primary);
        const QString okCount = u"SELECT count(*) FROM velmora.rows WHERE state = 'ok'"_s;
        QTRY_VERIFY_WITH_TIMEOUT(primary.query(okCount).toInt() >= 10, 60000);
        // Behind from here: nothing more is received, and a promotion
        // replays only what was received.
        standby.query(u"ALTER SYSTEM SET primary_conninfo = ''"_s, &error);
        standby.query(u"SELECT pg_reload_conf()"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(standby.query(u"SELECT count(*) FROM pg_stat_wal_receiver"_s), u"0"_s, 30000);
        // The standby may still be replaying what it received.
        QTRY_VERIFY_WITH_TIMEOUT(primary.query(okCount).toInt() >= standby.query(okCount).toInt() + 12, 60000);
        QVERIFY(std::all_of(stations.begin(), stations.end(), [](const auto &station) { return !station->finished(); }));
        const int okBefore = primary.query(okCount).toInt();
        QVERIFY(aside([&primary] { return primary.stop(true); }));
        QVERIFY2(aside([&standby, &error] { return standby.promote(&error); }), qPrintable(error));
        const int okBehind = standby.query(okCount, &error).toInt();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(okBehind < okBefore, qPrintable(u"%1 ok rows on the standby, %2 on the primary"_s.arg(okBehind).arg(okBefore)));
        const int okLost = okBefore - okBehind;

        for (const auto &station : stations) {
            QTRY_VERIFY_WITH_TIMEOUT(station->finished(), 180000);
            QVERIFY2(station->process.exitStatus() == QProcess::NormalExit, ending(station->err).constData());
        }
        // Every row ok, or in doubt on two devices.
        QCOMPARE(standby.query(u"SELECT count(*) FROM velmora.rows r WHERE r.state <> 'ok' AND NOT EXISTS "
                               "(SELECT 1 FROM velmora.doubts d WHERE d.line_id = r.line_id AND d.row = r.row "
                               "AND d.settled_at IS NULL)"_s),
                 u"0"_s);
        const Run status = runToEnd({u"line"_s, u"status"_s, u"--record"_s, admin(standby), u"--line"_s, line, u"--json"_s},
                                    environment(&standby));
        QVERIFY2(status.exitCode == 0, qPrintable(status.err));
        QSet<QString> onTwoShown;
        const QJsonArray doubts = QJsonDocument::fromJson(status.out.toUtf8()).object().value(u"in_doubt"_s).toArray();
        for (const QJsonValue doubt : doubts) {
            QVERIFY(doubt[u"on_two_devices"_s].toBool());
            QVERIFY(!doubt[u"other"_s][u"station"_s].toString().isEmpty());
            onTwoShown << standby.query(u"SELECT planned->>'lip' FROM velmora.rows r JOIN velmora.lines l ON l.id = r.line_id "
                                        "WHERE l.name = '%1' AND r.row = %2"_s.arg(line).arg(doubt[u"row"_s].toInt()));
        }
        // A LIP on two devices is in doubt, and its station said so.
        QMap<QString, int> devicesOf;
        for (const QSet<QString> &lips : written) {
            for (const QString &held : lips)
                ++devicesOf[held];
        }
        QString said;
        for (const auto &station : stations)
            said += station->err;
        for (auto it = devicesOf.cbegin(); it != devicesOf.cend(); ++it) {
            if (it.value() > 1) {
                QVERIFY2(onTwoShown.contains(it.key()), qPrintable(it.key() + u" is silently on two devices"_s));
                QVERIFY2(said.contains(u"is on two devices"_s), qPrintable(said));
            }
        }
        QCOMPARE(devicesOf.size(), rows);
        const QDir journals(m_folder.filePath(u"state/velmora"_s));
        for (const QFileInfo &journal : journals.entryInfoList(QDir::Files))
            QVERIFY2(journal.size() == 0, qPrintable(journal.fileName() + u" holds entries"_s));
        qInfo("%d ok rows lost by the record; %lld rows in doubt on two devices", okLost, qlonglong(doubts.size()));
    }

    void cleanupTestCase() { m_server.stop(); }

private:
    // A primary holding a record with the station role bench1, and a
    // standby streaming from it under name.
    void startWithStandby(PgServer &primary, PgServer &standby, const QString &name)
    {
        QString error;
        QVERIFY2(primary.start(&error), qPrintable(error));
        QCOMPARE(runToEnd({u"line"_s, u"init"_s, u"--record"_s, admin(primary)}, environment(&primary)).exitCode, 0);
        QVERIFY2(primary.addRole(u"bench1"_s, {u"velmora_station"_s}, &error), qPrintable(error));
        QVERIFY2(standby.startStandby(primary, name, &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(primary.query(u"SELECT count(*) FROM pg_stat_replication"_s), u"1"_s, 30000);
    }

    PgServer m_server;
    QTemporaryDir m_folder;
};

QTEST_GUILESS_MAIN(tst_LineFaults)
#include "tst_line_faults.moc"
