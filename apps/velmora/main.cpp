#include "velmora/commandline.h"
#include "link/portsettings.h"
#include "link/wiretrace.h"
#include "window/mainwindow.h"
#include "device/builtinsimulator.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace {

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void printError(const QString &message)
{
    std::fprintf(stderr, "velmora: %s\n", message.toLocal8Bit().constData());
}

// What ends the run before any window: --help, --version, a refusal,
// --forget-ports. -1 to go on.
int exitBeforeWindow(const CommandLine &commandLine)
{
    if (commandLine.action == CommandLine::Exit) {
        if (commandLine.exitCode == 0)
            std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
        else
            printError(commandLine.output);
        return commandLine.exitCode;
    }
    if (commandLine.forgetPorts) {
        if (!PortSettings::forget()) {
            printError(QStringLiteral("cannot write %1").arg(PortSettings::fileName()));
            return 1;
        }
        std::printf("Forgot the port mappings saved in %s\n", qPrintable(PortSettings::fileName()));
        return 0;
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    // Before QApplication: --help and a bad option need no display.
    CommandLine commandLine = parseCommandLine(argumentList(argc, argv));
    if (!commandLine.unknownOption) {
        if (const int exitCode = exitBeforeWindow(commandLine); exitCode >= 0)
            return exitCode;
    }

    QApplication app(argc, argv);
    // Wayland matches the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELMORA_APP_ID));
    if (commandLine.unknownOption) {
        commandLine = parseCommandLine(QCoreApplication::arguments());
        if (const int exitCode = exitBeforeWindow(commandLine); exitCode >= 0)
            return exitCode;
    }
    if (!applyPortOptions(commandLine)) {
        printError(QStringLiteral("cannot save the port mappings in %1").arg(PortSettings::fileName()));
    } else if (commandLine.savePorts) {
        std::printf("Saved the --port mappings in %s\n", qPrintable(PortSettings::fileName()));
        std::fflush(stdout);
    }

    std::unique_ptr<QObject> simulator;
    if (commandLine.simulate) {
        QString error;
        simulator = BuiltInSimulator::start(&error);
        if (!simulator) {
            printError(QStringLiteral("cannot start the simulated device: ") + error);
            return 1;
        }
    }

    std::unique_ptr<WireTrace> trace;
    if (commandLine.trace)
        trace = WireTrace::toStandardError();

    MainWindow window;
    window.setWireTrace(trace.get());
    window.show();
    return app.exec();
}
