#include "batchrun.h"

#include "logformat.h"

#include "link/phrases.h"
#include "link/portmap.h"

#include <QDateTime>

#include <algorithm>
#include <utility>

namespace Batch {

BatchRun::BatchRun(Record &record, Waiting waiting, const LineSettings &settings, QObject *parent)
    : QObject(parent), m_record(record), m_plan(record.plan()), m_waiting(waiting), m_settings(settings),
      m_results(size_t(m_plan.size()))
{
    connect(&m_record, &Record::broken, this, [this](const QString &why) { logFailed(why); });
}

BatchRun::~BatchRun() = default;

void BatchRun::addLane(const QString &port, const QString &device, WireTrace *trace)
{
    auto added = std::make_unique<Port>();
    LineSettings settings = m_settings;
    if (trace)
        settings.trace = trace;
    added->lane = std::make_unique<Lane>(port, device, settings);
    connect(added->lane.get(), &Lane::sameDeviceAnswers, this, [this, port] { emit sameDeviceAnswers(port); });
    connect(added->lane.get(), &Lane::openProblem, this, &BatchRun::problem);
    m_ports.push_back(std::move(added));
}

bool BatchRun::openPorts(QString *error)
{
    if (m_waiting != Waiting::Auto) {
        for (const auto &port : m_ports) {
            if (!port->lane->open(error))
                return false;
        }
    }
    return true;
}

BatchRun::Port *BatchRun::portNamed(const QString &name) const
{
    for (const auto &port : m_ports) {
        if (port->lane->port() == name)
            return port.get();
    }
    return nullptr;
}

QStringList BatchRun::portsInDoubtWithoutLane() const
{
    QStringList ports;
    for (const InDoubt &entry : m_record.inDoubt()) {
        if (!portNamed(entry.port) && !ports.contains(entry.port))
            ports << entry.port;
    }
    return ports;
}

void BatchRun::start()
{
    for (const InDoubt &entry : m_record.inDoubt()) {
        if (Port *port = portNamed(entry.port))
            port->rowsInDoubt.push_back(entry.row);
    }
    emit started();
    for (const auto &port : m_ports)
        checkNext(*port);
    finishIfDone();
}

void BatchRun::checkNext(Port &port)
{
    if (m_stopping || port.rowsInDoubt.empty()) {
        next(port);
        return;
    }
    port.row = port.rowsInDoubt.front();
    port.rowsInDoubt.pop_front();
    port.state = Port::Checking;
    announce(port, LaneState::Checking);
    QString error;
    QString logged;  // the log's detail is the same in every language
    if (!port.lane->open(&error, &logged)) {
        Attempt attempt;
        attempt.row = port.row;
        attempt.port = port.lane->port();
        attempt.result = Result::NoAnswer;
        attempt.detail = Phrases::kept(Phrases::Phrase::AfterLastRun)
                             .arg(logged + QLatin1String("; ") + Phrases::kept(Phrases::Phrase::DeviceMayHold));
        QMetaObject::invokeMethod(this, [this, &port, attempt] { checked(port, attempt); }, Qt::QueuedConnection);
        return;
    }
    port.lane->check(m_plan.row(port.row), [this, &port](const Attempt &attempt) { checked(port, attempt); });
}

void BatchRun::checked(Port &port, const Attempt &attempt)
{
    record(port, attempt, [this, &port, attempt] {
        m_checkedRows << tr("%1 on %2: %3").arg(m_plan.rowName(attempt.row), attempt.port,
                                                resultName(attempt.result));
        // Not on that device after all: the row is another device's to get.
        // On a shared record that may be another station's, whose verdict is
        // the row's: this run does not fail for it.
        if (attempt.result != Result::Ok) {
            m_record.release(attempt.row);
            if (m_record.isShared())
                m_results[size_t(attempt.row - 1)].reset();
        }
        checkNext(port);
        wakeIdlePorts();  // the others that went idle for want of rows
    });
}

void BatchRun::wakeIdlePorts()
{
    for (const auto &other : m_ports) {
        if (other->state == Port::Idle && !m_stopping && m_record.hasFreeRows())
            next(*other);
    }
}

void BatchRun::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    QStringList writing;
    for (const auto &port : m_ports) {
        if (port->state == Port::Beginning || port->state == Port::Provisioning || port->state == Port::Checking) {
            writing << port->lane->port();
        } else if (port->state == Port::AwaitingDevice) {
            port->lane->stopWaiting();
            port->held = false;
            giveBack(*port);
            port->state = Port::Idle;
            announce(*port, LaneState::Idle);
        }
    }
    m_record.stopWaiting();
    emit stopping(writing);
    finishIfDone();
}

void BatchRun::hold(bool held)
{
    m_held = held;
    if (held)
        return;
    for (const auto &port : m_ports) {
        if (std::exchange(port->held, false) && !m_stopping)
            begin(*port);
    }
}

