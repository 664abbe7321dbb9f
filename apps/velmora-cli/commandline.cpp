#include "commandline.h"

#include "client/linetransport.h"
#include "client/profile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>


using Client::Writer;

namespace {

constexpr int MaxTimeoutMs = 3600 * 1000;
constexpr int MaxRetries = 100;

const QStringList Commands = {QStringLiteral("read"), QStringLiteral("set"), QStringLiteral("set-all"),
                              QStringLiteral("reset")};

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
               "\n"
               "Keys: %1; set-all also takes %2.\n"
               "A profile has one \"key = value\" a line; read --profile writes one.\n"
               "\n"
               "Exit status: 0 done (and verified), 1 the device refused, 2 bad command line or\n"
               "value (nothing was sent), 3 the port cannot be opened or no answer, 4 --verify\n"
               "found a difference.")
        .arg(Client::keyList(Writer::SingleCommands), QStringLiteral("mode reserved"));
}

// The options; --profile is a flag for read and takes a FILE for set-all.
struct Parser
{
    explicit Parser(bool profileTakesFile, bool simulatorAvailable)
    {
        parser.setApplicationDescription(description());
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(profileTakesFile ? profileFile : profileFlag);
        parser.addOptions({port, timeout, retries, trace, json, verify});
        if (simulatorAvailable)
            parser.addOption(simulate);
        parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("read, set, set-all or reset"),
                                     QStringLiteral("COMMAND [KEY=VALUE...]"));
    }

    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information.")};
    const QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("The serial port: COM1 to COM20, as the window opens it, or a device path "
                       "(/dev/ttyUSB0). Default COM1."),
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
    const QCommandLineOption json{QStringLiteral("json"), QStringLiteral("read: print one JSON object.")};
    const QCommandLineOption profileFlag{QStringLiteral("profile"),
                                         QStringLiteral("read: print a profile; set-all --profile FILE: "
                                                        "write the values of a profile.")};
    const QCommandLineOption profileFile{QStringLiteral("profile"), profileFlag.description(),
                                         QStringLiteral("FILE")};
    const QCommandLineOption verify{QStringLiteral("verify"),
                                    QStringLiteral("set, set-all: read back and compare what was written.")};
};

CommandLine failure(const QString &message)
{
    CommandLine result;
    result.exit = true;
    result.exitCode = UsageError;
    result.output = message;
    return result;
}

bool parseCount(const QString &text, int minimum, int maximum, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= minimum && *value <= maximum;
}

bool readProfile(const QString &fileName, Client::ValueSet *values, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    return Client::parseProfile(QString::fromUtf8(file.readAll()), fileName, values, error);
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments, bool simulatorAvailable)
{
    // read --profile is a flag, set-all --profile names a FILE: parse both
    // ways and take the one that fits the command.
    Parser withFlag(false, simulatorAvailable);
    Parser withFile(true, simulatorAvailable);
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
        return failure(QStringLiteral("no command given; the commands are %1").arg(Commands.join(QLatin1Char(' '))));
    const QString command = positional.takeFirst();
    if (!Commands.contains(command))
        return failure(QStringLiteral("unknown command %1; the commands are %2")
                           .arg(command, Commands.join(QLatin1Char(' '))));

    Request &request = result.request;
    request.command = Request::Command(Commands.indexOf(command));
    request.verify = parser.isSet(parsed->verify);
    request.trace = parser.isSet(parsed->trace);
    request.simulate = simulatorAvailable && parser.isSet(parsed->simulate);
    if (parser.isSet(parsed->port))
        request.port = parser.value(parsed->port);
    if (parser.isSet(parsed->timeout)
        && !parseCount(parser.value(parsed->timeout), 1, MaxTimeoutMs, &request.timeoutMs))
        return failure(QStringLiteral("--timeout %1: expected milliseconds from 1 to %2")
                           .arg(parser.value(parsed->timeout)).arg(MaxTimeoutMs));
    if (parser.isSet(parsed->retries)
        && !parseCount(parser.value(parsed->retries), 0, MaxRetries, &request.retries))
        return failure(QStringLiteral("--retries %1: expected a number from 0 to %2")
                           .arg(parser.value(parsed->retries)).arg(MaxRetries));

    const bool json = parser.isSet(parsed->json);
    const bool profile = parser.isSet(parsed->profileFlag) || parser.isSet(parsed->profileFile);
    const auto bit = [](Request::Command c) { return 1 << c; };
    const struct
    {
        bool given;
        const char *option;
        int commands;
        const char *names;
    } belongings[] = {
        {json, "--json", bit(Request::Read), "read"},
        {profile, "--profile", bit(Request::Read) | bit(Request::SetAll), "read and set-all"},
        {request.verify, "--verify", bit(Request::Set) | bit(Request::SetAll), "set and set-all"},
    };
    for (const auto &option : belongings) {
        if (option.given && !(option.commands & bit(request.command)))
            return failure(QStringLiteral("%1 goes with %2, not with %3")
                               .arg(QLatin1String(option.option), QLatin1String(option.names), command));
    }
    if (json && profile)
        return failure(QStringLiteral("read takes --json or --profile, not both"));
    request.format = json ? Request::Json : profile ? Request::Profile : Request::Report;
    if (request.command == Request::Set && positional.isEmpty())
        return failure(QStringLiteral("set needs at least one KEY=VALUE"));

    const bool takesValues = request.command == Request::Set || request.command == Request::SetAll;
    if (!takesValues && !positional.isEmpty())
        return failure(QStringLiteral("%1 takes no arguments: %2").arg(command, positional.first()));

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
