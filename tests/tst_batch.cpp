// velmora-cli batch as a bench runs it: simulated devices on real
// pseudo-terminals, a plan, a log, and what every device holds afterwards.
// Each test runs in a fresh folder of its own, where plan.csv and log.csv lie.
#include "batch/csv.h"
#include "batch/lane.h"
#include "batch/plan.h"
#include "client/profile.h"
#include "clirun.h"
#include "files.h"
#include "logrecords.h"
#include "ptypair.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// rows devices, ... with lip 10.0.0.n, sn n and port 8000+n.
QByteArray plan(int rows)
{
    QByteArray text = "id,lip,sn,port\n";
    for (int n = 1; n <= rows; ++n)
        text += QStringLiteral("A-%1,10.0.0.%1,%1,%2\n").arg(n).arg(8000 + n).toUtf8();
    return text;
}

// Which row's values a device holds over its start values: 0 for none,
// -1 for values no row of the plan gives it.
int rowHeld(const PtyDevice &device, const QByteArray &planText)
{
    Batch::Plan plan;
    QStringList errors;
    if (!Batch::readPlan(planText, QStringLiteral("plan.csv"), {}, &plan, &errors))
        return -1;
    const Protocol::ParameterBlock held = device.model().parameters();
    if (held == DeviceModel::startParameters())
        return 0;
    for (const Batch::PlanRow &row : plan.rows) {
        if (row.values.appliedTo(DeviceModel::startParameters()) == held)
            return row.number;
    }
    return -1;
}

// Whether velmora-cli, started as process pid, has a handler for signal now,
// as Linux tells. Until the child of fork() has become velmora-cli it has
// the test's own handlers.
bool catches(qint64 pid, int signal)
{
    if (!QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget().endsWith(QLatin1String("velmora-cli")))
        return false;
    const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
    const qsizetype at = status.indexOf("SigCgt:");
    return at >= 0 && (status.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) >> (signal - 1) & 1);
}

DeviceOptions fault(const QString &name)
{
    DeviceOptions options;
    options.fail = name == QLatin1String("refused");
    options.silent = name == QLatin1String("no-answer");
    options.delayMs = name == QLatin1String("slow") ? 150 : 0;
    if (name == QLatin1String("mismatch"))
        options.ignoredField = Protocol::blockField(u"port");
    return options;
}

// velmora-cli batch running while the test's event loop keeps devices answering.
struct BatchProcess
{
    explicit BatchProcess(const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += QString::fromLocal8Bit(process.readAllStandardError()); });
        process.start(QStringLiteral(VELMORA_CLI_PATH), QStringList{"batch"} + arguments);
    }
    bool finished() const { return process.state() == QProcess::NotRunning; }
    QString summary() const { return err.trimmed().section(QLatin1Char('\n'), -1); }

    QProcess process;
    QString err;
};

} // namespace

