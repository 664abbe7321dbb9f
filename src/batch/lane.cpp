#include "lane.h"

#include "link/phrases.h"
#include "link/portmap.h"
#include "link/wiretrace.h"

#include <utility>

using Client::OperationResult;
using Phrases::kept;
using Phrases::Phrase;

namespace Batch {

namespace {

Result resultOf(OperationResult::Status status)
{
    switch (status) {
    case OperationResult::Done:
        return Result::Ok;
    case OperationResult::Mismatch:
        return Result::Mismatch;
    case OperationResult::Refused:
        return Result::Refused;
    case OperationResult::NoAnswer:
    case OperationResult::LineFailed:
        break;
    }
    return Result::NoAnswer;
}

// What went wrong, then what else the line saw, one line.
QString detailOf(const OperationResult &result)
{
    QStringList parts;
    if (result.status == OperationResult::Mismatch)
        parts << result.differences.join(QLatin1String("; "));
    else if (!result.error.isEmpty())
        parts << result.error;
    parts << result.notes;
    if (result.lateBytes > 0)
        parts << kept(Phrase::BytesLate).arg(result.lateBytes);
    return parts.join(QLatin1String("; "));
}

QString afterLastRun(const QString &found)
{
    return kept(Phrase::AfterLastRun).arg(found);
}

} // namespace

Lane::Lane(const QString &port, const QString &device, const LineSettings &settings, QObject *parent)
    : QObject(parent), m_port(port), m_device(device), m_settings(settings)
{
    if (settings.trace)
        m_trace = settings.trace->forPort(port);
    m_session.line().setTrace(m_trace.get());
    m_pollTimer.setSingleShot(true);
    connect(&m_pollTimer, &QTimer::timeout, this, &Lane::poll);
    m_portTimer.setSingleShot(true);
    connect(&m_portTimer, &QTimer::timeout, this, &Lane::lookForPort);
}

Lane::~Lane() = default;

bool Lane::open(QString *error, QString *asWritten)
{
    if (m_session.line().isOpen() || m_session.line().open(m_device)) {
        m_lost = false;
        m_openProblem.clear();
        return true;
    }
    *error = PortMap::cannotOpen(m_port, m_session.line().errorString());
    if (asWritten)
        *asWritten = PortMap::cannotOpenAsWritten(m_port, m_session.line().errorString());
    return false;
}

// What every attempt's end tells the lane about its port and device.
Attempt Lane::attemptEnded(Attempt attempt, const OperationResult &result)
{
    m_lost = result.status == OperationResult::LineFailed;
    if (m_lost)
        attempt.detail = kept(Phrase::PortLost) + QLatin1String("; ") + attempt.detail;
    m_unansweredRows = result.status == OperationResult::NoAnswer ? m_unansweredRows + 1 : 0;
    return attempt;
}

// The batch's line settings (a --auto poll changes them), the clock started.
Attempt Lane::startAttempt(const PlanRow &row)
{
    m_session.line().setTimeout(m_settings.timeoutMs);
    m_session.line().setRetries(m_settings.retries);
    m_clock.start();
    Attempt attempt;
    attempt.row = row.number;
    attempt.port = m_port;
    return attempt;
}

void Lane::provision(const PlanRow &row, std::function<void(const Attempt &)> done)
{
    Attempt attempt = startAttempt(row);
    m_session.setAll(row.values, true, [this, attempt, done](const OperationResult &result) mutable {
        attempt.ms = m_clock.elapsed();
        attempt.result = resultOf(result.status);
        attempt.detail = detailOf(result);
        // The last READ came after the write only where the write was verified.
        if (attempt.result == Result::Ok || attempt.result == Result::Mismatch)
            attempt.readBack = result.device;
        m_lastHeld = attempt.readBack;
        done(attemptEnded(attempt, result));
    });
}

void Lane::check(const PlanRow &row, std::function<void(const Attempt &)> done)
{
    Attempt attempt = startAttempt(row);
    m_session.read([this, attempt, values = row.values, done](const OperationResult &result) mutable {
        attempt.ms = m_clock.elapsed();
        if (result.status == OperationResult::Done) {
            const QStringList differences = values.differences(*result.device);
            attempt.result = differences.isEmpty() ? Result::Ok : Result::Mismatch;
            attempt.detail = afterLastRun(differences.isEmpty() ? kept(Phrase::DeviceHolds)
                                                                : kept(Phrase::NotWritten)
                                                                      .arg(differences.join(QLatin1String("; "))));
            attempt.readBack = result.device;
        } else {
            attempt.result = resultOf(result.status);
            attempt.detail = afterLastRun(detailOf(result) + QLatin1String("; ") + kept(Phrase::DeviceMayHold));
        }
        m_lastHeld = attempt.readBack;
        done(attempt);
    });
}

void Lane::awaitDeparture(Done done)
{
    await(Awaiting::Departure, PollIntervalMs, std::move(done));
}

void Lane::awaitArrival(Done done)
{
    await(Awaiting::Arrival, 0, std::move(done));
}

void Lane::await(Awaiting awaiting, int firstPollMs, Done done)
{
    m_awaiting = awaiting;
    m_waitDone = std::move(done);
    m_silentPolls = 0;
    m_toldSame = false;
    m_pollTimer.start(firstPollMs);
}

void Lane::awaitPort(int limitMs, std::function<void(bool back)> done)
{
    m_portDone = std::move(done);
    m_portLimitMs = limitMs;
    m_portClock.start();
    lookForPort();
}

void Lane::lookForPort()
{
    QString error;
    const bool back = open(&error);
    if (!back && m_portClock.elapsed() < m_portLimitMs) {
        m_portTimer.start(PortPollMs);
        return;
    }
    const auto done = std::exchange(m_portDone, nullptr);
    if (done)
        done(back);
}

void Lane::stopWaiting()
{
    m_awaiting = Awaiting::Nothing;
    m_waitDone = nullptr;
    m_pollTimer.stop();
    m_portDone = nullptr;
    m_portTimer.stop();
}

void Lane::poll()
{
    QString error;
    if (!open(&error)) {  // an adapter that is part of the device goes with it
        if (error != std::exchange(m_openProblem, error))
            emit openProblem(error);
        polled(false, std::nullopt);
        return;
    }
    m_session.line().setTimeout(PollTimeoutMs);
    m_session.line().setRetries(0);
    m_session.read([this](const OperationResult &result) {
        polled(result.status == OperationResult::Done || result.status == OperationResult::Refused,
               result.status == OperationResult::Done ? result.device : std::nullopt);
    });
}

void Lane::polled(bool answered, const std::optional<Protocol::ParameterBlock> &block)
{
    bool over = false;
    switch (m_awaiting) {
    case Awaiting::Nothing:
        return;
    case Awaiting::Departure:
        m_silentPolls = answered ? 0 : m_silentPolls + 1;
        over = m_silentPolls >= PollsToLeave;
        break;
    case Awaiting::Arrival:
        if (answered && block && m_lastHeld && *block == *m_lastHeld) {
            if (!std::exchange(m_toldSame, true))
                emit sameDeviceAnswers();
            break;
        }
        over = answered;
        break;
    }
    if (!over) {
        m_pollTimer.start(PollIntervalMs);
        return;
    }
    m_awaiting = Awaiting::Nothing;
    const Done done = std::exchange(m_waitDone, nullptr);
    done();
}

} // namespace Batch
