// velmora-kill-campaign: kills velmora-cli batch with SIGKILL at random
// moments and runs it again, until the plan is done; then checks what a
// batch promises however it is stopped:
// - after every kill, each device holds no row, or a row the record gives
//   to its port (a "writing" state at least);
// - at the end, every row is ok exactly once, and each device holds the row
//   of its port's last ok attempt, or none.
// With --record, the plan is a line of a shared record (loaded here) and
// several stations run it at once, a random one of them killed each time:
// then no row is ok twice across stations either.
// The devices are simulated in this process, one per port, each answering
// a few milliseconds late so that kills land inside exchanges too. Exits 1
// if any check failed.
#include "batch/csv.h"
#include "batch/plan.h"
#include "device/devicemodel.h"
#include "device/ptydevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray planText(int rows)
{
    QByteArray text = "id,lip,mac,port\n";
    for (int n = 1; n <= rows; ++n)
        text += QStringLiteral("D-%1,10.1.%2.%3,02:00:00:00:%4:%5,%6\n")
                    .arg(n).arg(n / 200).arg(n % 200 + 1)
                    .arg(n / 256, 2, 16, QLatin1Char('0')).arg(n % 256, 2, 16, QLatin1Char('0'))
                    .arg(1000 + n).toUtf8();
    return text;
}

// Each attempt the record holds as (row, port, result).
struct Attempt
{
    int row;
    QString port;
    QString result;
};

std::vector<Attempt> attemptsOf(const QByteArray &csv)
{
    std::vector<Attempt> attempts;
    const Batch::CsvTable table = Batch::readCsv(csv);
    for (size_t r = 1; r < table.records.size(); ++r) {
        const auto &fields = table.records[r].fields;
        if (fields.size() > 4)
            attempts.push_back({fields[1].text.toInt(), fields[3].text, fields[4].text});
    }
    return attempts;
}

