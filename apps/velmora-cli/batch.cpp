#include "batch.h"

#include "run.h"
#include "terminalprompt.h"

#include "line.h"

#include "batch/batchlog.h"
#include "batch/progresslines.h"
#include "line/linerecord.h"
#include "link/portlock.h"
#include "link/portmap.h"
#include "link/wiretrace.h"
#include "shell/stopsignals.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

// What batch tells a person on stderr; the log and the exit status stay as they are.
struct BatchText
{
    Q_DECLARE_TR_FUNCTIONS(Cli::Batch)
};

void printLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Waits for the line's record to be ready, or for a stop signal; 0, or
// the exit status after printing why not. A record that cannot be reached
// is tried again until --record-wait has passed.
int openLine(const Request &request, StopSignals &stopSignals, std::unique_ptr<Line::LineRecord> *line)
{
    Line::RecordAddress address;
    QString error;
    address.parse(request.record, &error);  // checked on the command line
    Line::LineRecord::Settings settings;
    settings.line = request.lineName;
    settings.station = request.station;
    const QDateTime since = QDateTime::currentDateTime();
    const QDateTime giveUp = since.addSecs(request.recordWaitSeconds);
    int retryMs = settings.firstRetryMs;
    std::unique_ptr<Line::LineRecord> opened;
    int status = Exit::NoLine;
    for (bool said = false;; said = true) {
        opened = std::make_unique<Line::LineRecord>(address, settings);
        QEventLoop waiting;
        status = Exit::NoLine;
        bool tryAgain = false;
        opened->open([&](Line::Refusal refusal, const QString &why) {
            status = refusal == Line::Refusal::None ? Exit::Success : Line::exitStatusFor(refusal);
            error = why;
            tryAgain = refusal == Line::Refusal::Unreachable && QDateTime::currentDateTime() < giveUp;
            if (tryAgain) {
                if (!said)
                    printError(BatchText::tr("record unreachable since %1; waiting up to %2 s (%3)")
                                   .arg(since.toString(QStringLiteral("HH:mm:ss"))).arg(request.recordWaitSeconds).arg(why));
                QTimer::singleShot(retryMs, &waiting, &QEventLoop::quit);
                retryMs = std::min(2 * retryMs, settings.lastRetryMs);
            } else {
                waiting.quit();
            }
        });
        const QMetaObject::Connection stop = QObject::connect(&stopSignals, &StopSignals::received, &waiting, [&](int signal) {
            status = StopSignals::exitStatus(signal);
            error.clear();
            tryAgain = false;
            waiting.quit();
        });
        stopSignals.poll();
        if (status == Exit::NoLine || tryAgain)
            waiting.exec();
        QObject::disconnect(stop);
        if (!tryAgain)
            break;
        opened.reset();  // its journal is free again for the next try
    }
    if (status != Exit::Success) {
        if (!error.isEmpty())
            printError(error);
        return status;
    }
    for (const QString &warning : opened->warnings())
        printError(warning);
    *line = std::move(opened);
    return Exit::Success;
}

} // namespace

int runBatch(const Request &request, StopSignals &stopSignals, bool catching)
{
    std::unique_ptr<QObject> simulator;
    if (!prepareLines(request, &simulator))
        return Exit::NoLine;

    // Two names of one device would be two lanes on one line.
    // Symbolic links followed and device numbers compared: /dev/serial/by-id/... is /dev/ttyUSB0.
    QStringList devices;
    std::vector<PortLock::Identity> identities;
    for (const QString &port : request.ports) {
        const QString device = PortMap::resolve(port);
        const PortLock::Identity identity = PortLock::identify(device);
        for (size_t i = 0; i < identities.size(); ++i) {
            if (identity.sameDevice(identities[i])) {
                printError(BatchText::tr("--port %1: that device has a --port already (%2)")
                               .arg(port, request.ports.at(int(i))));
                return Exit::UsageError;
            }
        }
        identities.push_back(identity);
        devices << device;
    }

    // The record first: a line's plan comes from it.
    std::unique_ptr<Batch::Record> record;
    Line::LineRecord *line = nullptr;
    if (request.record.isEmpty()) {
        record = std::make_unique<Batch::BatchLog>(request.plan);
    } else {
        std::unique_ptr<Line::LineRecord> opened;
        if (const int status = openLine(request, stopSignals, &opened))
            return status;
        line = opened.get();
        record = std::move(opened);
    }
    if (line && !line->replayed().isEmpty())
        printError(BatchText::tr("%n verdicts from the journal set down: %1", nullptr, int(line->replayed().size()))
                       .arg(line->replayed().join(QLatin1String(", "))));

    std::unique_ptr<WireTrace> trace;
    if (request.trace)
        trace = WireTrace::toStandardError();
    Batch::BatchRun run(*record, request.waiting, {request.timeoutMs, request.retries, trace.get(), request.portWaitSeconds * 1000});
    for (int i = 0; i < request.ports.size(); ++i)
        run.addLane(request.ports.at(i), devices.at(i));

    // The devices being written are finished and recorded first.
    int caught = 0;
    if (!catching)
        printError(BatchText::tr("cannot catch SIGINT and SIGTERM: they stop the batch at once"));
    QObject::connect(&stopSignals, &StopSignals::received, &run, [&run, &caught](int signal) {
        if (caught == 0)
            caught = signal;
        run.stop();
    });

    QString error;
    if (!run.openPorts(&error)) {
        printError(error);
        return Exit::NoLine;
    }
    if (!line) {
        QStringList errors;
        QStringList warnings;
        const bool logOpen = static_cast<Batch::BatchLog &>(*record).open(request.logFile, &errors, &warnings);
        if (!warnings.isEmpty())
            printError(warnings.join(QLatin1Char('\n')));
        if (!logOpen) {
            printError(errors.join(QLatin1Char('\n')));
            return Exit::UsageError;
        }
    }
    const QStringList unread = run.portsInDoubtWithoutLane();
    if (!unread.isEmpty()) {
        printError(BatchText::tr("%1: the last run stopped while writing a device on %2; run with --port %3 so "
                                  "that it is read first (its row might otherwise go to two devices)")
                       .arg(record->name(), unread.join(QLatin1String(", ")), unread.first()));
        return Exit::UsageError;
    }

    TerminalPrompt prompt;
    run.setAsk([&prompt](const QString &question, std::function<void(Batch::Answer)> answered) {
        prompt.ask(question, std::move(answered));
    });
    const Batch::ProgressLines progress(run, *record);
    QObject::connect(&progress, &Batch::ProgressLines::line, &printLine);
    QObject::connect(&run, &Batch::BatchRun::problem, &printError);
    QObject::connect(&run, &Batch::BatchRun::finished, &QCoreApplication::quit);

    stopSignals.poll();  // one that came while the ports and the log were opened
    run.start();
    QCoreApplication::exec();
    if (line && line->journaled() > 0)
        printError(BatchText::tr("the record could not be reached: %n verdicts are kept in %1, and the next run "
                                  "of station %2 on line %3 sets them down first", nullptr, line->journaled())
                       .arg(line->journalPath(), request.station, request.lineName));
    if (caught != 0)
        return StopSignals::exitStatus(caught);
    if (run.logFailed())
        return Exit::UsageError;
    return run.allOk() ? Exit::Success : Exit::RowsNotOk;
}
