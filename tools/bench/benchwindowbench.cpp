// velmora-bench-timing: whether the bench window slows the engine, and how
// it copes with a large plan (./build.sh bench).
//
//  1. devices a second of velmora-bench and of velmora-cli batch, as
//     processes, on the same plan and the same velmora-sim --baud 115200
//     processes, one per lane, taken in turns in one run;
//  2. a plan of 10,000 rows opened, checked and shown in this process: the
//     time until it is painted, and the heap it adds;
//  3. the longest stall of this process's event loop while that plan is
//     scrolled a page at a time and a run over simulated lanes updates rows;
//  4. the report of a run of 20,000 rows exported (PDF and CSV), and how
//     many of its rows pdftotext gives back.
#include "batch/batchlog.h"
#include "batch/csv.h"
#include "batch/plangenerator.h"
#include "device/devicemodel.h"
#include "bench/benchwindow.h"
#include "bench/lanepanel.h"
#include "bench/plantable.h"
#include "device/ptydevice.h"
#include "heapusage.h"
#include "pacedsimulator.h"
#include "stats.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

// CPU time, which a loaded machine does not stretch as it stretches the wall clock.
double cpuMs(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}


void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// An sn a row up to 250 rows; a larger plan goes without (sn stops at 249).
bool writePlan(const QString &fileName, int rows)
{
    QString csv;
    QString error;
    QStringList first = {QStringLiteral("id=D-00001"), QStringLiteral("lip=10.1.0.1"), QStringLiteral("mask=255.255.0.0"),
                         QStringLiteral("gateway=10.1.0.254"), QStringLiteral("mac=02:00:00:00:00:01")};
    if (rows <= 250)
        first << QStringLiteral("sn=0");
    if (!Batch::generatePlan(first, {QStringLiteral("mask"), QStringLiteral("gateway")}, rows, &csv, &error)) {
        print(error);
        return false;
    }
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(csv.toUtf8()) > 0;
}

// Devices a second from a log: its result lines, the first to the last.
double devicesPerSecond(const QString &logFile, int *ok)
{
    QFile log(logFile);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    const Batch::CsvTable table = Batch::readCsv(log.readAll());
    qint64 first = -1;
    qint64 last = -1;
    int results = 0;
    *ok = 0;
    for (size_t r = 1; r < table.records.size(); ++r) {
        const auto &fields = table.records[r].fields;
        if (fields.size() < 5 || fields[4].text == QLatin1String("writing"))
            continue;
        ++results;
        *ok += fields[4].text == QLatin1String("ok");
        const qint64 at = QDateTime::fromString(fields[0].text, Qt::ISODateWithMs).toMSecsSinceEpoch();
        first = first < 0 ? at : qMin(first, at);
        last = qMax(last, at);
    }
    return last > first ? double(results - 1) * 1000.0 / double(last - first) : 0;
}

// One program's run over the lanes; its devices a second.
double timedRun(const QString &program, QStringList arguments, const QStringList &ports, const QString &logFile,
                int *ok)
{
    QFile::remove(logFile);
    for (const QString &port : ports)
        arguments << QStringLiteral("--port") << port;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(600000);
    return devicesPerSecond(logFile, ok);
}