// velmora-cli run to its end, for a line command.
QByteArray cliOutput(const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(QStringLiteral(VELMORA_CLI_PATH), arguments);
    process.waitForFinished(120000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (*exitCode != 0)
        print(QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
    return process.readAllStandardOutput();
}

// One velmora-cli batch, started again after each kill until it ends by itself.
struct Station
{
    QStringList arguments;
    std::unique_ptr<QProcess> process;
    QByteArray err;
    bool done = false;

    bool running() const { return process && process->state() != QProcess::NotRunning; }
    void start()
    {
        process = std::make_unique<QProcess>();
        err.clear();
        QObject::connect(process.get(), &QProcess::readyReadStandardError, [this] { err += process->readAllStandardError(); });
        process->start(QStringLiteral(VELMORA_CLI_PATH), arguments);
        process->waitForStarted();
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kills velmora-cli batch at random moments and checks the record."));
    parser.addHelpOption();
    const QCommandLineOption killsOption(QStringLiteral("kills"), QStringLiteral("How many kills (100)."),
                                         QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption rowsOption(QStringLiteral("rows"), QStringLiteral("Rows of the plan (1000)."),
                                        QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption portsOption(QStringLiteral("ports"), QStringLiteral("Ports of each station, a device each (2)."),
                                         QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed of the kill times."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption recordOption(QStringLiteral("record"),
                                          QStringLiteral("A shared record to run the plan in as a line (velmora-cli "
                                                         "line init'ed, the password in ~/.pgpass or PGPASSFILE)."),
                                          QStringLiteral("URL"));
    const QCommandLineOption stationsOption(QStringLiteral("stations"), QStringLiteral("--record: stations at once (3)."),
                                            QStringLiteral("N"), QStringLiteral("3"));
    parser.addOptions({killsOption, rowsOption, portsOption, seedOption, recordOption, stationsOption});
    parser.process(app);
    const int kills = parser.value(killsOption).toInt();
    const int rows = qMax(1, parser.value(rowsOption).toInt());
    const int portCount = qMax(1, parser.value(portsOption).toInt());
    const QString record = parser.value(recordOption);
    const int stationCount = record.isEmpty() ? 1 : qMax(1, parser.value(stationsOption).toInt());
    QRandomGenerator random(parser.value(seedOption).toUInt());

    QTemporaryDir folder;
    const QString planFile = folder.filePath(QStringLiteral("plan.csv"));
    const QString logFile = folder.filePath(QStringLiteral("log.csv"));
    // Each campaign its own line, so that a record serves many.
    const QString line = QStringLiteral("kill-%1").arg(QDateTime::currentMSecsSinceEpoch());
    QFile plan(planFile);
    if (!plan.open(QIODevice::WriteOnly) || plan.write(planText(rows)) < 0)
        return 2;
    plan.close();
    Batch::Plan parsed;
    QStringList errors;
    if (!Batch::readPlan(planText(rows), planFile, {}, &parsed, &errors)) {
        print(errors.join(QLatin1Char('\n')));
        return 2;
    }
    int status = 0;
    if (!record.isEmpty()) {
        // Another campaign's lines may give the same values.
        cliOutput({"line", "load", planFile, "--record", record, "--line", line, "--allow-reuse", "lip,mac"}, &status);
        if (status != 0)
            return 2;
    }
    const auto readRecord = [&] {
        if (record.isEmpty()) {
            QFile log(logFile);
            return attemptsOf(log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray());
        }
        int exported = 0;
        const QByteArray csv = cliOutput({"line", "export", "--record", record, "--line", line}, &exported);
        return attemptsOf(csv);
    };

    DeviceOptions options;
    options.delayMs = 3;
    std::vector<std::unique_ptr<PtyDevice>> devices;
    std::vector<Station> stations(static_cast<size_t>(stationCount));
    for (int s = 0; s < stationCount; ++s) {
        QStringList &arguments = stations[size_t(s)].arguments;
        arguments = record.isEmpty() ? QStringList{"batch", planFile, "--log", logFile, "--no-prompt"}
                                     : QStringList{"batch", "--record", record, "--line", line, "--station",
                                                   QStringLiteral("%1-%2").arg(line).arg(s + 1), "--no-prompt"};
        for (int i = 0; i < portCount; ++i) {
            devices.push_back(std::make_unique<PtyDevice>(options));
            if (!devices.back()->open())
                return 2;
            arguments << "--port" << devices.back()->slavePath();
        }
    }
    // Which row a device holds: 0 none, -1 values no row has.
    const auto rowHeld = [&](const PtyDevice &device) {
        const Protocol::ParameterBlock held = device.model().parameters();
        if (held == DeviceModel::startParameters())
            return 0;
        for (const Batch::PlanRow &row : parsed.rows) {
            if (row.values.appliedTo(DeviceModel::startParameters()) == held)
                return row.number;
        }
        return -1;
    };
    // Devices hold rows their ports were given; returns how many do not.
    const auto unrecorded = [&] {
        const std::vector<Attempt> attempts = readRecord();
        int count = 0;
        for (const auto &device : devices) {
            const int row = rowHeld(*device);
            const bool given = std::any_of(attempts.begin(), attempts.end(), [&](const Attempt &attempt) {
                return attempt.row == row && attempt.port == device->slavePath();
            });
            count += row != 0 && !given;
        }
        return count;
    };

    QElapsedTimer clock;
    clock.start();
    int killed = 0, runs = 0, violations = 0, readAgain = 0, refusedOpens = 0;
    const auto allDone = [&] {
        return std::all_of(stations.begin(), stations.end(), [](const Station &station) { return station.done; });
    };
    while (!allDone()) {
        for (Station &station : stations) {
            if (!station.done && !station.running()) {
                station.start();
                ++runs;
            }
        }
        if (killed < kills) {
            wait(int(random.bounded(400)));
            Station &victim = stations[size_t(random.bounded(stationCount))];
            if (victim.running()) {
                ::kill(pid_t(victim.process->processId()), SIGKILL);
                ++killed;
            }
        } else {
            wait(20);
        }
        for (Station &station : stations) {
            if (!station.process || station.done)
                continue;
            if (killed >= kills) {
                while (station.running())
                    wait(5);
            } else if (station.running()) {
                continue;
            }
            station.process->waitForFinished();
            readAgain += int(station.err.count("when the last run stopped: reading its device"));
            if (station.process->exitStatus() == QProcess::CrashExit) {
                violations += unrecorded();
                station.process.reset();
                continue;
            }
            const int exitCode = station.process->exitCode();
            station.process.reset();
            if (exitCode == 3 && ++refusedOpens <= 20) {
                // A port whose last user was killed may still look locked for a moment.
                print(QStringLiteral("run %1: %2").arg(runs).arg(QString::fromLocal8Bit(station.err).trimmed()));
                wait(200);
                continue;
            }
            if (exitCode != 0) {
                print(QStringLiteral("velmora-cli batch exited with %1:\n%2").arg(exitCode).arg(QString::fromLocal8Bit(station.err)));
                return 1;
            }
            // A station that found nothing more to do while another was
            // killed holding rows leaves them to that one.
            station.done = true;
        }
    }
    // A station done before the last kills may have left rows behind: once
    // more each, with nobody killed, and every station ends by itself.
    for (Station &station : stations) {
        station.start();
        ++runs;
    }
    for (Station &station : stations) {
        while (station.running())
            wait(5);
        if (station.process->exitCode() != 0) {
            print(QStringLiteral("velmora-cli batch exited with %1:\n%2")
                      .arg(station.process->exitCode()).arg(QString::fromLocal8Bit(station.err)));
            return 1;
        }
    }

    // Every row ok once; each device holds its port's last ok row.
    const std::vector<Attempt> attempts = readRecord();
    QMap<int, int> ok;
    QMap<QString, int> lastOk;
    for (const Attempt &attempt : attempts) {
        if (attempt.result == QLatin1String("ok")) {
            ++ok[attempt.row];
            lastOk[attempt.port] = attempt.row;
        }
    }
    int okTwice = 0, neverOk = 0, wrongHeld = 0;
    for (int row = 1; row <= rows; ++row) {
        okTwice += ok.value(row) > 1;
        neverOk += ok.value(row) == 0;
    }
    for (const auto &device : devices)
        wrongHeld += rowHeld(*device) != lastOk.value(device->slavePath());

    print(QStringLiteral("%1 kills over %2 runs of %3 station%4 in %5 s; %6 rows on %7 ports, %8 attempts recorded")
              .arg(killed).arg(runs).arg(stationCount).arg(stationCount == 1 ? "" : "s")
              .arg(double(clock.elapsed()) / 1000, 0, 'f', 1).arg(rows).arg(devices.size()).arg(attempts.size()));
    print(QStringLiteral("after a kill, a device held a row its port has no attempt for: %1 times").arg(violations));
    print(QStringLiteral("devices read again on resume: %1").arg(readAgain));
    print(QStringLiteral("at the end: %1 rows ok twice, %2 never ok, %3 devices not holding their port's last ok row")
              .arg(okTwice).arg(neverOk).arg(wrongHeld));
    return violations + okTwice + neverOk + wrongHeld == 0 ? 0 : 1;
}