void BatchRun::announce(const Port &port, LaneState state)
{
    const bool hasRow = state == LaneState::AwaitingDevice || state == LaneState::Provisioning
                        || state == LaneState::Checking;
    emit laneChanged(port.lane->port(), state, hasRow ? port.row : 0);
}

void BatchRun::next(Port &port)
{
    port.row = 0;
    if (m_stopping) {
        port.state = Port::Idle;
        announce(port, LaneState::Idle);
        finishIfDone();
        return;
    }
    port.state = Port::Claiming;
    m_record.claim(port.lane->port(), [this, &port](int row) { claimed(port, row); });
}

void BatchRun::claimed(Port &port, int row)
{
    if (row == 0 || m_stopping) {
        if (row != 0)
            m_record.release(row);
        port.state = Port::Idle;
        announce(port, LaneState::Idle);
        finishIfDone();
        return;
    }
    port.row = row;
    switch (m_waiting) {
    case Waiting::None:
        begin(port);
        return;
    case Waiting::Prompt:
        ask(port);
        return;
    case Waiting::Auto:
        port.state = Port::AwaitingDevice;
        announce(port, LaneState::AwaitingDevice);
        port.lane->awaitArrival([this, &port] { begin(port); });
        return;
    }
}

void BatchRun::ask(Port &port)
{
    port.state = Port::AwaitingDevice;
    announce(port, LaneState::AwaitingDevice);
    const int row = port.row;
    auto answered = [this, &port, row](Answer answer) {
        if (m_stopping || port.state != Port::AwaitingDevice || port.row != row)
            return;  // asked before a stop
        switch (answer) {
        case Answer::Go:
            begin(port);
            return;
        case Answer::Skip: {
            Attempt skipped;
            skipped.row = row;
            skipped.port = port.lane->port();
            skipped.result = Result::Skipped;
            record(port, skipped, [this, &port] { next(port); });
            return;
        }
        case Answer::Stop:
            stop();
            return;
        }
    };
    if (m_laneAsk)
        m_laneAsk(port.lane->port(), row, answered);
    else
        m_ask(tr("Connect %1 to %2, then press Enter; s skips, q stops").arg(m_plan.deviceName(row), port.lane->port()),
              answered);
}

void BatchRun::begin(Port &port)
{
    if (m_held) {
        port.held = true;
        port.state = Port::AwaitingDevice;  // stop() lets it go
        return;
    }
    QString error;
    if (!port.lane->open(&error)) {
        if (m_waiting == Waiting::Prompt) {
            emit problem(error);
            ask(port);
            return;
        }
        if (m_waiting == Waiting::None && port.lane->lost() && port.state != Port::AwaitingDevice) {
            awaitPort(port, error);
            return;
        }
        // Nothing more can be written on this port: its row goes to the others.
        emit problem(tr("%1; no more devices on it").arg(error));
        giveBack(port);
        port.state = Port::Closed;
        announce(port, LaneState::Closed);
        wakeIdlePorts();
        finishIfDone();
        return;
    }
    Attempt writing;
    writing.row = port.row;
    writing.port = port.lane->port();
    writing.result = Result::Writing;
    port.state = Port::Beginning;
    m_record.setWriting(writing, [this, &port](Record::Stored stored) { written(port, stored); });
}

void BatchRun::written(Port &port, Record::Stored stored)
{
    switch (stored) {
    case Record::Stored::Yes:
        port.state = Port::Provisioning;
        announce(port, LaneState::Provisioning);
        emit rowStarted(port.row, port.lane->port());
        port.lane->provision(m_plan.row(port.row), [this, &port](const Attempt &attempt) { provisioned(port, attempt); });
        return;
    case Record::Stored::RowLost:
        next(port);  // another station has it now; nothing was sent
        return;
    case Record::Stored::Failed: {
        const QString row = m_plan.rowName(port.row);
        giveBack(port);
        port.state = Port::Idle;
        logFailed(tr("cannot write %1: %2; nothing was sent for %3 on %4")
                      .arg(m_record.name(), m_record.errorString(), row, port.lane->port()));
        return;
    }
    }
}

// A lane whose port went away waits for the same name to come back, then
// carries on with the row it holds; the other lanes go on meanwhile.
void BatchRun::awaitPort(Port &port, const QString &error)
{
    port.state = Port::AwaitingDevice;
    announce(port, LaneState::PortLost);
    emit portLost(port.lane->port(), error);
    port.lane->awaitPort(m_settings.portWaitMs, [this, &port](bool back) {
        if (back)
            emit portBack(port.lane->port());
        else
            emit problem(tr("%1: not back after %2 s").arg(port.lane->port()).arg(m_settings.portWaitMs / 1000));
        begin(port);
    });
}

