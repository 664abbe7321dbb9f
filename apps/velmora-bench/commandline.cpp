#include "commandline.h"

#include "shell/exitstatus.h"

#include <QCommandLineParser>

namespace {

constexpr int MaxSimulated = 64;

BenchCommandLine failure(const QString &message)
{
    BenchCommandLine result;
    result.exit = true;
    result.exitCode = Exit::UsageError;
    result.output = message;
    return result;
}

} // namespace

BenchCommandLine parseBenchCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Provisions a batch of devices from a window: the rows of a plan (CSV, as velmora-cli batch reads it) "
        "written to the devices on one or more ports, each verified by reading it back and recorded in the log "
        "velmora-cli batch writes, so that either can resume the other's run. Or the rows of a line of a record "
        "several benches share (--record, --line): this bench is one station of the line.\n\n"
        "With --quit-when-done the exit status is that of velmora-cli batch: 0 every row ok or skipped, 1 any "
        "other result, 2 a plan, log or line that cannot be used, 3 a port or record that cannot be reached."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PLAN.csv"), QStringLiteral("The plan to open."), QStringLiteral("[PLAN.csv]"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("The record, appended to; rows it has as ok are not provisioned again "
                                                "(default PLAN.log.csv beside the plan)."),
                                 QStringLiteral("LOG.csv"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("A lane: COMn, or a device path (/dev/ttyUSB0, /dev/serial/by-id/...). "
                                                 "Give it once per port."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("N simulated devices, a lane each, to try the bench without hardware."),
                                      QStringLiteral("N"));
    const QCommandLineOption autoWait(QStringLiteral("auto"),
                                      QStringLiteral("After each device wait until the port's device is unplugged and "
                                                     "another one answers."));
    const QCommandLineOption noPrompt(QStringLiteral("no-prompt"),
                                      QStringLiteral("Take the next row at once (a fixture changes devices)."));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Start the run at once."));
    const QCommandLineOption quit(QStringLiteral("quit-when-done"),
                                  QStringLiteral("Close when the run ends, with the exit status of velmora-cli batch."));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("A record several benches share (a PostgreSQL URI or key=value string; "
                                                   "its password from ~/.pgpass, PGPASSFILE or PGPASSWORD, never here)."),
                                    QStringLiteral("URL"));
    const QCommandLineOption line(QStringLiteral("line"), QStringLiteral("The line of the record to provision, in place of a plan."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption station(QStringLiteral("station"),
                                     QStringLiteral("This bench's name among the line's stations (default: the host name)."),
                                     QStringLiteral("NAME"));
    const QCommandLineOption recordWait(
        QStringLiteral("record-wait"),
        QStringLiteral("--record: how long to wait for the record to be reachable at the start (default 0: exit 3 at "
                       "once); once running, the bench waits for it however long it takes."),
        QStringLiteral("SECONDS"));
    parser.addOptions({log, port, simulate, autoWait, noPrompt, start, quit, record, line, station, recordWait});

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    BenchCommandLine result;
    if (parser.isSet(help) || parser.isSet(version)) {
        result.exit = true;
        // Parsed before the window's application exists, which would name the program.
        result.output = parser.isSet(help)
                            ? parser.helpText().replace(QLatin1String("<executable_name>"), QStringLiteral("velmora-bench"))
                            : QStringLiteral("velmora-bench %1\n").arg(QStringLiteral(VELMORA_VERSION));
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return failure(QStringLiteral("one plan at a time: %1").arg(positional.at(1)));
    if (parser.isSet(autoWait) && parser.isSet(noPrompt))
        return failure(QStringLiteral("--auto or --no-prompt, not both"));
    BenchOptions &options = result.options;
    options.planFile = positional.value(0);
    options.logFile = parser.value(log);
    if (parser.isSet(record)) {
        if (!options.planFile.isEmpty() || parser.isSet(log))
            return failure(QStringLiteral("--record: a line's plan and record are the record's, not a PLAN.csv or --log"));
        if (!parser.isSet(line))
            return failure(QStringLiteral("--record needs --line NAME"));
        const auto given = parser.isSet(station) ? std::optional(parser.value(station)) : std::nullopt;
        Line::StationPlace place;
        QString error;
        if (!Line::checkStationPlace(parser.value(record), parser.value(line), given, &place, &error))
            return failure(error);
        options.line = place;
        if (parser.isSet(recordWait)) {
            bool number = false;
            options.recordWaitSeconds = parser.value(recordWait).toInt(&number);
            if (!number || options.recordWaitSeconds < 0 || options.recordWaitSeconds > Line::MaxRecordWaitSeconds)
                return failure(QStringLiteral("--record-wait %1: expected seconds from 0 to %2")
                                   .arg(parser.value(recordWait)).arg(Line::MaxRecordWaitSeconds));
        }
    } else if (parser.isSet(line) || parser.isSet(station) || parser.isSet(recordWait)) {
        return failure(QStringLiteral("--line, --station and --record-wait need --record URL"));
    }
    if (!options.logFile.isEmpty() && options.planFile.isEmpty())
        return failure(QStringLiteral("--log needs a PLAN.csv"));
    if ((parser.isSet(start) || parser.isSet(quit)) && options.planFile.isEmpty() && !options.line)
        return failure(QStringLiteral("--start and --quit-when-done need a PLAN.csv or a --line"));
    options.ports = parser.values(port);
    if (parser.isSet(simulate)) {
        bool ok = false;
        options.simulate = parser.value(simulate).toInt(&ok);
        if (!ok || options.simulate < 1 || options.simulate > MaxSimulated)
            return failure(QStringLiteral("--simulate %1: expected a number of devices from 1 to %2")
                               .arg(parser.value(simulate)).arg(MaxSimulated));
    }
    options.waitingGiven = parser.isSet(autoWait) || parser.isSet(noPrompt);
    options.waiting = parser.isSet(autoWait)   ? Batch::Waiting::Auto
                      : parser.isSet(noPrompt) ? Batch::Waiting::None
                                               : Batch::Waiting::Prompt;
    options.start = parser.isSet(start);
    options.quitWhenDone = parser.isSet(quit);
    return result;
}
