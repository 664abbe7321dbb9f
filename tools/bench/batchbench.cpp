// velmora-batch-bench: how fast velmora-cli batch provisions devices, on one
// port and on several at once. Each port is a velmora-sim --baud 115200
// process of its own; the batch runs with --no-prompt and logs to a
// temporary folder on the disk.
//
// Per device the line carries READ (5 + 31 bytes), SET ALL (36 + 1) and
// READ (5 + 31): 109 bytes, 9.46 ms at 115200 baud. The first READ's answer
// is written back, so the line is quiet for 20 ms before it and after it.
#include "batch/csv.h"
#include "batch/plangenerator.h"
#include "client/replyassembler.h"
#include "pacedsimulator.h"
#include "stats.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int DeviceBytes = 109;

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

struct Figures
{
    double devicesPerSecond = 0;  // first record to last
    double wallMs = 0;            // the whole velmora-cli call
    Timings provisioning;         // first frame to verdict, as the progress lines say
    Timings perDevice;            // from one record of a port to its next
    int ok = 0;
};

Figures runBatch(const QString &bin, const QString &folder, int lanes)
{
    Figures figures;
    std::vector<std::unique_ptr<QProcess>> devices;
    QStringList arguments = {QStringLiteral("batch"), folder + QStringLiteral("/plan.csv"), QStringLiteral("--log"),
                             folder + QStringLiteral("/log-%1.csv").arg(lanes), QStringLiteral("--no-prompt")};
    for (int i = 0; i < lanes; ++i) {
        QString path;
        devices.push_back(startPacedSimulator(&path));
        if (!devices.back()) {
            print(QStringLiteral("velmora-sim did not start"));
            return figures;
        }
        arguments << QStringLiteral("--port") << path;
    }

    QProcess batch;
    QElapsedTimer clock;
    clock.start();
    batch.start(bin + QStringLiteral("/velmora-cli"), arguments);
    batch.waitForFinished(600000);
    figures.wallMs = double(clock.nsecsElapsed()) / 1e6;
    if (batch.exitCode() != 0)
        print(QStringLiteral("velmora-cli exit %1").arg(batch.exitCode()));
    for (const auto &device : devices) {
        device->terminate();
        device->waitForFinished(5000);
    }

    static const QRegularExpression progress(QStringLiteral("^\\[\\d+/\\d+\\] row .* on .*: ok (\\d+) ms$"),
                                             QRegularExpression::MultilineOption);
    const QString err = QString::fromLocal8Bit(batch.readAllStandardError());
    for (auto match = progress.globalMatch(err); match.hasNext();)
        figures.provisioning.ms.push_back(match.next().captured(1).toDouble());
    figures.ok = int(figures.provisioning.ms.size());

    QFile log(folder + QStringLiteral("/log-%1.csv").arg(lanes));
    if (!log.open(QIODevice::ReadOnly))
        return figures;
    const Batch::CsvTable table = Batch::readCsv(log.readAll());
    QMap<QString, qint64> lastOnLine;
    qint64 first = -1;
    qint64 last = -1;
    for (size_t r = 1; r < table.records.size(); ++r) {
        const auto &fields = table.records[r].fields;
        const qint64 at = QDateTime::fromString(fields[0].text, Qt::ISODateWithMs).toMSecsSinceEpoch();
        const QString line = fields[3].text;
        if (lastOnLine.contains(line))
            figures.perDevice.ms.push_back(double(at - lastOnLine.value(line)));
        lastOnLine.insert(line, at);
        first = first < 0 ? at : qMin(first, at);
        last = qMax(last, at);
    }
    if (last > first)
        figures.devicesPerSecond = double(table.records.size() - 2) * 1000.0 / double(last - first);
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times velmora-cli batch on one port and on several."));
    parser.addHelpOption();
    const QCommandLineOption rowsOption(QStringLiteral("rows"), QStringLiteral("Rows of the plan (default 200)."),
                                        QStringLiteral("N"), QStringLiteral("200"));
    const QCommandLineOption lanesOption(QStringLiteral("lanes"), QStringLiteral("Ports of the second run (default 4)."),
                                         QStringLiteral("N"), QStringLiteral("4"));
    parser.addOptions({rowsOption, lanesOption});
    parser.process(app);
    const int rows = qBound(2, parser.value(rowsOption).toInt(), 250);
    const int lanes = qBound(2, parser.value(lanesOption).toInt(), 16);

    QTemporaryDir folder;
    QString csv;
    QString error;
    if (!Batch::generatePlan({QStringLiteral("id=D-001"), QStringLiteral("lip=10.1.0.1"), QStringLiteral("mask=255.255.0.0"),
                              QStringLiteral("sn=0"), QStringLiteral("mac=02:00:00:00:00:01")},
                             {QStringLiteral("mask")}, rows, &csv, &error)) {
        print(error);
        return 1;
    }
    QFile plan(folder.filePath(QStringLiteral("plan.csv")));
    if (!plan.open(QIODevice::WriteOnly) || plan.write(csv.toUtf8()) != csv.toUtf8().size()) {
        print(QStringLiteral("cannot write the plan"));
        return 1;
    }
    plan.close();

    const double wire = wireMs(DeviceBytes);
    print(QStringLiteral("batch of %1 rows, --no-prompt, a velmora-sim --baud 115200 per port; "
                         "%2 bytes a device, %3 ms on the line")
              .arg(rows).arg(DeviceBytes).arg(wire, 0, 'f', 2));
    const QString bin = QCoreApplication::applicationDirPath();
    double single = 0;
    for (int count : {1, lanes}) {
        const Figures figures = runBatch(bin, folder.path(), count);
        print(QStringLiteral("%1 port(s): %2 of %3 ok in %4 ms (process included); %5 devices/s; per device on a "
                             "port: median %6 ms (%7x wire), p99 %8 ms; provisioning alone: median %9 ms")
                  .arg(count).arg(figures.ok).arg(rows).arg(figures.wallMs, 0, 'f', 0)
                  .arg(figures.devicesPerSecond, 0, 'f', 1)
                  .arg(figures.perDevice.median(), 0, 'f', 1)
                  .arg(figures.perDevice.median() / wire, 0, 'f', 2)
                  .arg(figures.perDevice.p99(), 0, 'f', 1)
                  .arg(figures.provisioning.median(), 0, 'f', 1));
        if (count == 1)
            single = figures.devicesPerSecond;
        else
            print(QStringLiteral("%1 ports give %2x the throughput of one (goal: at least 3.5x with 4); one port: "
                                 "goal within 1.3x wire plus the two quiet gaps of the READ written back "
                                 "(%3 ms) a device")
                      .arg(count).arg(single > 0 ? figures.devicesPerSecond / single : 0, 0, 'f', 2)
                      .arg(1.3 * wire + 2 * Client::ReplyAssembler::QuietGapMs, 0, 'f', 2));
    }
    return 0;
}
