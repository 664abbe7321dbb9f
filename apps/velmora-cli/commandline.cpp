#include "commandline.h"

#include "batch/plangenerator.h"
#include "client/linetransport.h"
#include "client/profile.h"
#include "line/lineload.h"
#include "line/names.h"
#include "line/recordaddress.h"
#include "line/stationplace.h"
#include "link/portmap.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

using Client::Writer;

namespace {

// What is wrong with a command line, in its reader's language.
struct CommandLineText
{
    Q_DECLARE_TR_FUNCTIONS(Cli::CommandLine)
};

constexpr int MaxTimeoutMs = 3600 * 1000;
constexpr int MaxRetries = 100;
constexpr int MaxPortWaitSeconds = 24 * 3600;

// In the order of Request::Command.
const QStringList Commands = {QStringLiteral("read"),  QStringLiteral("set"),   QStringLiteral("set-all"),
                              QStringLiteral("reset"), QStringLiteral("plan"),  QStringLiteral("batch"),
                              QStringLiteral("ports"), QStringLiteral("scan"),  QStringLiteral("line")};
// In the order of Request::LineCommand.
const QStringList LineCommands = {QStringLiteral("init"), QStringLiteral("load"), QStringLiteral("status"),
                                  QStringLiteral("export"), QStringLiteral("resolve")};

QString description()
{
    return QStringLiteral(
               "Reads and writes the network parameters of a device over a serial line.\n"
               "\n"
               "Commands:\n"
               "  read [--json | --profile]   print the device's settings\n"
               "  set KEY=VALUE...            write values one command each, in the order given\n"
               "  set-all [KEY=VALUE...] [--profile FILE]\n"
               "                              read the device, put the values (the profile's, then\n"
               "                              the arguments') over what it holds, write it all at once\n"
               "  reset                       restart the device\n"
               "  plan --count N [--fixed KEY,...] KEY=VALUE...\n"
               "                              print a CSV plan of N devices: the values given are\n"
               "                              the first row's and count up by one a row, an id too\n"
               "  batch PLAN.csv --log LOG.csv [--port PORT]... [--auto | --no-prompt]\n"
               "                              give each row of the plan to a device (set-all,\n"
               "                              verified), on each port at once, and record each\n"
               "                              device in the log; run again, it resumes\n"
               "  ports [--json]              list the serial ports present, and who holds them\n"
               "  scan [--json] [--all] [--timeout MS]\n"
               "                              send READ to every USB serial adapter and mapped COM\n"
               "                              port at once (--all: every serial port), list which\n"
               "                              answered\n"
               "  batch --record URL --line NAME [--station NAME] [--port PORT]... [--auto | --no-prompt]\n"
               "                              the same for a line of a shared record, beside other\n"
               "                              stations: no row goes to two devices\n"
               "  line init --record URL      make the shared record (PostgreSQL), or bring it up to\n"
               "                              this version\n"
               "  line load PLAN.csv --record URL --line NAME [--allow-reuse KEY,...]\n"
               "                              check a plan as batch does and make it a line\n"
               "  line status --record URL [--line NAME] [--json] [--watch]\n"
               "                              rows by state, stations and lanes, pace, rows in doubt\n"
               "  line export --record URL --line NAME [--out LOG.csv]\n"
               "                              every attempt, as batch's log has it, with its station\n"
               "  line resolve ROW --as ok|free --record URL --line NAME\n"
               "                              settle a row in doubt once its device was checked\n"
               "\n"
               "URL: a libpq URI or key=value string; the password comes from ~/.pgpass,\n"
               "PGPASSFILE or PGPASSWORD, never from the command line.\n"
               "\n"
               "Keys: %1; set-all also takes %2.\n"
               "A profile has one \"key = value\" a line; read --profile writes one.\n"
               "\n"
               "Exit status: 0 done (and verified), 1 the device refused, 2 bad command line or\n"
               "value (nothing was sent), 3 the port cannot be opened or no answer, 4 --verify\n"
               "found a difference. batch: 0 every row ok or skipped, 1 any other result, 2 bad\n"
               "plan or log, 3 a port cannot be opened, 130, 143 or 129 after SIGINT, SIGTERM or\n"
               "SIGHUP. line, batch --record: 2 as well for a record that is not there, of a\n"
               "newer version, or that refuses the request, 3 when the record cannot be reached.")
        .arg(Client::keyList(Writer::SingleCommands), QStringLiteral("mode reserved"));
}

// The options; --profile is a flag for read and takes a FILE for set-all.
struct Parser
{
    explicit Parser(bool profileTakesFile)
    {
        parser.setApplicationDescription(description());
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(profileTakesFile ? profileFile : profileFlag);
        parser.addOptions({port, timeout, retries, trace, json, verify, count, fixed, log, autoWait, noPrompt,
                           portWait, allowDuplicates, allowOddAddresses, all, simulate, record, recordWait, line, station,
                           allowReuse, watch, out, as});
        parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("%1, %2 or %3")
                                         .arg(Commands.mid(0, Commands.size() - 2).join(QLatin1String(", ")),
                                              Commands.at(Commands.size() - 2), Commands.last()),
                                     QStringLiteral("COMMAND [ARGUMENTS...]"));
    }

    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information.")};
    const QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("The serial port: COM1 to COM20, as the window opens it, a device path "
                       "(/dev/ttyUSB0), or COMn=DEVICE to map COMn for this run. Default COM1. batch takes "
                       "several, one device on each at a time."),
        QStringLiteral("PORT")};
    const QCommandLineOption simulate{
        QStringLiteral("simulate"), QStringLiteral("Talk to a built-in simulated device on COM1.")};
    const QCommandLineOption timeout{
        QStringLiteral("timeout"),
        QStringLiteral("How long to wait for a whole reply (default %1).").arg(Client::LineTransport::DefaultTimeoutMs),
        QStringLiteral("MS")};
    const QCommandLineOption retries{
        QStringLiteral("retries"),
        QStringLiteral("How often to send a frame again that got no reply at all (default %1).")
            .arg(Client::LineTransport::DefaultRetries),
        QStringLiteral("N")};
    const QCommandLineOption trace{QStringLiteral("trace"),
                                   QStringLiteral("Print every frame sent (TX) and every read (RX) to stderr.")};
    const QCommandLineOption json{QStringLiteral("json"), QStringLiteral("read, ports, scan: print JSON.")};
    const QCommandLineOption profileFlag{QStringLiteral("profile"),
                                         QStringLiteral("read: print a profile; set-all --profile FILE: "
                                                        "write the values of a profile.")};
    const QCommandLineOption profileFile{QStringLiteral("profile"), profileFlag.description(),
                                         QStringLiteral("FILE")};
    const QCommandLineOption verify{QStringLiteral("verify"),
                                    QStringLiteral("set, set-all: read back and compare what was written.")};
    const QCommandLineOption count{QStringLiteral("count"), QStringLiteral("plan: how many rows."),
                                   QStringLiteral("N")};
    const QCommandLineOption fixed{QStringLiteral("fixed"),
                                   QStringLiteral("plan: keys whose value every row repeats (a mask, a gateway)."),
                                   QStringLiteral("KEY,...")};
    const QCommandLineOption log{QStringLiteral("log"),
                                 QStringLiteral("batch: the record, appended to; rows it has as ok are skipped."),
                                 QStringLiteral("LOG.csv")};
    const QCommandLineOption autoWait{QStringLiteral("auto"),
                                      QStringLiteral("batch: no keyboard; after each device wait until the port "
                                                     "stops answering, then until the next device answers.")};
    const QCommandLineOption noPrompt{QStringLiteral("no-prompt"),
                                      QStringLiteral("batch: take the next row at once (a fixture changes devices).")};
    const QCommandLineOption portWait{
        QStringLiteral("port-wait"),
        QStringLiteral("batch --no-prompt: how long a lane waits for a lost port to come back before it "
                       "leaves its rows to the others (default 30)."),
        QStringLiteral("SECONDS")};
    const QCommandLineOption all{QStringLiteral("all"),
                                 QStringLiteral("scan: every serial port, not only USB adapters and mapped ports.")};
    const QCommandLineOption allowDuplicates{
        QStringLiteral("allow-duplicates"), QStringLiteral("batch, line load: let rows share a lip, mac or sn.")};
    const QCommandLineOption record{
        QStringLiteral("record"),
        QStringLiteral("batch, line: the shared record, a PostgreSQL database: a libpq URI "
                       "(postgresql://station@db.example/velmora?sslmode=verify-full) or key=value string."),
        QStringLiteral("URL")};
    const QCommandLineOption recordWait{
        QStringLiteral("record-wait"),
        QStringLiteral("batch --record: how long to wait for the record to be reachable at the start (default 0: "
                       "exit 3 at once); once running, a station waits for it however long it takes."),
        QStringLiteral("SECONDS")};
    const QCommandLineOption line{QStringLiteral("line"), QStringLiteral("batch --record, line: the line."),
                                  QStringLiteral("NAME")};
    const QCommandLineOption station{QStringLiteral("station"),
                                     QStringLiteral("batch --record: this station's name (default: the host name)."),
                                     QStringLiteral("NAME")};
    const QCommandLineOption allowReuse{
        QStringLiteral("allow-reuse"),
        QStringLiteral("line load: let the plan give a lip, mac or sn that another line gives."),
        QStringLiteral("KEY,...")};
    const QCommandLineOption watch{QStringLiteral("watch"), QStringLiteral("line status: again and again, until Ctrl-C.")};
    const QCommandLineOption out{QStringLiteral("out"), QStringLiteral("line export: the file (default: stdout)."),
                                 QStringLiteral("LOG.csv")};
    const QCommandLineOption as{QStringLiteral("as"),
                                QStringLiteral("line resolve: ok (the device holds the row) or free (it does not)."),
                                QStringLiteral("ok|free")};
    const QCommandLineOption allowOddAddresses{
        QStringLiteral("allow-odd-addresses"),
        QStringLiteral("batch, line load: let a lip be its subnet's network or broadcast address, a gateway lie outside "
                       "the subnet, a mask have gaps.")};
};

