// velmora-bench: batch provisioning in a window.
#include "bench/benchlanguage.h"
#include "bench/benchwindow.h"
#include "commandline.h"
#include "link/portsettings.h"
#include "shell/exitstatus.h"
#include "shell/stopsignals.h"
#include "shell/translations.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

void printError(const QString &message)
{
    std::fprintf(stderr, "velmora-bench: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char **argv)
{
    // --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const BenchCommandLine parsed = parseBenchCommandLine(arguments);
    if (parsed.exit) {
        if (parsed.exitCode == 0)
            std::fputs(parsed.output.toLocal8Bit().constData(), stdout);
        else
            printError(parsed.output);
        return parsed.exitCode;
    }
    const BenchOptions &options = parsed.options;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora-bench"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(VELMORA_BENCH_APP_ID));
    PortSettings::applySaved();  // COMn opens what the other programs open for it
    Translations::install(Bench::benchLanguage());

    Bench::BenchWindow window;
    window.restoreSettings();
    if (options.waitingGiven)
        window.setWaiting(options.waiting);
    QString error;
    if (!options.planFile.isEmpty()) {
        if (!window.openPlan(options.planFile, &error)) {
            printError(error);
            return Exit::UsageError;
        }
        if (!options.logFile.isEmpty())
            window.setLogFile(options.logFile);
    }
    if (options.line) {
        QObject::connect(&window, &Bench::BenchWindow::recordRefused, &app,
                         [](int, const QString &reason) { printError(reason); });
        QObject::connect(&window, &Bench::BenchWindow::recordWaiting, &app, &printError);
        window.setRecordWait(options.recordWaitSeconds);
        window.openLine(*options.line);
    }
    for (const QString &port : options.ports) {
        if (!window.addLane(port, &error)) {
            printError(QStringLiteral("--port ") + error);
            return Exit::UsageError;
        }
    }
    for (int i = 0; i < options.simulate; ++i) {
        if (!window.addSimulated(&error)) {
            printError(error);
            return Exit::NoLine;
        }
    }
    if (options.planFile.isEmpty() && !options.line && options.ports.isEmpty() && options.simulate == 0)
        window.restoreLastPlanAndPorts();
    window.setQuitWhenDone(options.quitWhenDone);

    // SIGINT and SIGTERM stop as Stop does, and the exit status says which.
    StopSignals stopSignals;
    int caught = 0;
    stopSignals.install();
    QObject::connect(&stopSignals, &StopSignals::received, &window, [&window, &caught](int signal) {
        if (caught == 0)
            caught = signal;
        if (window.isRunning())
            window.stop();
        else
            window.close();
    });
    int status = 0;
    QObject::connect(&window, &Bench::BenchWindow::runFinished, &app, [&](int finished) {
        status = finished;
        if (options.quitWhenDone)
            QApplication::quit();
    });

    window.show();
    if (options.start && options.line)
        QObject::connect(&window, &Bench::BenchWindow::lineOpened, &window, &Bench::BenchWindow::start,
                         Qt::SingleShotConnection);
    else if (options.start)
        QMetaObject::invokeMethod(&window, &Bench::BenchWindow::start, Qt::QueuedConnection);
    const int loop = QApplication::exec();
    if (caught != 0)
        return StopSignals::exitStatus(caught);
    return options.quitWhenDone ? status : loop;
}