void throughput(const QString &folder, int lanes, int rows, int rounds)
{
    const QString plan = folder + QStringLiteral("/plan.csv");
    if (!writePlan(plan, rows))
        return;
    std::vector<std::unique_ptr<QProcess>> simulators;
    QStringList ports;
    for (int i = 0; i < lanes; ++i) {
        QString path;
        simulators.push_back(startPacedSimulator(&path));
        if (!simulators.back()) {
            print(QStringLiteral("velmora-sim did not start"));
            return;
        }
        ports << path;
    }
    const QString bin = QCoreApplication::applicationDirPath();
    const QString log = folder + QStringLiteral("/log.csv");
    Timings cli;
    Timings bench;
    // In turns, each first every other round: the machine's load changes over a run.
    const QStringList cliArguments = {QStringLiteral("batch"), plan, QStringLiteral("--log"), log, QStringLiteral("--no-prompt")};
    const QStringList benchArguments = {plan, QStringLiteral("--log"), log, QStringLiteral("--no-prompt"),
                                        QStringLiteral("--start"), QStringLiteral("--quit-when-done")};
    for (int round = 0; round < rounds; ++round) {
        int cliOk = 0;
        int benchOk = 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + round) % 2 == 0)
                cli.ms.push_back(timedRun(bin + QStringLiteral("/velmora-cli"), cliArguments, ports, log, &cliOk));
            else
                bench.ms.push_back(timedRun(bin + QStringLiteral("/velmora-bench"), benchArguments, ports, log, &benchOk));
        }
        print(QStringLiteral("round %1: velmora-cli batch %2 devices/s (%3 of %4 ok), velmora-bench %5 devices/s (%6 ok)")
                  .arg(round + 1).arg(cli.ms.back(), 0, 'f', 1).arg(cliOk).arg(rows)
                  .arg(bench.ms.back(), 0, 'f', 1).arg(benchOk));
    }
    for (const auto &simulator : simulators) {
        simulator->terminate();
        simulator->waitForFinished(5000);
    }
    const double ratio = cli.median() > 0 ? bench.median() / cli.median() : 0;
    print(QStringLiteral("%1 lanes, %2 rows, median of %3 rounds: velmora-bench %4 devices/s, velmora-cli batch %5: "
                         "%6 % of it (goal: within 5 %)")
              .arg(lanes).arg(rows).arg(rounds).arg(bench.median(), 0, 'f', 1).arg(cli.median(), 0, 'f', 1)
              .arg(ratio * 100, 0, 'f', 1));
}

void largePlan(const QString &folder, int rows, int lanes, int seconds)
{
    const QString plan = folder + QStringLiteral("/large.csv");
    if (!writePlan(plan, rows))
        return;
    Bench::BenchWindow window;
    window.resize(1200, 800);
    window.show();
    QCoreApplication::processEvents();
    // The window's parts, as accessibility tools find them.
    auto *planView = window.findChild<QTableView *>(QStringLiteral("planView"));
    auto *planTable = window.findChild<Bench::PlanTable *>(QStringLiteral("planTable"));
    auto *lanePanel = window.findChild<Bench::LanePanel *>(QStringLiteral("lanePanel"));

    const qint64 heapBefore = heapInUse();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuMs();
    QString error;
    window.openPlan(plan, &error);
    planView->viewport()->repaint();
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    const double openCpuMs = cpuMs() - cpuBefore;
    const double addedMiB = double(heapInUse() - heapBefore) / (1024.0 * 1024.0);
    print(QStringLiteral("%1 rows: opened, checked and painted in %2 ms (%5 ms of CPU; goal: under 300), heap +%3 MiB "
                         "(goal: under 30)%4")
              .arg(rows).arg(openMs, 0, 'f', 1).arg(addedMiB, 0, 'f', 1)
              .arg(planTable->problems().isEmpty() ? QString()
                                                   : QStringLiteral("; %1 problems").arg(planTable->problems().size()))
              .arg(openCpuMs, 0, 'f', 1));

    // A run over in-process simulated lanes while the table scrolls.
    window.setWaiting(Batch::Waiting::None);
    for (int i = 0; i < lanes; ++i) {
        DeviceOptions options;
        options.baud = 115200;
        lanePanel->addSimulated(options, &error);
    }
    window.start();
    constexpr int TickMs = 2;
    QElapsedTimer sinceTick;
    sinceTick.start();
    double longest = 0;
    // The same in this thread's CPU time: the stall the program makes
    // itself, without the time other processes had the core.
    double longestCpu = 0;
    double tickCpu = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6 - TickMs);
        sinceTick.restart();
        const double now = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        longestCpu = std::max(longestCpu, now - tickCpu);
        tickCpu = now;
    });
    tick.start(TickMs);
    QScrollBar *scroll = planView->verticalScrollBar();
    QTimer scroller;
    QObject::connect(&scroller, &QTimer::timeout, [&] {
        scroll->setValue(scroll->value() + scroll->pageStep() >= scroll->maximum() ? 0 : scroll->value() + scroll->pageStep());
        planView->viewport()->repaint();  // painted now, as a screen would show it
    });
    scroller.start(16);
    QTimer::singleShot(seconds * 1000, [&] { window.stop(); });
    QEventLoop loop;
    QObject::connect(&window, &Bench::BenchWindow::runFinished, &loop, &QEventLoop::quit);
    loop.exec();
    const int done = planTable->counts().done();
    print(QStringLiteral("scrolling a page every 16 ms while %1 lanes provisioned %2 rows in %3 s: longest event-loop "
                         "stall %4 ms of CPU (goal: under 30), %5 ms of wall clock")
              .arg(lanes).arg(done).arg(seconds).arg(longestCpu, 0, 'f', 1).arg(longest, 0, 'f', 1));
}