CommandLine failure(const QString &message)
{
    CommandLine result;
    result.exit = true;
    result.exitCode = Exit::UsageError;
    result.output = message;
    return result;
}

bool parseCount(const QString &text, int minimum, int maximum, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= minimum && *value <= maximum;
}

bool readFile(const QString &fileName, QByteArray *bytes, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    return true;
}

// A --port as given: COMn, a device path, or COMn=DEVICE, which maps COMn for
// this run and is then COMn. Anything else is a mistake worth a usage error
// rather than "No such file or directory".
bool parsePort(const QString &text, QString *port, QMap<QString, QString> *mappings, QString *error)
{
    const QString forms = CommandLineText::tr("give COM%1 to COM%2, a device path (/dev/ttyUSB0) or COMn=DEVICE")
                              .arg(PortMap::FirstPort).arg(PortMap::LastPort);
    if (text.contains(QLatin1Char('='))) {
        QString com;
        QString device;
        if (!PortMap::parseMapping(text, &com, &device, error))
            return false;
        mappings->insert(com, device);
        *port = com;
        return true;
    }
    if (PortMap::portNumber(text) != 0 || text.contains(QLatin1Char('/')) || text.contains(QLatin1Char('\\'))) {
        *port = text;
        return true;
    }
    QString guess;
    if (PortMap::portNumber(text.toUpper()) != 0)
        guess = text.toUpper();
    else if (PortMap::devicePresent(QLatin1String("/dev/") + text))
        guess = QLatin1String("/dev/") + text;
    const bool listLike = text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive);
    *error = CommandLineText::tr("--port %1: %2; %3").arg(Client::shown(text),
                                                     listLike ? CommandLineText::tr("not a port of the list") : CommandLineText::tr("not a port name"),
                                                     forms);
    if (!guess.isEmpty())
        *error += CommandLineText::tr(" (%1?)").arg(guess);
    return false;
}

