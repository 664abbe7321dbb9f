#include "commandline.h"

#include "link/portmap.h"
#include "link/portsettings.h"
#include "shell/exitstatus.h"

#include <QCommandLineParser>
#include <QCoreApplication>

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Configures the network parameters of a device over a serial line."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays help on commandline options."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Open DEVICE for the port COMn of the list (repeatable), "
                       "e.g. COM1=/dev/ttyUSB0. Unmapped, COM1 opens %1.")
            .arg(PortMap::defaultDevice(QStringLiteral("COM1"))),
        QStringLiteral("COMn=DEVICE"));
    parser.addOption(portOption);
    const QCommandLineOption saveOption(
        QStringLiteral("save-ports"),
        QStringLiteral("Remember the --port mappings given for later runs of velmora and "
                       "velmora-cli, then start."));
    parser.addOption(saveOption);
    const QCommandLineOption forgetOption(
        QStringLiteral("forget-ports"), QStringLiteral("Forget the remembered port mappings and exit."));
    parser.addOption(forgetOption);
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Print every frame sent (TX) and every reply read (RX) to stderr."));
    parser.addOption(traceOption);
    const QCommandLineOption simulateOption(
        QStringLiteral("simulate"),
        QStringLiteral("Start a simulated device and connect COM1 to it."));
    parser.addOption(simulateOption);

    CommandLine result;
    auto fail = [&result](const QString &message) {
        result.action = CommandLine::Exit;
        result.exitCode = Exit::UsageError;
        result.output = message;
        return result;
    };

    if (!parser.parse(arguments)) {
        result.unknownOption = !parser.unknownOptionNames().isEmpty();
        return fail(parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        result.action = CommandLine::Exit;
        // Without an application object Qt cannot know the program's name.
        result.output = parser.helpText().replace(QLatin1String("<executable_name>"),
                                                  QCoreApplication::applicationName());
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.action = CommandLine::Exit;
        result.output = QCoreApplication::applicationName() + QLatin1Char(' ')
                        + QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    for (const QString &value : parser.values(portOption)) {
        PortMapping mapping;
        QString error;
        if (!PortMap::parseMapping(value, &mapping.comName, &mapping.device, &error))
            return fail(error);
        result.ports.append(mapping);
    }
    result.savePorts = parser.isSet(saveOption);
    result.forgetPorts = parser.isSet(forgetOption);
    if (result.savePorts && result.forgetPorts)
        return fail(QStringLiteral("--save-ports and --forget-ports contradict each other"));
    if (result.savePorts && result.ports.isEmpty())
        return fail(QStringLiteral("--save-ports: give the mappings to save with --port COMn=DEVICE"));
    result.trace = parser.isSet(traceOption);
    result.simulate = parser.isSet(simulateOption);
    return result;
}

bool applyPortOptions(const CommandLine &commandLine)
{
    PortSettings::applySaved();
    PortSettings::Mappings given;
    for (const PortMapping &mapping : commandLine.ports) {
        PortMap::setDevice(mapping.comName, mapping.device);
        given.insert(mapping.comName, mapping.device);
    }
    return !commandLine.savePorts || PortSettings::save(given);
}