// A log of every row done ok, as a run leaves it, then its report.
void reportExport(const QString &folder, int rows)
{
    const QString plan = folder + QStringLiteral("/report.csv");
    if (!writePlan(plan, rows))
        return;
    Bench::BenchWindow window;
    QString error;
    if (!window.openPlan(plan, &error)) {
        print(error);
        return;
    }
    const Bench::PlanTable *planTable = window.findChild<Bench::PlanTable *>(QStringLiteral("planTable"));
    {
        Batch::BatchLog log(planTable->plan());
        QStringList errors;
        QStringList warnings;
        if (!log.open(window.logFile(), &errors, &warnings)) {
            print(errors.join(QLatin1Char('\n')));
            return;
        }
        for (int row = 1; row <= rows; ++row) {
            Batch::Attempt attempt;
            attempt.row = row;
            attempt.port = QStringLiteral("/dev/ttyUSB%1").arg(row % 16);
            attempt.readBack = planTable->plan().row(row).values.appliedTo(DeviceModel::startParameters());
            log.append(attempt);
        }
    }
    window.setOperatorName(QStringLiteral("velmora-bench-timing"));
    const QString pdf = folder + QStringLiteral("/report.pdf");
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuMs();
    if (!window.writeReport(pdf, &error)) {
        print(error);
        return;
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    const double cpuSeconds = (cpuMs() - cpuBefore) / 1000.0;
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    text.waitForFinished(600000);
    QSet<QString> ids;
    static const QRegularExpression id(QStringLiteral("\\bD-\\d{5}\\b"));
    for (auto match = id.globalMatch(QString::fromUtf8(text.readAllStandardOutput())); match.hasNext();)
        ids.insert(match.next().captured());
    print(QStringLiteral("report of %1 rows: PDF and CSV written in %2 s (%3 s of CPU), %4 MiB; pdftotext gives back "
                         "%5 of %1 rows")
              .arg(rows).arg(seconds, 0, 'f', 2).arg(cpuSeconds, 0, 'f', 2)
              .arg(double(QFileInfo(pdf).size()) / (1024.0 * 1024.0), 0, 'f', 1).arg(ids.size()));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times velmora-bench beside velmora-cli batch, and on a large plan."));
    parser.addHelpOption();
    const QCommandLineOption lanesOption(QStringLiteral("lanes"), QStringLiteral("Lanes (default 16)."), QStringLiteral("N"),
                                         QStringLiteral("16"));
    const QCommandLineOption rowsOption(QStringLiteral("rows"), QStringLiteral("Rows of the timed plan (default 250)."),
                                        QStringLiteral("N"), QStringLiteral("250"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Runs of each program (default 3)."),
                                          QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption reportOnly(QStringLiteral("report-only"), QStringLiteral("Only the report's export."));
    parser.addOptions({lanesOption, rowsOption, roundsOption, reportOnly});
    parser.process(app);
    const int lanes = qBound(1, parser.value(lanesOption).toInt(), 32);
    const int rows = qBound(2, parser.value(rowsOption).toInt(), 10000);
    const int rounds = qBound(1, parser.value(roundsOption).toInt(), 10);

    QTemporaryDir folder;
    if (!parser.isSet(reportOnly)) {
        throughput(folder.path(), lanes, rows, rounds);
        largePlan(folder.path(), 10000, lanes, 5);
    }
    reportExport(folder.path(), 20000);
    return 0;
}
