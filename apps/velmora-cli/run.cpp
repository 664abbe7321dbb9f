#include "run.h"

#include "client/devicesession.h"
#include "client/formats.h"
#include "client/profile.h"
#include "link/phrases.h"
#include "link/portmap.h"
#include "link/portsettings.h"
#include "link/wiretrace.h"
#include "device/builtinsimulator.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

using Client::OperationResult;

namespace {

// What a command on one device tells a person on stderr.
struct RunText
{
    Q_DECLARE_TR_FUNCTIONS(Cli::Run)
};

void print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        print(line + QLatin1Char('\n'));
}

QString formatted(const Request &request, const Protocol::ParameterBlock &block)
{
    switch (request.format) {
    case Request::Json:
        return QString::fromUtf8(Client::jsonText(block));
    case Request::Profile:
        return Client::profileText(block);
    case Request::Report:
        break;
    }
    return Client::reportText(block);
}

int exitCodeOf(OperationResult::Status status)
{
    switch (status) {
    case OperationResult::Done:
        return Exit::Success;
    case OperationResult::Refused:
        return Exit::DeviceRefused;
    case OperationResult::NoAnswer:
    case OperationResult::LineFailed:
        return Exit::NoLine;
    case OperationResult::Mismatch:
        return Exit::VerifyMismatch;
    }
    return Exit::NoLine;
}

int report(const Request &request, const OperationResult &result)
{
    QString error = Phrases::said(result.error);
    if (result.status == OperationResult::NoAnswer)
        error = PortMap::displayName(request.port) + QLatin1String(": ") + error + QLatin1String("; ") + PortMap::noAnswerHint();
    if (request.command == Request::Read) {
        if (result.status == OperationResult::Done)
            print(formatted(request, *result.device));
    } else {
        printLines(result.acknowledged);
        printLines(result.differences);
        if (result.status == OperationResult::Done && request.verify) {
            const Client::ValueSet compared = request.command == Request::SetAll
                                                  ? Client::ValueSet::allOf(*result.written)
                                                  : request.values;
            print(QStringLiteral("verified: %1\n").arg(compared.keys().join(QLatin1Char(' '))));
        }
    }
    std::fflush(stdout);
    if (result.status != OperationResult::Done)
        printError(error);
    for (const QString &note : result.notes)
        printError(Phrases::said(note));
    if (result.lateBytes > 0)
        printError(RunText::tr("%n byte(s) came after their deadline and were dropped: is the device slower "
                               "than --timeout %1?", nullptr, result.lateBytes).arg(request.timeoutMs));
    return exitCodeOf(result.status);
}

void start(Client::DeviceSession &session, const Request &request, const Client::DeviceSession::Callback &done)
{
    switch (request.command) {
    case Request::Read:
        session.read(done);
        return;
    case Request::Set:
        session.set(request.values, request.verify, done);
        return;
    case Request::SetAll:
        session.setAll(request.values, request.verify, done);
        return;
    case Request::Reset:
        session.reset(done);
        return;
    case Request::GeneratePlan:  // no device needed
    case Request::RunBatch:      // runBatch()
    case Request::ListPorts:     // runPorts()
    case Request::Scan:          // runScan()
    case Request::Line:          // runLine()
        break;
    }
    Q_UNREACHABLE();
}

} // namespace

void printError(const QString &message)
{
    for (const QString &line : message.split(QLatin1Char('\n')))
        std::fprintf(stderr, "velmora-cli: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool prepareLines(const Request &request, std::unique_ptr<QObject> *simulator)
{
    // COMn opens what the window would open for it: the saved mapping first.
    PortSettings::applySaved();
    for (auto it = request.mappings.cbegin(); it != request.mappings.cend(); ++it)
        PortMap::setDevice(it.key(), it.value());
    if (request.simulate) {
        QString error;
        *simulator = BuiltInSimulator::start(&error);
        if (!*simulator) {
            printError(RunText::tr("cannot start the simulated device: %1").arg(error));
            return false;
        }
    }
    return true;
}

int runRequest(const Request &request)
{
    std::unique_ptr<QObject> simulator;
    if (!prepareLines(request, &simulator))
        return Exit::NoLine;

    std::unique_ptr<WireTrace> trace;
    if (request.trace)
        trace = WireTrace::toStandardError();

    Client::DeviceSession session;
    session.line().setTimeout(request.timeoutMs);
    session.line().setRetries(request.retries);
    session.line().setTrace(trace.get());
    const QString device = PortMap::resolve(request.port);
    if (!session.line().open(device)) {
        printError(PortMap::cannotOpen(request.port, session.line().errorString()));
        return Exit::NoLine;
    }
    start(session, request, [&request](const OperationResult &result) {
        QCoreApplication::exit(report(request, result));
    });
    return QCoreApplication::exec();
}