bool readProfile(const QString &fileName, Client::ValueSet *values, QString *error)
{
    QByteArray bytes;
    return readFile(fileName, &bytes, error) && Client::parseProfile(QString::fromUtf8(bytes), fileName, values, error);
}

CommandLine planCommand(const QCommandLineParser &parser, const Parser &options, const QStringList &assignments)
{
    int count = 0;
    if (!parser.isSet(options.count))
        return failure(CommandLineText::tr("plan needs --count N"));
    if (!parseCount(parser.value(options.count), 1, Batch::MaxGeneratedRows, &count))
        return failure(CommandLineText::tr("--count %1: expected a number from 1 to %2")
                           .arg(parser.value(options.count)).arg(Batch::MaxGeneratedRows));
    QStringList fixed;
    for (const QString &keys : parser.values(options.fixed))
        fixed << keys.split(QLatin1Char(','), Qt::SkipEmptyParts);
    CommandLine result;
    result.exit = true;
    QString error;
    if (!Batch::generatePlan(assignments, fixed, count, &result.output, &error))
        return failure(error);
    return result;
}

// The plan of batch or line load, read and checked; false with every error.
bool readPlanFile(const QCommandLineParser &parser, const Parser &options, Request *request, QString *error)
{
    request->checks.allowDuplicates = parser.isSet(options.allowDuplicates);
    request->checks.allowOddAddresses = parser.isSet(options.allowOddAddresses);
    QByteArray bytes;
    if (!readFile(request->planFile, &bytes, error))
        return false;
    QStringList errors;
    if (Batch::readPlan(bytes, request->planFile, request->checks, &request->plan, &errors))
        return true;
    *error = errors.join(QLatin1Char('\n'));
    return false;
}

