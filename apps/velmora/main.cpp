#include "velmora/commandline.h"
#include "link/portmap.h"
#include "link/wiretrace.h"
#include "window/mainwindow.h"

#ifdef VELMORA_HAS_SIMULATOR
#include "device/ptydevice.h"
#endif

#include <QApplication>

#include <cstdio>
#include <memory>

namespace {

#ifdef VELMORA_HAS_SIMULATOR
constexpr bool SimulatorAvailable = true;
#else
constexpr bool SimulatorAvailable = false;
#endif

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int finish(const CommandLine &commandLine)
{
    if (commandLine.exitCode == 0)
        std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
    else
        std::fprintf(stderr, "velmora: %s\n", commandLine.output.toLocal8Bit().constData());
    return commandLine.exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    // Before QApplication: --help and a bad option need no display.
    CommandLine commandLine = parseCommandLine(argumentList(argc, argv), SimulatorAvailable);
    if (commandLine.action == CommandLine::Exit && !commandLine.unknownOption)
        return finish(commandLine);

    QApplication app(argc, argv);
    if (commandLine.unknownOption) {
        commandLine = parseCommandLine(QCoreApplication::arguments(), SimulatorAvailable);
        if (commandLine.action == CommandLine::Exit)
            return finish(commandLine);
    }
    for (const PortMapping &mapping : commandLine.ports)
        PortMap::setDevice(mapping.comName, mapping.device);

#ifdef VELMORA_HAS_SIMULATOR
    std::unique_ptr<PtyDevice> simulator;
    if (commandLine.simulate) {
        simulator = std::make_unique<PtyDevice>();
        if (!simulator->open()) {
            std::fprintf(stderr, "velmora: cannot start the simulated device: %s\n",
                         simulator->errorString().toLocal8Bit().constData());
            return 1;
        }
        PortMap::setDevice(QStringLiteral("COM1"), simulator->slavePath());
    }
#endif

    std::unique_ptr<WireTrace> trace;
    if (commandLine.trace)
        trace = WireTrace::toStandardError();

    MainWindow window;
    window.setWireTrace(trace.get());
    window.show();
    return app.exec();
}
