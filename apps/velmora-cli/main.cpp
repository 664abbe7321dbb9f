// velmora-cli: the device's protocol from a shell, with exit codes.
#include "batch.h"
#include "commandline.h"
#include "line.h"
#include "ports.h"
#include "run.h"

#include "shell/stopsignals.h"
#include "shell/translations.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // Its messages on stderr in the user's language; what it prints on stdout
    // and its exit statuses are the same in every language.
    Translations::install();

    // From the start: a signal while a long plan is read, or ports opened,
    // must end the program as it ends a batch, with its summary and status.
    StopSignals stopSignals;
    const bool catching = stopSignals.install();

    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    if (!commandLine.exit) {
        switch (commandLine.request.command) {
        case Request::RunBatch:
            return runBatch(commandLine.request, stopSignals, catching);
        case Request::ListPorts:
            return runPorts(commandLine.request);
        case Request::Line:
            return runLine(commandLine.request, stopSignals);
        default:
            break;
        }
        QObject::connect(&stopSignals, &StopSignals::received, &app,
                         [](int signal) { QCoreApplication::exit(StopSignals::exitStatus(signal)); });
        return commandLine.request.command == Request::Scan ? runScan(commandLine.request)
                                                            : runRequest(commandLine.request);
    }
    if (commandLine.exitCode != Exit::Success) {
        printError(commandLine.output);
        return commandLine.exitCode;
    }
    std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
    return Exit::Success;
}