CommandLine batchCommand(const QCommandLineParser &parser, const Parser &options, const QStringList &arguments,
                         CommandLine result)
{
    Request &request = result.request;
    const bool shared = parser.isSet(options.record);
    if (shared) {
        if (!arguments.isEmpty())
            return failure(CommandLineText::tr("batch --record takes its plan from the line: %1").arg(arguments.first()));
        if (parser.isSet(options.log))
            return failure(CommandLineText::tr("batch takes --log or --record, not both"));
        if (parser.isSet(options.allowDuplicates) || parser.isSet(options.allowOddAddresses))
            return failure(CommandLineText::tr("batch --record: the line was checked when it was loaded"));
        if (!parser.isSet(options.line))
            return failure(CommandLineText::tr("batch --record needs --line NAME"));
        QString error;
        const auto given = parser.isSet(options.station) ? std::optional(parser.value(options.station)) : std::nullopt;
        if (!Line::stationName(given, &request.station, &error))
            return failure(error);
        if (parser.isSet(options.recordWait)
            && !parseCount(parser.value(options.recordWait), 0, Line::MaxRecordWaitSeconds, &request.recordWaitSeconds))
            return failure(CommandLineText::tr("--record-wait %1: expected seconds from 0 to %2")
                               .arg(parser.value(options.recordWait)).arg(Line::MaxRecordWaitSeconds));
    } else {
        if (arguments.size() != 1)
            return failure(arguments.isEmpty() ? CommandLineText::tr("batch needs a PLAN.csv")
                                               : CommandLineText::tr("batch takes one plan: %1").arg(arguments.at(1)));
        if (!parser.isSet(options.log))
            return failure(CommandLineText::tr("batch needs --log LOG.csv, its record, or --record URL --line NAME"));
        if (parser.isSet(options.station) || parser.isSet(options.recordWait))
            return failure(CommandLineText::tr("--%1 goes with batch --record")
                               .arg(parser.isSet(options.station) ? QStringLiteral("station") : QStringLiteral("record-wait")));
        request.planFile = arguments.first();
        request.logFile = parser.value(options.log);
    }
    if (parser.isSet(options.autoWait) && parser.isSet(options.noPrompt))
        return failure(CommandLineText::tr("batch takes --auto or --no-prompt, not both"));
    if (parser.isSet(options.portWait)
        && !parseCount(parser.value(options.portWait), 0, MaxPortWaitSeconds, &request.portWaitSeconds))
        return failure(CommandLineText::tr("--port-wait %1: expected seconds from 0 to %2")
                           .arg(parser.value(options.portWait)).arg(MaxPortWaitSeconds));
    request.waiting = parser.isSet(options.autoWait)   ? Batch::Waiting::Auto
                      : parser.isSet(options.noPrompt) ? Batch::Waiting::None
                                                       : Batch::Waiting::Prompt;
    if (shared)
        return result;
    QString error;
    if (!readPlanFile(parser, options, &request, &error))
        return failure(error);
    return result;
}

