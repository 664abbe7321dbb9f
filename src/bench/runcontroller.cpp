#include "runcontroller.h"

#include "protocol/frame.h"

namespace Bench {

namespace {

QString minutesAndSeconds(double seconds)
{
    const int whole = int(seconds + 0.5);
    return whole >= 60 ? QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60)
                       : QStringLiteral("%1 s").arg(whole);
}

} // namespace

RunController::RunController(PlanTable *table, QObject *parent) : QObject(parent), m_table(table)
{
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setObjectName(QStringLiteral("refreshTimer"));
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(100);
    connect(m_refreshTimer, &QTimer::timeout, this, &RunController::refresh);
}

RunController::~RunController() = default;

const Batch::Plan &RunController::plan() const
{
    return m_session ? m_session->plan() : m_table->plan();
}

bool RunController::open(std::unique_ptr<RunSession> session, Batch::Waiting waiting,
                         const std::vector<RunSession::LaneSpec> &lanes, const QString &logFile, QString *error,
                         Exit::Status *status)
{
    m_session = std::move(session);
    m_waiting = waiting;
    connect(m_session.get(), &RunSession::traceLine, this, &RunController::traced);
    QStringList errors;
    QStringList warnings;
    const RunSession::Failure failure = m_session->open(lanes, logFile, &errors, &warnings);
    if (!warnings.isEmpty())
        emit message(warnings.join(QLatin1String("; ")));
    if (failure != RunSession::None) {
        m_session.reset();
        *error = errors.join(QLatin1Char('\n'));
        *status = RunSession::exitStatus(failure);
        return false;
    }

    m_ports.clear();
    for (const RunSession::LaneSpec &lane : lanes)
        m_ports << lane.port;
    Batch::BatchRun &run = m_session->run();
    connect(&run, &Batch::BatchRun::laneChanged, this, &RunController::laneChanged);
    connect(&run, &Batch::BatchRun::rowStarted, m_table, &PlanTable::setBusy);
    connect(&run, &Batch::BatchRun::attemptFinished, this, &RunController::attemptFinished);
    connect(&m_session->progress(), &Batch::ProgressLines::line, this, [this](const QString &line) {
        m_lastProgress = line;
        refreshSoon();
    });
    connect(&run, &Batch::BatchRun::problem, this, &RunController::problem);
    connect(&run, &Batch::BatchRun::finished, this, &RunController::finish);
    connect(&m_session->record(), &Batch::Record::unreachable, this, &RunController::recordUnreachable);
    connect(&m_session->record(), &Batch::Record::reachable, this, &RunController::recordReachable);
    connect(&m_session->record(), &Batch::Record::warning, this, &RunController::recordWarning);
    run.setLaneAsk([this](const QString &port, int row, Answered answered) {
        emit laneAsking(port, tr("Connect %1, then Next").arg(deviceName(row)), answered);
    });
    return true;
}

void RunController::start()
{
    m_attemptsThisRun = 0;
    m_runMs = 0;
    m_provisioningRow.clear();
    m_phase.clear();
    m_runClock.start();
    emit started();
    m_session->run().start();
}

void RunController::stop()
{
    if (m_session)
        m_session->run().stop();
}

void RunController::hold(bool held)
{
    if (m_session)
        m_session->run().hold(held);
}

void RunController::refused(int status)
{
    m_exitStatus = status;
    forgetRate();  // no rate for a run that never began
}

void RunController::forgetRate()
{
    m_attemptsThisRun = 0;
    m_runMs = 0;
    m_runClock.invalidate();
}

void RunController::finish()
{
    m_refreshTimer->stop();
    refresh();
    m_table->flushChanges();
    Batch::BatchRun &run = m_session->run();
    m_exitStatus = run.logFailed() ? Exit::UsageError : run.allOk() ? Exit::Success : Exit::RowsNotOk;
    emit message(run.summary());
    for (const QString &port : std::as_const(m_ports))
        emit laneAskingStopped(port);
    m_runMs = m_runClock.elapsed();
    // The ports and the log are let go once the engine has returned; then
    // the record says what it holds now.
    RunSession *ended = m_session.release();
    connect(ended, &QObject::destroyed, this, &RunController::closed);
    ended->deleteLater();
    emit finished(m_exitStatus);
}

QString RunController::deviceName(int row) const
{
    const Batch::Plan &rows = plan();
    if (row < 1 || row > rows.size())
        return QString();
    const QString id = rows.row(row).id;
    return id.isEmpty() ? tr("device %1 of %2").arg(row).arg(rows.size()) : id;
}

