// velmora-cli: the device's protocol from a shell, with exit codes.
#include "batch.h"
#include "commandline.h"
#include "ports.h"
#include "run.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
#ifdef VELMORA_HAS_SIMULATOR
constexpr bool SimulatorAvailable = true;
#else
constexpr bool SimulatorAvailable = false;
#endif
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments(), SimulatorAvailable);
    if (!commandLine.exit)
        switch (commandLine.request.command) {
        case Request::RunBatch:
            return runBatch(commandLine.request);
        case Request::ListPorts:
            return runPorts(commandLine.request);
        case Request::Scan:
            return runScan(commandLine.request);
        default:
            return runRequest(commandLine.request);
        }
    if (commandLine.exitCode != Success) {
        printError(commandLine.output);
        return commandLine.exitCode;
    }
    std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
    return Success;
}
