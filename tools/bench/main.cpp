// velmora-timing: how long set-all --verify takes (READ, SET ALL, READ: 109
// bytes on the line), beside the time the line itself needs at 115200 baud.
//
//  1. in this process, through DeviceSession as velmora-cli uses it, against
//     the simulated device with and without --baud 115200 pacing;
//  2. whole velmora-cli calls, process start included, against a
//     velmora-sim --baud 115200.
//
// Also how far apart the pieces of a paced reply arrive, which bounds the
// quiet gap that ends a refusal. The READ whose answer set-all writes back
// has that gap of quiet before it and after it, so the goals allow 2 gaps.
#include "client/devicesession.h"
#include "device/ptydevice.h"
#include "link/wiretrace.h"
#include "pacedsimulator.h"
#include "stats.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <functional>

namespace {

// READ (5 + 31 bytes), SET ALL (36 + 1), READ (5 + 31).
constexpr int CycleBytes = 109;

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString figures(const Timings &timings, double wire)
{
    return QStringLiteral("median %1 ms (%2x wire), p99 %3 ms, max %4 ms")
        .arg(timings.median(), 0, 'f', 2)
        .arg(timings.median() / wire, 0, 'f', 2)
        .arg(timings.p99(), 0, 'f', 2)
        .arg(timings.max(), 0, 'f', 2);
}

Client::ValueSet serialNumber(int sn)
{
    Client::ValueSet values;
    QString error;
    Client::parseAssignments({QStringLiteral("sn=%1").arg(sn % 250)}, Client::Writer::SetAll, &values, &error);
    return values;
}

// cycles set-all --verify in this process; each one writes another SN.
Timings inProcess(int baud, int cycles, WireTrace *trace)
{
    DeviceOptions options;
    options.baud = baud;
    PtyDevice device(options);
    Client::DeviceSession session;
    session.line().setTrace(trace);
    if (!device.open() || !session.line().open(device.slavePath())) {
        print(QStringLiteral("cannot open the simulated device"));
        return {};
    }
    Timings timings;
    QElapsedTimer clock;
    std::function<void(int)> cycle = [&](int n) {
        if (n == cycles) {
            QCoreApplication::quit();
            return;
        }
        clock.start();
        session.setAll(serialNumber(n), true, [&, n](const Client::OperationResult &result) {
            timings.ms.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (result.status != Client::OperationResult::Done)
                print(QStringLiteral("cycle %1: %2").arg(n).arg(result.error));
            cycle(n + 1);
        });
    };
    cycle(0);
    QCoreApplication::exec();
    return timings;
}

// Gaps between two reads of the same reply in a --trace log.
Timings replyGaps(const QByteArray &log)
{
    Timings gaps;
    double last = -1;
    for (const QByteArray &line : log.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2)
            continue;
        const double at = fields[0].toDouble();
        if (fields[1] == "RX" && last >= 0)
            gaps.ms.push_back(at - last);
        last = fields[1] == "RX" ? at : -1;
    }
    return gaps;
}

// calls whole velmora-cli set-all --verify against a velmora-sim --baud 115200.
Timings wholeCalls(int calls)
{
    const QString bin = QCoreApplication::applicationDirPath();
    QString path;
    const std::unique_ptr<QProcess> sim = startPacedSimulator(&path);
    if (!sim) {
        print(QStringLiteral("velmora-sim did not start"));
        return {};
    }
    Timings timings;
    for (int n = 0; n < calls; ++n) {
        QProcess cli;
        QElapsedTimer clock;
        clock.start();
        cli.start(bin + QStringLiteral("/velmora-cli"),
                  {QStringLiteral("--port"), path, QStringLiteral("set-all"), QStringLiteral("--verify"),
                   QStringLiteral("sn=%1").arg(n % 250)});
        cli.waitForFinished(10000);
        timings.ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (cli.exitCode() != 0)
            print(QStringLiteral("call %1: exit %2: %3").arg(n).arg(cli.exitCode())
                      .arg(QString::fromLocal8Bit(cli.readAllStandardError()).trimmed()));
    }
    sim->terminate();
    sim->waitForFinished(5000);
    return timings;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times set-all --verify against the simulated device."));
    parser.addHelpOption();
    const QCommandLineOption cyclesOption(QStringLiteral("cycles"), QStringLiteral("In-process cycles (default 500)."),
                                          QStringLiteral("N"), QStringLiteral("500"));
    const QCommandLineOption callsOption(QStringLiteral("calls"), QStringLiteral("Whole velmora-cli calls (default 50)."),
                                         QStringLiteral("N"), QStringLiteral("50"));
    parser.addOptions({cyclesOption, callsOption});
    parser.process(app);
    const int cycles = qMax(1, parser.value(cyclesOption).toInt());
    const int calls = qMax(1, parser.value(callsOption).toInt());

    const double wire = wireMs(CycleBytes);
    const int quiet = 2 * int(Client::ReplyAssembler::QuietGapMs);
    print(QStringLiteral("set-all --verify: %1 bytes, %2 ms on the line at 115200 baud").arg(CycleBytes).arg(wire, 0, 'f', 2));
    print(QStringLiteral("in process, %1 cycles, device unpaced:   %2 (goal: median under %3 ms)")
              .arg(cycles).arg(figures(inProcess(0, cycles, nullptr), wire)).arg(5 + quiet));
    print(QStringLiteral("in process, %1 cycles, device --baud 115200: %2 (goal: median within 1.3x wire + %3, %4 ms)")
              .arg(cycles).arg(figures(inProcess(115200, cycles, nullptr), wire)).arg(quiet)
              .arg(1.3 * wire + quiet, 0, 'f', 2));

    QBuffer log;
    log.open(QIODevice::WriteOnly);
    WireTrace trace(&log);
    inProcess(115200, cycles, &trace);
    const Timings gaps = replyGaps(log.data());
    print(QStringLiteral("pieces of one paced reply, %1 gaps: median %2 ms, p99 %3 ms, max %4 ms")
              .arg(gaps.ms.size()).arg(gaps.median(), 0, 'f', 2).arg(gaps.p99(), 0, 'f', 2).arg(gaps.max(), 0, 'f', 2));

    const Timings whole = wholeCalls(calls);
    print(QStringLiteral("whole velmora-cli calls, %1, velmora-sim --baud 115200: %2; median %3 ms over wire (goal: under %4)")
              .arg(calls).arg(figures(whole, wire)).arg(whole.median() - wire, 0, 'f', 2).arg(50 + quiet));
    return 0;
}