void RunController::laneChanged(const QString &port, Batch::LaneState state, int row)
{
    if (state != Batch::LaneState::AwaitingDevice)
        emit laneAskingStopped(port);
    m_provisioningRow.remove(port);
    m_phaseChanged.remove(port);
    switch (state) {
    case Batch::LaneState::Idle:
        emit laneState(port, tr("idle"));
        return;
    case Batch::LaneState::AwaitingDevice:
        if (m_waiting == Batch::Waiting::Auto) {
            emit laneState(port, tr("waiting for %1 (row %2)").arg(deviceName(row)).arg(row));
            emit deviceWanted(port);  // a simulated lane gets its next device at once
        }
        return;  // asked: the question is on the lane
    case Batch::LaneState::AwaitingDeparture:
        emit laneState(port, tr("done: unplug the device"));
        emit deviceDone(port);
        return;
    case Batch::LaneState::Provisioning:
    case Batch::LaneState::Checking:
        m_provisioningRow.insert(port, row);
        m_phase.insert(port, QString());
        emit laneState(port, tr("reading %1").arg(deviceName(row)));  // a READ comes first
        return;
    case Batch::LaneState::Closed:
        emit laneState(port, tr("closed: no more devices on it"));
        return;
    case Batch::LaneState::PortLost:
        emit laneState(port, tr("port lost: waiting for it to come back"));
        return;
    }
}

void RunController::attemptFinished(const Batch::Attempt &attempt)
{
    m_table->setOutcome(attempt);
    if (attempt.result != Batch::Result::Skipped)
        ++m_attemptsThisRun;
    m_laneResults.insert(attempt.port, attempt);
    refreshSoon();
}

// The frames a lane sends tell where its device is: READ, then SET ALL,
// then the READ that verifies.
void RunController::traced(const QString &port, const QByteArray &line)
{
    emit traceLine(port, line);
    const auto row = m_provisioningRow.constFind(port);
    if (row == m_provisioningRow.constEnd())
        return;
    // "12.3 PORT TX aa 05 ...": the port, which may hold blanks, after the time.
    const QByteArray named = ' ' + port.toLocal8Bit() + ' ';
    const qsizetype after = line.indexOf(named);
    if (after < 0)
        return;
    const QList<QByteArray> fields = line.mid(after + named.size()).split(' ');
    if (fields.size() < 4 || fields.at(0) != "TX")
        return;
    const Protocol::CommandInfo *command = Protocol::infoForFrame(quint8(fields.at(3).toUInt(nullptr, 16)),
                                                                  quint8(fields.at(2).toUInt(nullptr, 16)));
    if (!command)
        return;
    QString &phase = m_phase[port];
    if (command->command == Protocol::Command::SetAll)
        phase = tr("writing");
    else if (command->command == Protocol::Command::Read)
        phase = phase == tr("writing") || phase == tr("verifying") ? tr("verifying") : tr("reading");
    else
        return;
    m_phaseChanged.insert(port);
    refreshSoon();
}

void RunController::refreshSoon()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
}

void RunController::refresh()
{
    for (const QString &port : std::as_const(m_phaseChanged)) {
        const auto row = m_provisioningRow.constFind(port);
        if (row != m_provisioningRow.constEnd())
            emit laneState(port, tr("%1 %2").arg(m_phase.value(port), deviceName(*row)));
    }
    m_phaseChanged.clear();
    for (auto it = m_laneResults.cbegin(); it != m_laneResults.cend(); ++it)
        emit laneResult(it.key(), tr("%1: %2").arg(deviceName(it->row), resultText(it->result)), it->detail);
    m_laneResults.clear();
    if (!m_lastProgress.isEmpty())
        emit message(std::exchange(m_lastProgress, QString()));
    m_table->flushChanges();  // the rows with their lanes, and the counts with them
}

QString RunController::countsText(const PlanTable::Counts &counts) const
{
    QString text = tr("%1 ok, %2 mismatch, %3 refused, %4 no answer, %5 skipped, %6 left")
                       .arg(counts.ok).arg(counts.mismatch).arg(counts.refused).arg(counts.noAnswer)
                       .arg(counts.skipped).arg(counts.left);
    // Of this run, or of the last one once it has ended: never of another plan's.
    const qint64 ms = isRunning() ? m_runClock.elapsed() : m_runMs;
    const double minutes = double(ms) / 60000.0;
    if (m_attemptsThisRun > 0 && minutes > 0) {
        const double perMinute = m_attemptsThisRun / minutes;
        text += tr("; %1 devices/min").arg(perMinute, 0, 'f', 1);
        if (isRunning() && counts.left > 0)
            text += tr(", %1 left").arg(minutesAndSeconds(counts.left / perMinute * 60));
    }
    return text;
}

} // namespace Bench
