#include "batch.h"

#include "run.h"
#include "terminalprompt.h"

#include "batch/batchlog.h"
#include "batch/progresslines.h"
#include "link/portlock.h"
#include "link/portmap.h"
#include "link/wiretrace.h"
#include "shell/stopsignals.h"

#include <QCoreApplication>

#include <cstdio>
#include <vector>

namespace {

void printLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

int runBatch(const Request &request, StopSignals &stopSignals, bool catching)
{
    std::unique_ptr<QObject> simulator;
    if (!prepareLines(request, &simulator))
        return NoLine;

    // Two names of one device would be two lanes on one line.
    // Symbolic links followed and device numbers compared: /dev/serial/by-id/... is /dev/ttyUSB0.
    QStringList devices;
    std::vector<PortLock::Identity> identities;
    for (const QString &port : request.ports) {
        const QString device = PortMap::resolve(port);
        const PortLock::Identity identity = PortLock::identify(device);
        for (size_t i = 0; i < identities.size(); ++i) {
            if (identity.sameDevice(identities[i])) {
                printError(QStringLiteral("--port %1: that device has a --port already (%2)")
                               .arg(port, request.ports.at(int(i))));
                return UsageError;
            }
        }
        identities.push_back(identity);
        devices << device;
    }

    std::unique_ptr<WireTrace> trace;
    if (request.trace)
        trace = WireTrace::toStandardError();
    Batch::BatchLog log(request.plan);
    Batch::BatchRun run(log, request.waiting, {request.timeoutMs, request.retries, trace.get(), request.portWaitSeconds * 1000});
    for (int i = 0; i < request.ports.size(); ++i)
        run.addLane(request.ports.at(i), devices.at(i));

    // The devices being written are finished and recorded first.
    int caught = 0;
    if (!catching)
        printError(QStringLiteral("cannot catch SIGINT and SIGTERM: they stop the batch at once"));
    QObject::connect(&stopSignals, &StopSignals::received, &run, [&run, &caught](int signal) {
        if (caught == 0)
            caught = signal;
        run.stop();
    });

    QString error;
    if (!run.openPorts(&error)) {
        printError(error);
        return NoLine;
    }
    QStringList errors;
    QStringList warnings;
    const bool logOpen = log.open(request.logFile, &errors, &warnings);
    if (!warnings.isEmpty())
        printError(warnings.join(QLatin1Char('\n')));
    if (!logOpen) {
        printError(errors.join(QLatin1Char('\n')));
        return UsageError;
    }
    const QStringList unread = run.portsInDoubtWithoutLane();
    if (!unread.isEmpty()) {
        printError(QStringLiteral("%1: the last run stopped while writing a device on %2; run with --port %3 so "
                                  "that it is read first (its row might otherwise go to two devices)")
                       .arg(log.fileName(), unread.join(QLatin1String(", ")), unread.first()));
        return UsageError;
    }

    TerminalPrompt prompt;
    run.setAsk([&prompt](const QString &question, std::function<void(Batch::Answer)> answered) {
        prompt.ask(question, std::move(answered));
    });
    const Batch::ProgressLines progress(run, log);
    QObject::connect(&progress, &Batch::ProgressLines::line, &printLine);
    QObject::connect(&run, &Batch::BatchRun::problem, &printError);
    QObject::connect(&run, &Batch::BatchRun::finished, &QCoreApplication::quit);

    stopSignals.poll();  // one that came while the ports and the log were opened
    run.start();
    QCoreApplication::exec();
    if (caught != 0)
        return StopSignals::exitStatus(caught);
    if (run.logFailed())
        return UsageError;
    return run.allOk() ? Success : RowsNotOk;
}