CommandLine lineCommand(const QCommandLineParser &parser, const Parser &options, QStringList arguments,
                        CommandLine result)
{
    Request &request = result.request;
    if (arguments.isEmpty())
        return failure(CommandLineText::tr("line needs one of %1").arg(LineCommands.join(QLatin1Char(' '))));
    const QString command = arguments.takeFirst();
    if (!LineCommands.contains(command))
        return failure(CommandLineText::tr("unknown line command %1; they are %2").arg(command, LineCommands.join(QLatin1Char(' '))));
    request.lineCommand = Request::LineCommand(LineCommands.indexOf(command));
    const auto bit = [](Request::LineCommand c) { return 1 << c; };
    const struct
    {
        const QCommandLineOption &option;
        int commands;
    } belongings[] = {
        {options.line, bit(Request::LineLoad) | bit(Request::LineStatus) | bit(Request::LineExport) | bit(Request::LineResolve)},
        {options.allowReuse, bit(Request::LineLoad)},
        {options.allowDuplicates, bit(Request::LineLoad)},
        {options.allowOddAddresses, bit(Request::LineLoad)},
        {options.json, bit(Request::LineStatus)},
        {options.watch, bit(Request::LineStatus)},
        {options.out, bit(Request::LineExport)},
        {options.as, bit(Request::LineResolve)},
    };
    for (const auto &belonging : belongings) {
        if (parser.isSet(belonging.option) && !(belonging.commands & bit(request.lineCommand)))
            return failure(CommandLineText::tr("--%1 does not go with line %2").arg(belonging.option.names().first(), command));
    }
    for (const QCommandLineOption *other : {&options.profileFlag, &options.profileFile, &options.verify, &options.count,
                                            &options.fixed, &options.log, &options.autoWait, &options.noPrompt,
                                            &options.portWait, &options.all, &options.recordWait}) {
        if (parser.isSet(*other))
            return failure(CommandLineText::tr("--%1 does not go with line %2").arg(other->names().first(), command));
    }
    for (const QCommandLineOption *device : {&options.port, &options.timeout, &options.retries, &options.trace,
                                             &options.simulate, &options.station}) {
        if (parser.isSet(*device))
            return failure(CommandLineText::tr("line %1 talks to no device: --%2 does not go with it")
                               .arg(command, device->names().first()));
    }
    if (!parser.isSet(options.record))
        return failure(CommandLineText::tr("line %1 needs --record URL").arg(command));
    const bool needsLine = request.lineCommand != Request::LineInit && request.lineCommand != Request::LineStatus;
    if (needsLine && !parser.isSet(options.line))
        return failure(CommandLineText::tr("line %1 needs --line NAME").arg(command));
    QString error;
    if (parser.isSet(options.line) && !Line::checkName(request.lineName, QStringLiteral("--line"), &error))
        return failure(error);
    request.watch = parser.isSet(options.watch);
    request.format = parser.isSet(options.json) ? Request::Json : Request::Report;
    request.outFile = parser.value(options.out);
    switch (request.lineCommand) {
    case Request::LineLoad:
        if (arguments.size() != 1)
            return failure(arguments.isEmpty() ? CommandLineText::tr("line load needs a PLAN.csv")
                                               : CommandLineText::tr("line load takes one plan: %1").arg(arguments.at(1)));
        request.planFile = arguments.takeFirst();
        for (const QString &keys : parser.values(options.allowReuse)) {
            for (const QString &key : keys.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                if (!Line::identityKeys().contains(key))
                    return failure(CommandLineText::tr("--allow-reuse %1: the keys a device is known by are %2")
                                       .arg(Client::shown(key), Line::identityKeys().join(QLatin1Char(' '))));
                request.allowReuse << key;
            }
        }
        if (!readPlanFile(parser, options, &request, &error))
            return failure(error);
        return result;
    case Request::LineResolve: {
        bool number = false;
        request.resolveRow = arguments.value(0).toInt(&number);
        if (arguments.size() != 1 || !number || request.resolveRow < 1)
            return failure(CommandLineText::tr("line resolve needs the ROW, a number from 1"));
        const QString as = parser.value(options.as);
        if (as != QLatin1String("ok") && as != QLatin1String("free"))
            return failure(CommandLineText::tr("line resolve needs --as ok (the device holds the row) or --as free (it does not)"));
        request.resolveAsOk = as == QLatin1String("ok");
        return result;
    }
    default:
        if (!arguments.isEmpty())
            return failure(CommandLineText::tr("line %1 takes no arguments: %2").arg(command, arguments.first()));
        return result;
    }
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    // read --profile is a flag, set-all --profile names a FILE: parse both
    // ways and take the one that fits the command.
    Parser withFlag(false);
    Parser withFile(true);
    const bool flagParsed = withFlag.parser.parse(arguments);
    const bool fileParsed = withFile.parser.parse(arguments);
    const QString first = withFlag.parser.positionalArguments().value(0);
    const bool flagFits = flagParsed
                          && (!withFlag.parser.isSet(withFlag.profileFlag)
                              || (first != QLatin1String("set-all") && Commands.contains(first)));
    const Parser *parsed = flagFits ? &withFlag : fileParsed ? &withFile : nullptr;
    if (!parsed)
        return failure((flagParsed ? withFile : withFlag).parser.errorText());
    const QCommandLineParser &parser = parsed->parser;

    CommandLine result;
    if (parser.isSet(parsed->help) || parser.isSet(parsed->version)) {
        result.exit = true;
        result.output = parser.isSet(parsed->help)
                            ? parser.helpText().replace(QLatin1String("<executable_name>"),
                                                        QCoreApplication::applicationName())
                            : QCoreApplication::applicationName() + QLatin1Char(' ')
                                  + QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return failure(CommandLineText::tr("no command given; the commands are %1").arg(Commands.join(QLatin1Char(' '))));
    const QString command = positional.takeFirst();
    if (!Commands.contains(command))
        return failure(CommandLineText::tr("unknown command %1; the commands are %2")
                           .arg(command, Commands.join(QLatin1Char(' '))));

    Request &request = result.request;
    request.command = Request::Command(Commands.indexOf(command));
    request.verify = parser.isSet(parsed->verify);
    request.trace = parser.isSet(parsed->trace);
    request.simulate = parser.isSet(parsed->simulate);
    if (parser.isSet(parsed->port)) {
        if (request.simulate)
            return failure(CommandLineText::tr("--simulate connects COM1 to a simulated device: it does not go with --port"));
        request.ports.clear();  // batch: a lane each
        for (const QString &given : parser.values(parsed->port)) {
            QString port;
            QString error;
            if (!parsePort(given, &port, &request.mappings, &error))
                return failure(error);
            request.ports << port;
        }
        request.port = request.ports.last();  // others: the last one given
    }
    if (parser.isSet(parsed->timeout)
        && !parseCount(parser.value(parsed->timeout), 1, MaxTimeoutMs, &request.timeoutMs))
        return failure(CommandLineText::tr("--timeout %1: expected milliseconds from 1 to %2")
                           .arg(parser.value(parsed->timeout)).arg(MaxTimeoutMs));
    if (parser.isSet(parsed->retries)
        && !parseCount(parser.value(parsed->retries), 0, MaxRetries, &request.retries))
        return failure(CommandLineText::tr("--retries %1: expected a number from 0 to %2")
                           .arg(parser.value(parsed->retries)).arg(MaxRetries));

    if (parser.isSet(parsed->record)) {
        request.record = parser.value(parsed->record);
        Line::RecordAddress address;
        QString error;
        if (!address.parse(request.record, &error))
            return failure(error);
    }
    request.lineName = parser.value(parsed->line);
    if (request.command == Request::Line)
        return lineCommand(parser, *parsed, positional, result);

    const bool json = parser.isSet(parsed->json);
    const bool profile = parser.isSet(parsed->profileFlag) || parser.isSet(parsed->profileFile);
    const auto bit = [](Request::Command c) { return 1 << c; };
    const struct
    {
        bool given;
        const char *option;
        int commands;
        const char *names;  // commands, as typed; a list of them is said in the reader's language
    } belongings[] = {
        {json, "--json", bit(Request::Read) | bit(Request::ListPorts) | bit(Request::Scan), QT_TRANSLATE_NOOP("Cli::CommandLine", "read, ports and scan")},
        {parser.isSet(parsed->all), "--all", bit(Request::Scan), "scan"},
        {parser.isSet(parsed->portWait), "--port-wait", bit(Request::RunBatch), "batch"},
        {profile, "--profile", bit(Request::Read) | bit(Request::SetAll), QT_TRANSLATE_NOOP("Cli::CommandLine", "read and set-all")},
        {request.verify, "--verify", bit(Request::Set) | bit(Request::SetAll), QT_TRANSLATE_NOOP("Cli::CommandLine", "set and set-all")},
        {parser.isSet(parsed->count), "--count", bit(Request::GeneratePlan), "plan"},
        {parser.isSet(parsed->fixed), "--fixed", bit(Request::GeneratePlan), "plan"},
        {parser.isSet(parsed->log), "--log", bit(Request::RunBatch), "batch"},
        {parser.isSet(parsed->autoWait), "--auto", bit(Request::RunBatch), "batch"},
        {parser.isSet(parsed->noPrompt), "--no-prompt", bit(Request::RunBatch), "batch"},
        {parser.isSet(parsed->allowDuplicates), "--allow-duplicates", bit(Request::RunBatch), "batch"},
        {parser.isSet(parsed->allowOddAddresses), "--allow-odd-addresses", bit(Request::RunBatch), "batch"},
        {parser.isSet(parsed->record), "--record", bit(Request::RunBatch), QT_TRANSLATE_NOOP("Cli::CommandLine", "batch and line")},
        {parser.isSet(parsed->line), "--line", bit(Request::RunBatch), QT_TRANSLATE_NOOP("Cli::CommandLine", "batch and line")},
        {parser.isSet(parsed->station), "--station", bit(Request::RunBatch), "batch"},
        {parser.isSet(parsed->allowReuse), "--allow-reuse", 0, "line load"},
        {parser.isSet(parsed->watch), "--watch", 0, "line status"},
        {parser.isSet(parsed->out), "--out", 0, "line export"},
        {parser.isSet(parsed->as), "--as", 0, "line resolve"},
    };
    for (const auto &option : belongings) {
        if (option.given && !(option.commands & bit(request.command)))
            return failure(CommandLineText::tr("%1 goes with %2, not with %3")
                               .arg(QLatin1String(option.option), CommandLineText::tr(option.names), command));
    }
    if (json && profile)
        return failure(CommandLineText::tr("read takes --json or --profile, not both"));
    if (request.command == Request::GeneratePlan) {
        for (const QCommandLineOption *option : {&parsed->port, &parsed->timeout, &parsed->retries, &parsed->trace,
                                                 &parsed->simulate}) {
            if (parser.isSet(*option))
                return failure(CommandLineText::tr("plan talks to no device: --%1 does not go with it")
                                   .arg(option->names().first()));
        }
        return planCommand(parser, *parsed, positional);
    }
    if (request.command == Request::RunBatch) {
        QString error;
        if (parser.isSet(parsed->line) && !Line::checkName(request.lineName, QStringLiteral("--line"), &error))
            return failure(error);
        return batchCommand(parser, *parsed, positional, result);
    }
    if (request.command == Request::ListPorts || request.command == Request::Scan) {
        if (!positional.isEmpty())
            return failure(CommandLineText::tr("%1 takes no arguments: %2").arg(command, positional.first()));
        if (request.command == Request::ListPorts && (parser.isSet(parsed->timeout) || parser.isSet(parsed->retries)))
            return failure(CommandLineText::tr("ports sends nothing: --timeout and --retries go with the commands that do"));
        request.format = json ? Request::Json : Request::Report;
        request.scanAll = parser.isSet(parsed->all);
        request.portsGiven = parser.isSet(parsed->port);
        return result;
    }
    request.format = json ? Request::Json : profile ? Request::Profile : Request::Report;
    if (request.command == Request::Set && positional.isEmpty())
        return failure(CommandLineText::tr("set needs at least one KEY=VALUE"));

    const bool takesValues = request.command == Request::Set || request.command == Request::SetAll;
    if (!takesValues && !positional.isEmpty())
        return failure(CommandLineText::tr("%1 takes no arguments: %2").arg(command, positional.first()));

    QString error;
    if (request.command == Request::SetAll && parser.isSet(parsed->profileFile)
        && !readProfile(parser.value(parsed->profileFile), &request.values, &error))
        return failure(error);
    Client::ValueSet given;
    const Writer writer = request.command == Request::Set ? Writer::SingleCommands : Writer::SetAll;
    if (!Client::parseAssignments(positional, writer, &given, &error))
        return failure(error);
    request.values.merge(given);
    return result;
}