void BatchRun::closeLane(Port &port, const QString &why)
{
    emit problem(tr("%1; no more devices on it").arg(why));
    port.state = Port::Closed;
    announce(port, LaneState::Closed);
    wakeIdlePorts();
    finishIfDone();
}

void BatchRun::giveBack(Port &port)
{
    if (port.row != 0)
        m_record.release(port.row);
    port.row = 0;
}

void BatchRun::provisioned(Port &port, const Attempt &attempt)
{
    record(port, attempt, [this, &port] {
        // A fixture whose lane never answers is not worth a time-out on every row left.
        if (m_waiting == Waiting::None && port.lane->unansweredRows() >= UnansweredRowsToStop && !m_stopping) {
            closeLane(port, tr("%1: no answer to %2 rows in a row; %3")
                                .arg(PortMap::displayName(port.lane->port())).arg(UnansweredRowsToStop)
                                .arg(PortMap::noAnswerHint()));
            return;
        }
        if (m_waiting == Waiting::Auto && !m_stopping && m_record.hasFreeRows()) {
            port.state = Port::AwaitingDevice;
            announce(port, LaneState::AwaitingDeparture);
            port.lane->awaitDeparture([this, &port] { next(port); });
            return;
        }
        next(port);
    });
}

void BatchRun::logFailed(const QString &message)
{
    m_logFailed = true;
    emit problem(message);
    stop();
}

void BatchRun::record(Port &port, const Attempt &attempt, std::function<void()> then)
{
    port.state = Port::Recording;
    m_record.setVerdict(attempt, [this, &port, attempt, then = std::move(then)](Record::Stored stored) {
        port.state = Port::Idle;
        // Only what is on the record counts: the summary must not claim more.
        if (stored == Record::Stored::Yes) {
            m_results[size_t(attempt.row - 1)] = attempt.result;
            ++m_recorded;
        }
        emit attemptFinished(attempt, int(m_record.okRows().size()) + m_recorded);
        const QString line = logLine(m_plan, attempt, QDateTime::currentDateTimeUtc());
        if (stored == Record::Stored::Failed)
            logFailed(tr("cannot write %1: %2; not recorded: %3").arg(m_record.name(), m_record.errorString(), line));
        else if (stored == Record::Stored::RowLost)
            emit problem(tr("%1: %2 was settled elsewhere while it was written; not recorded: %3")
                             .arg(m_record.name(), m_plan.rowName(attempt.row), line));
        then();
    });
}

void BatchRun::finishIfDone()
{
    if (m_finished)
        return;
    for (const auto &port : m_ports) {
        if (port->state != Port::Idle && port->state != Port::Closed)
            return;
    }
    m_finished = true;
    QMetaObject::invokeMethod(this, [this] { m_record.runEnded([this] { emit finished(); }); }, Qt::QueuedConnection);
}

int BatchRun::count(Result result) const
{
    return int(std::count(m_results.begin(), m_results.end(), result));
}

QString BatchRun::summary() const
{
    // A shared plan is this run's rows only; the record tells of the rest.
    const bool shared = m_record.isShared();
    const int ok = (shared ? 0 : int(m_record.okRows().size())) + count(Result::Ok);
    const int others = count(Result::Mismatch) + count(Result::Refused) + count(Result::NoAnswer);
    const int total = shared ? ok + others + count(Result::Skipped) : m_plan.size();
    const int left = total - ok - others - count(Result::Skipped);
    QStringList parts = {tr("%1 ok").arg(ok), tr("%1 mismatch").arg(count(Result::Mismatch))};
    if (count(Result::Refused) > 0)
        parts << tr("%1 refused").arg(count(Result::Refused));
    parts << tr("%1 no answer").arg(count(Result::NoAnswer))
          << tr("%1 skipped").arg(count(Result::Skipped));
    if (left > 0)
        parts << tr("%1 left").arg(left);
    const char *const head = shared ? (total == 1 ? QT_TR_NOOP("%1 row here: %2") : QT_TR_NOOP("%1 rows here: %2"))
                                    : (total == 1 ? QT_TR_NOOP("%1 row: %2") : QT_TR_NOOP("%1 rows: %2"));
    QString summary = tr(head).arg(total).arg(parts.join(QLatin1String(", ")));
    if (!m_record.summaryNote().isEmpty())
        summary += QLatin1String("; ") + m_record.summaryNote();
    if (!m_checkedRows.isEmpty())
        summary = tr("%1; read again after the last run stopped: %2").arg(summary, m_checkedRows.join(QLatin1String(", ")));
    return summary;
}

bool BatchRun::allOk() const
{
    if (m_record.isShared())
        return count(Result::Mismatch) + count(Result::Refused) + count(Result::NoAnswer) == 0;
    return int(m_record.okRows().size()) + count(Result::Ok) + count(Result::Skipped) == m_plan.size();
}

} // namespace Batch