class tst_Batch : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_folder->path()));
    }

    void eachDeviceGetsItsRow()
    {
        // At each question a new device is plugged in, and the third is skipped.
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(4)));
        Device bench;
        BatchProcess batch({"plan.csv", "--log", "log.csv", "--port", bench.path()});
        QMap<int, QString> holds;  // by row, what its device held when the next came
        for (int row = 1; row <= 4; ++row) {
            QTRY_VERIFY2(batch.err.contains(QStringLiteral("Connect device %1 of 4 (id A-%1) to %2, then press Enter; "
                                                           "s skips, q stops\n").arg(row).arg(bench.path())),
                         qPrintable(batch.err));
            holds[row - 1] = held(bench.device);
            bench.device.replaceDevice();
            batch.process.write(row == 3 ? "s\n" : "\n");
        }
        QTRY_VERIFY(batch.finished());
        holds[4] = held(bench.device);

        QCOMPARE(batch.summary(), QStringLiteral("4 rows: 3 ok, 0 mismatch, 0 no answer, 1 skipped"));
        QCOMPARE(batch.process.exitCode(), 0);
        const QList<LogRecord> log = readLog();
        QCOMPARE(log.size(), 4);
        for (int row = 1; row <= 4; ++row) {
            const LogRecord &line = log[row - 1];
            QCOMPARE(line.value("row"), QString::number(row));
            QCOMPARE(line.value("result"), row == 3 ? "skipped" : "ok");
            QCOMPARE(line.value("line"), bench.path());
            QCOMPARE(line.value("lip"), QStringLiteral("10.0.0.%1").arg(row));
            if (row == 3)
                continue;
            QCOMPARE(readBack(line), holds[row]);
            QVERIFY(holds[row].contains(QStringLiteral("lip = 10.0.0.%1\n").arg(row)));
            QVERIFY(holds[row].contains(QStringLiteral("port = %1\n").arg(8000 + row)));
        }
    }

    void lanes_data()
    {
        QTest::addColumn<QStringList>("devices");  // the result each port's device gives
        QTest::addColumn<int>("rows");
        QTest::newRow("two lanes share the rows") << QStringList{"ok", "ok"} << 12;
        QTest::newRow("each fault its result, the run goes on")
            << QStringList{"ok", "refused", "no-answer", "mismatch"} << 8;
    }

    void lanes()
    {
        QFETCH(QStringList, devices);
        QFETCH(int, rows);
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(rows)));
        std::vector<std::unique_ptr<Device>> bench;
        QStringList arguments = {"plan.csv", "--log", "log.csv", "--no-prompt", "--timeout", "100", "--retries", "0"};
        QMap<QString, QString> results;  // by port
        for (const QString &result : devices) {
            bench.push_back(std::make_unique<Device>(fault(result)));
            arguments << "--port" << bench.back()->path();
            results.insert(bench.back()->path(), result);
        }
        BatchProcess batch(arguments);
        QTRY_VERIFY_WITH_TIMEOUT(batch.finished(), 20000);

        const QList<LogRecord> log = readLog();
        QCOMPARE(log.size(), rows);
        QSet<QString> rowsSeen;
        QMap<QString, int> counts;
        QMap<QString, QString> lastReadBack;  // by port
        for (const LogRecord &record : log) {
            rowsSeen << record.value("row");
            QCOMPARE(record.value("result"), results.value(record.value("line")));
            ++counts[record.value("result")];
            if (!record.value("read_lip").isEmpty())
                lastReadBack.insert(record.value("line"), readBack(record));
            if (record.value("result") == QLatin1String("mismatch"))
                QCOMPARE(record.value("detail"), QStringLiteral("port: wrote %1, device has 5020").arg(record.value("port")));
        }
        QCOMPARE(rowsSeen.size(), rows);  // no row twice
        for (const auto &device : bench) {
            if (device->device.model().parameters() == DeviceModel::startParameters())
                continue;  // refused or silent: never written
            QCOMPARE(lastReadBack.value(device->path()), held(device->device));
        }
        QCOMPARE(batch.err.count(QRegularExpression(QStringLiteral("^\\[\\d+/%1\\] row \\d+ \\(A-\\d+\\) on ").arg(rows),
                                                    QRegularExpression::MultilineOption)),
                 rows);
        QString summary = QStringLiteral("%1 rows: %2 ok, %3 mismatch, ").arg(rows).arg(counts["ok"]).arg(counts["mismatch"]);
        if (counts["refused"] > 0)
            summary += QStringLiteral("%1 refused, ").arg(counts["refused"]);
        summary += QStringLiteral("%1 no answer, 0 skipped").arg(counts["no-answer"]);
        QCOMPARE(batch.summary(), summary);
        QCOMPARE(batch.process.exitCode(), counts["ok"] == rows ? 0 : 1);
    }

    void resumes()
    {
        // The first run writes some rows on a device that keeps its port: mismatches.
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(6)));
        const QStringList batch = {"batch", "plan.csv", "--log", "log.csv", "--no-prompt"};
        Device good;
        Device ignoring(fault("mismatch"));
        const Run first = cli(batch + QStringList{"--port", good.path(), "--port", ignoring.path()});
        QCOMPARE(first.exitCode, 1);
        QSet<QString> failed;
        for (const LogRecord &record : readLog()) {
            if (record.value("result") != QLatin1String("ok"))
                failed << record.value("row");
        }
        QVERIFY(!failed.isEmpty() && failed.size() < 6);

        // Run again: only the rows not ok yet, and then nothing at all.
        Device fresh;
        const Run second = cli(batch + QStringList{"--port", fresh.path()});
        QCOMPARE(second.exitCode, 0);
        QVERIFY2(second.err.startsWith(
                     QStringLiteral("log.csv records %1 of 6 rows as ok: they are not provisioned again\n").arg(6 - failed.size())),
                 qPrintable(second.err));
        const QList<LogRecord> log = readLog();
        QSet<QString> retried;
        for (const LogRecord &record : log.mid(6)) {
            QCOMPARE(record.value("result"), QStringLiteral("ok"));
            retried << record.value("row");
        }
        QCOMPARE(retried, failed);
        QCOMPARE(log.size(), 6 + failed.size());

        const int frames = fresh.frames;
        const Run third = cli(batch + QStringList{"--port", fresh.path()});
        QCOMPARE(third.exitCode, 0);
        QVERIFY(third.err.endsWith(QStringLiteral("6 rows: 6 ok, 0 mismatch, 0 no answer, 0 skipped\n")));
        QCOMPARE(fresh.frames, frames);
        QCOMPARE(readLog().size(), log.size());
    }

    void autoWaitsForTheNextDevice()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(2)));
        Device bench;
        BatchProcess batch({"plan.csv", "--log", "log.csv", "--auto", "--port", bench.path()});
        QTRY_VERIFY2(batch.err.contains(QStringLiteral("[1/2] row 1 (A-1) on %1: ok").arg(bench.path())), qPrintable(batch.err));
        QTRY_VERIFY(batch.err.contains(QStringLiteral("waiting for the device on %1 to be unplugged\n").arg(bench.path())));

        // While the device answers, it is asked again and again, and left as it is.
        const int frames = bench.frames;
        QTRY_VERIFY(bench.frames >= frames + 3);
        QCOMPARE(bench.device.model().parameters().serialNumber, 1);

        // Gone for a moment, it comes back: still the device of row 1.
        bench.device.setPlugged(false);
        QTRY_VERIFY(batch.err.contains(QStringLiteral("waiting for device 2 of 2 (id A-2) on %1\n").arg(bench.path())));
        bench.device.setPlugged(true);
        QTRY_VERIFY(batch.err.contains(QStringLiteral("the device on %1 answers again with the values just written")
                                           .arg(bench.path())));
        QCOMPARE(bench.device.model().parameters().serialNumber, 1);

        bench.device.setPlugged(false);
        bench.device.replaceDevice();
        bench.device.setPlugged(true);
        QTRY_VERIFY(batch.finished());
        QCOMPARE(batch.process.exitCode(), 0);
        QCOMPARE(bench.device.model().parameters().serialNumber, 2);
        QCOMPARE(readLog().size(), 2);
    }

    void stopSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("whileReadingPlan");  // else while devices are written
        QTest::newRow("SIGINT") << SIGINT << 130 << false;
        QTest::newRow("SIGTERM") << SIGTERM << 143 << false;
        QTest::newRow("SIGTERM while a long plan is read") << SIGTERM << 143 << true;
    }

    void stopSignal()
    {
        QFETCH(int, signal);
        QFETCH(int, exitCode);
        QFETCH(bool, whileReadingPlan);
        // The long plan comes through a pipe, so that the program is still
        // reading it when the signal comes, however fast it reads.
        QFile::remove(QStringLiteral("plan.csv"));
        QVERIFY(whileReadingPlan ? ::mkfifo("plan.csv", 0600) == 0 : writeFile(QStringLiteral("plan.csv"), plan(20)));
        const auto removePipe = qScopeGuard([] { QFile::remove(QStringLiteral("plan.csv")); });
        Device first(fault("slow"));
        Device second(fault("slow"));
        BatchProcess batch({"plan.csv", "--log", "log.csv", "--no-prompt", "--port", first.path(), "--port", second.path()});
        if (whileReadingPlan)  // as soon as the program catches it
            QTRY_VERIFY(catches(batch.process.processId(), signal));
        else
            QTRY_VERIFY(batch.err.contains(QLatin1String("[1/20]")));
        QCOMPARE(::kill(pid_t(batch.process.processId()), signal), 0);
        if (whileReadingPlan) {
            QByteArray longPlan = "id,t1\n";
            for (int n = 1; n <= 50000; ++n)
                longPlan += "B-" + QByteArray::number(n) + ',' + QByteArray::number(n) + '\n';
            QVERIFY(writeFile(QStringLiteral("plan.csv"), longPlan));  // waits for the reader
        }
        QTRY_VERIFY_WITH_TIMEOUT(batch.finished(), 10000);
        QCOMPARE(batch.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(batch.process.exitCode(), exitCode);
        if (whileReadingPlan) {
            QCOMPARE(batch.summary(), QStringLiteral("50000 rows: 0 ok, 0 mismatch, 0 no answer, 0 skipped, 50000 left"));
            QCOMPARE(first.frames + second.frames, 0);
            return;
        }
        QVERIFY2(batch.err.contains(QLatin1String("stopping once the device being written on ")), qPrintable(batch.err));
        QVERIFY(batch.summary().endsWith(QLatin1String(" left")));

        // Each device holds what the last line of its port says: the one being
        // written when the signal came was finished and recorded.
        QMap<QString, QString> last;
        for (const LogRecord &record : readLog())
            last.insert(record.value("line"), readBack(record));
        QCOMPARE(last.size(), 2);
        QCOMPARE(last.value(first.path()), held(first.device));
        QCOMPARE(last.value(second.path()), held(second.device));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("exitCode");   // of the run the fault struck; -1: whatever the device's answers made
        QTest::addColumn<QString>("message");  // a line the run printed
        // Which late answer a retry meets depends on the machine's load: each row
        // may end ok or not, but never with values no row has.
        QTest::newRow("acknowledgements later than --timeout") << "late" << -1 << "[1/6] row 1 (A-1) on @LINE: ";
        QTest::newRow("killed between SET ALL and its log line") << "kill" << 0
                                                                  << "read again after the last run stopped: row 1 (A-1) on @LINE: ok";
        QTest::newRow("log deleted") << "delete" << 2 << "cannot write log.csv: it was deleted while in use";
        QTest::newRow("log cut short") << "truncate" << 2 << "cannot write log.csv: it was cut short while in use";
        QTest::newRow("log on a full disk") << "full" << 2 << "No space left on device";
    }

    // Whatever goes wrong, no device holds values no row gave it, every
    // device written is in the log, no row is ok twice, and the summary
    // counts what the log holds.
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const int rows = fault == QLatin1String("full") ? 40 : 6;
        QString logFile = QStringLiteral("log.csv");
        if (fault == QLatin1String("full")) {
            QVERIFY(QDir().mkpath(QStringLiteral("disk")));
            QProcess mount;
            mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=8k", "tmpfs", "disk"});
            if (!mount.waitForFinished() || mount.exitCode() != 0)
                QSKIP("a full disk is a small tmpfs, which this user may not mount (root with CAP_SYS_ADMIN may)");
            logFile = QStringLiteral("disk/log.csv");
        }
        const auto unmount = qScopeGuard([&] {
            if (fault == QLatin1String("full"))
                QProcess::execute(QStringLiteral("umount"), {"disk"});
        });
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(rows)));
        DeviceOptions options;
        options.delayMs = fault == QLatin1String("late") ? 240 : fault == QLatin1String("kill") ? 300 : 20;
        Device bench(options);
        bool setAllArrived = false;
        QObject::connect(&bench.device, &PtyDevice::logLine, [&](const QString &line) {
            setAllArrived = setAllArrived || line.contains(QLatin1String("SET ALL"));
        });
        const QStringList arguments = {"plan.csv", "--log", logFile, "--no-prompt", "--port", bench.path(),
                                       "--timeout", fault == QLatin1String("late") ? "200" : "1000"};
        auto batch = std::make_unique<BatchProcess>(arguments);
        if (fault == QLatin1String("kill")) {
            QTRY_VERIFY(setAllArrived);
            QCOMPARE(::kill(pid_t(batch->process.processId()), SIGKILL), 0);
            QTRY_VERIFY(batch->finished());
            QCOMPARE(rowHeld(bench.device, plan(rows)), 1);
            QCOMPARE(readLog(true).size(), 1);  // "writing", and no verdict
            batch = std::make_unique<BatchProcess>(arguments);
        } else if (fault == QLatin1String("delete") || fault == QLatin1String("truncate")) {
            QTRY_VERIFY(batch->err.contains(QLatin1String("[2/6]")));
            if (fault == QLatin1String("delete"))
                QVERIFY(QFile::remove(logFile));
            else
                QVERIFY(QFile::resize(logFile, 0));
        }
        QTRY_VERIFY_WITH_TIMEOUT(batch->finished(), 30000);
        QVERIFY2(batch->err.contains(QString(message).replace(QLatin1String("@LINE"), bench.path())), qPrintable(batch->err));
        if (exitCode >= 0)
            QCOMPARE(batch->process.exitCode(), exitCode);

        const int heldRow = rowHeld(bench.device, plan(rows));
        QVERIFY2(heldRow >= 0, qPrintable(held(bench.device)));
        if (fault == QLatin1String("delete") || fault == QLatin1String("truncate")) {
            // The device holds the row printed as not recorded, or one recorded before.
            if (heldRow > 0 && !batch->err.contains(QStringLiteral("not recorded: ")))
                QVERIFY(batch->err.contains(QStringLiteral("row %1 (A-%1) on ").arg(heldRow)));
            return;  // what the log held is gone: the run said so
        }
        const QList<LogRecord> log = readLog(true, logFile);
        QVERIFY(!log.isEmpty());
        QMap<QString, int> lastResult;  // by row, of the verdict lines
        QMap<QString, int> ok;
        for (const LogRecord &record : log) {
            if (record.value("result") != QLatin1String("writing"))
                lastResult[record.value("row")] = 1;
            if (record.value("result") == QLatin1String("ok"))
                QCOMPARE(++ok[record.value("row")], 1);
        }
        if (heldRow > 0) {
            // Recorded with its verdict, as the last line: a full disk stopped the
            // run before a device it could not record was written.
            QVERIFY(lastResult.contains(QString::number(heldRow)));
            QCOMPARE(log.last().value("row"), QString::number(heldRow));
        }
        QVERIFY2(batch->summary().startsWith(QStringLiteral("%1 rows: %2 ok,").arg(rows).arg(ok.size())),
                 qPrintable(batch->summary()));
        if (exitCode < 0)
            QCOMPARE(batch->process.exitCode(), ok.size() == rows ? 0 : 1);
    }

    // --auto polls a port until a device is there; why it cannot be opened
    // is said once, and again only when the reason changes.
    void autoSaysWhyOncePerReason()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(1)));
        const QString port = QDir::current().filePath(QStringLiteral("usb-Velmora_late-if00-port0"));
        BatchProcess batch({"plan.csv", "--log", "log.csv", "--auto", "--port", port});
        const QString missing = QStringLiteral("velmora-cli: cannot open %1: No such file or directory").arg(port);
        QTRY_VERIFY2(batch.err.contains(missing), qPrintable(batch.err));
        QTest::qWait(3 * Batch::Lane::PollIntervalMs);  // polls that find the same reason
        QVERIFY(writeFile(port, "not a port"));
        const QString notAPort = QStringLiteral("velmora-cli: cannot open %1: not a serial port").arg(port);
        QTRY_VERIFY(batch.err.contains(notAPort));
        Device bench;
        QVERIFY(QFile::remove(port) && QFile::link(bench.path(), port));
        QTRY_VERIFY(batch.finished());
        QCOMPARE(batch.process.exitCode(), 0);
        QCOMPARE(batch.err.count(missing), 1);
        QCOMPARE(batch.err.count(notAPort), 1);
    }

    // A --no-prompt lane whose device never answers stops after two rows,
    // not a time-out on every row left; its --trace lines name the port.
    void silentLaneStops()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(5)));
        Device silent(fault("no-answer"));
        const Run run = cli({"batch", "plan.csv", "--log", "log.csv", "--no-prompt", "--port", silent.path(),
                             "--timeout", "100", "--retries", "0", "--trace"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("velmora-cli: %1: no answer to 2 rows in a row; check the cable, the "
                                                 "device's power and that this is its port (velmora-cli scan finds it); "
                                                 "no more devices on it\n").arg(silent.path())),
                 qPrintable(run.err));
        QVERIFY(run.err.endsWith(QLatin1String("5 rows: 0 ok, 0 mismatch, 2 no answer, 0 skipped, 3 left\n")));
        QCOMPARE(readLog().size(), 2);
        QCOMPARE(silent.frames, 2);  // one READ a row: no SET ALL without a block read
        const QRegularExpression traced(QStringLiteral("^\\d+\\.\\d %1 TX aa ").arg(QRegularExpression::escape(silent.path())),
                                        QRegularExpression::MultilineOption);
        QCOMPARE(run.err.count(traced), 2);
    }

    // One lane's device goes away mid-batch (its simulator stops, the line
    // hangs up) and, but in the last row, comes back as a new simulator under
    // the same linked name. The attempt in flight is recorded, the lane waits
    // and carries on; with --port-wait too short, the other lane takes its rows.
    void replug_data()
    {
        QTest::addColumn<bool>("comesBack");
        QTest::newRow("back within --port-wait") << true;
        QTest::newRow("not back: the other lane takes the rows") << false;
    }

    void replug()
    {
        QFETCH(bool, comesBack);
        constexpr int Rows = 16;
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(Rows)));
        Device steady(fault("slow"));
        auto moving = std::make_unique<Device>(fault("slow"));
        const QString link = QDir::current().filePath(QStringLiteral("usb-Velmora_moving-if00-port0"));
        QVERIFY(QFile::link(moving->path(), link));
        BatchProcess batch({"plan.csv", "--log", "log.csv", "--no-prompt", "--port", steady.path(), "--port", link,
                            "--port-wait", comesBack ? "30" : "1"});
        QTRY_VERIFY(batch.err.contains(QStringLiteral(") on %1: ok").arg(link)));
        // Unplugged: its name goes with it. (Its pty's own name may be
        // another test's pty a moment later: the lane must not find that.)
        QVERIFY(QFile::remove(link));
        moving.reset();
        QTRY_VERIFY2(batch.err.contains(QStringLiteral("%1: port lost; waiting for it to come back").arg(link)),
                     qPrintable(batch.err));
        if (comesBack) {
            moving = std::make_unique<Device>(fault("slow"));
            QVERIFY(QFile::link(moving->path(), link));
            QTRY_VERIFY(batch.err.contains(QStringLiteral("%1 is back").arg(link)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(batch.finished(), 30000);
        QCOMPARE(batch.process.exitCode(), 1);

        QMap<QString, int> verdicts;  // by row
        int lost = 0;
        int afterLost = 0;  // rows the moving lane did after it came back
        for (const LogRecord &record : readLog()) {
            ++verdicts[record.value("row")];
            if (record.value("detail").startsWith(QLatin1String("port lost"))) {
                QCOMPARE(record.value("result"), QStringLiteral("no-answer"));
                QCOMPARE(record.value("line"), link);
                ++lost;
            } else {
                QCOMPARE(record.value("result"), QStringLiteral("ok"));
                afterLost += lost > 0 && record.value("line") == link;
            }
        }
        QCOMPARE(lost, 1);
        QCOMPARE(verdicts.size(), Rows);
        QCOMPARE(std::count(verdicts.begin(), verdicts.end(), 1), Rows);  // none twice
        QCOMPARE(afterLost > 0, comesBack);
        if (!comesBack)
            QVERIFY(batch.err.contains(QStringLiteral("%1: not back after 1 s").arg(link)));
        QCOMPARE(batch.summary(), QStringLiteral("16 rows: 15 ok, 0 mismatch, 1 no answer, 0 skipped"));
    }

    // A batch holds its device under any name: a second batch, or a single
    // command, through a link to it is refused before a frame is sent.
    void oneDeviceUnderTwoNames()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(2)));
        Device bench;
        const QString link = QDir::current().filePath(QStringLiteral("by-id-link"));
        QVERIFY(QFile::link(bench.path(), link));
        BatchProcess first({"plan.csv", "--log", "log.csv", "--port", bench.path()});
        QTRY_VERIFY(first.err.contains(QLatin1String("Connect device 1 of 2")));
        const QString inUse = QStringLiteral("in use by velmora-cli (pid %1)").arg(first.process.processId());

        const Run second = cli({"batch", "plan.csv", "--log", "other.csv", "--no-prompt", "--port", link});
        QCOMPARE(second.err, QStringLiteral("velmora-cli: cannot open %1: %2\n").arg(link, inUse));
        QCOMPARE(second.exitCode, 3);
        const Run single = cli({"--port", link, "read"});
        QCOMPARE(single.err, QStringLiteral("velmora-cli: cannot open %1: %2\n").arg(link, inUse));
        QCOMPARE(single.exitCode, 3);
        QCOMPARE(bench.frames, 0);
        first.process.write("q\n");
        QTRY_VERIFY(first.finished());
    }

    void refusedBeforeAnything_data()
    {
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QStringList>("arguments");  // @LINE stands for the line
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");

        const QStringList batch = {"batch", "plan.csv", "--log", "log.csv", "--port", "@LINE", "--no-prompt"};
        QTest::newRow("bad plan") << QByteArray("lip,sn\n10.0.0.1,300\n") << QByteArray() << batch << 2
                                  << "plan.csv:2:10: sn=300: expected a whole number from 0 to 249";
        QTest::newRow("log of another plan")
            << plan(2) << QByteArray("time,row\n") << batch << 2
            << "log.csv:1: the log's columns do not fit this plan; they would be: time,row,id,line,result,detail,lip,port,sn,"
               "read_lip,read_mask,read_sip,read_port,read_sn,read_mac,read_mode,read_t1,read_reserved,read_gateway";
        QTest::newRow("one line, two ports") << plan(2) << QByteArray() << batch + QStringList{"--port", "@LINE"} << 2
                                             << "--port @LINE: that device has a --port already (@LINE)";
        QTest::newRow("--auto and --no-prompt") << plan(2) << QByteArray() << batch + QStringList{"--auto"} << 2
                                                << "batch takes --auto or --no-prompt, not both";
        QTest::newRow("no log") << plan(2) << QByteArray() << QStringList{"batch", "plan.csv", "--port", "@LINE"} << 2
                                << "batch needs --log LOG.csv, its record, or --record URL --line NAME";
        QTest::newRow("port missing") << plan(2) << QByteArray() << batch + QStringList{"--port", "/dev/no-such-line"} << 3
                                      << "cannot open /dev/no-such-line: No such file or directory; velmora-cli ports lists the serial ports present";
    }

    void refusedBeforeAnything()
    {
        QFETCH(QByteArray, plan);
        QFETCH(QByteArray, log);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan));
        QVERIFY(log.isEmpty() || writeFile(QStringLiteral("log.csv"), log));
        PtyPair line;
        arguments.replaceInStrings(QStringLiteral("@LINE"), line.slavePath());

        const Run run = cli(arguments);
        QCOMPARE(run.err, QStringLiteral("velmora-cli: %1\n").arg(err.replace(QStringLiteral("@LINE"), line.slavePath())));
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(line.received(), QByteArray());
        QCOMPARE(readFile(QStringLiteral("log.csv")), log);
    }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

QTEST_GUILESS_MAIN(tst_Batch)
#include "tst_batch.moc"
