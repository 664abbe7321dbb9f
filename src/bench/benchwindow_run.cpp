// The run: Start, the engine's events shown on the lanes and the table, Stop.
#include "benchwindow.h"

#include "lanepanel.h"
#include "linemonitor.h"
#include "protocol/frame.h"
#include "runsession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QApplication>

namespace Bench {

namespace {

constexpr int StatusMs = 20000;

QString minutesAndSeconds(double seconds)
{
    const int whole = int(seconds + 0.5);
    return whole >= 60 ? QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60)
                       : QStringLiteral("%1 s").arg(whole);
}

} // namespace

void BenchWindow::refuse(const QString &reason, int status, const QString &title)
{
    m_exitStatus = status;
    m_attemptsThisRun = 0;  // no rate for a run that never began
    m_runMs = 0;
    m_runClock.invalidate();
    updateProgress();
    statusBar()->showMessage(reason, StatusMs);
    if (m_quitWhenDone) {
        emit runFinished(status);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Warning, title.isEmpty() ? tr("Start") : title, reason, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("refusalBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();  // the window goes on working behind it
    emit runFinished(status);
}

bool BenchWindow::start()
{
    if (isRunning() || m_opening)
        return false;
    if (!planTable->isValid()) {
        refuse(planTable->problems().isEmpty()
                   ? tr("Open a plan first")
                   : tr("The plan has %n problem(s); the first: %1", nullptr, int(planTable->problems().size()))
                         .arg(planTable->problems().first().shown),
               Exit::UsageError);
        return false;
    }
    if (lanePanel->ports().isEmpty()) {
        refuse(tr("Add a lane first: a port a device is connected to"), Exit::UsageError);
        return false;
    }
    if (isLine()) {
        startOnLine();
        return true;
    }
    // The plan on the disk is the one the log records, so that velmora-cli
    // batch can resume the run.
    if (planTable->isModified() && !savePlan()) {
        refuse(tr("The plan is not saved: not started"), Exit::UsageError);
        return false;
    }
    return beginRun(std::make_unique<RunSession>(planTable->plan(), waiting(), m_lineSettings));
}

bool BenchWindow::beginRun(std::unique_ptr<RunSession> session)
{
    m_session = std::move(session);
    std::vector<RunSession::LaneSpec> lanes;
    for (const QString &port : lanePanel->ports())
        lanes.push_back({port, lanePanel->device(port)});
    connect(m_session.get(), &RunSession::traceLine, this, &BenchWindow::traceLine);
    QStringList errors;
    QStringList warnings;
    const RunSession::Failure failure = m_session->open(lanes, m_logFile, &errors, &warnings);
    if (!warnings.isEmpty())
        statusBar()->showMessage(warnings.join(QLatin1String("; ")), StatusMs);
    if (failure != RunSession::None) {
        m_session.reset();
        refuse(errors.join(QLatin1Char('\n')), RunSession::exitStatus(failure));
        return false;
    }

    Batch::BatchRun &run = m_session->run();
    connect(&run, &Batch::BatchRun::laneChanged, this, &BenchWindow::laneChanged);
    connect(&run, &Batch::BatchRun::rowStarted, this, &BenchWindow::rowStarted);
    connect(&run, &Batch::BatchRun::attemptFinished, this, &BenchWindow::attemptFinished);
    connect(&m_session->progress(), &Batch::ProgressLines::line, this, [this](const QString &line) {
        m_lastProgress = line;
        refreshSoon();
    });
    connect(&run, &Batch::BatchRun::problem, this, [this](const QString &line) {
        // Kept in sight until the next Start: the status line moves on.
        problemLabel->setText(problemLabel->text().isEmpty() ? line : problemLabel->text() + QLatin1Char('\n') + line);
        problemLabel->show();
    });
    connect(&run, &Batch::BatchRun::finished, this, &BenchWindow::finishRun);
    connect(&m_session->record(), &Batch::Record::unreachable, this, &BenchWindow::showUnreachable);
    connect(&m_session->record(), &Batch::Record::reachable, this, &BenchWindow::showReachable);
    run.setLaneAsk([this](const QString &port, int row, std::function<void(Batch::Answer)> answered) {
        askLane(port, row, std::move(answered));
    });

    problemLabel->clear();
    problemLabel->hide();
    // A line's rows stay as the record has them; a log's are read again.
    if (!isLine()) {
        planTable->clearOutcomes();
        QList<Batch::LogRecord> earlier;
        QString error;
        if (Batch::readLogFile(m_logFile, &earlier, &error))
            planTable->markEarlierOk(Batch::rowOutcomes(m_session->plan(), earlier));
    }
    lanePanel->clearLanes();
    setRunControls(true);
    m_closeWhenDone = false;  // a close asked for belongs to the run it was asked in
    m_attemptsThisRun = 0;
    m_runMs = 0;
    m_provisioningRow.clear();
    m_phase.clear();
    m_runClock.start();
    showEarlierRun();
    updateProgress();
    run.start();
    return true;
}

void BenchWindow::setRunControls(bool running)
{
    planTable->setEditable(!running);
    lanePanel->setRunning(running);
    // A line's plan and record are the shared record's, not this bench's to change.
    const bool ownPlan = !running && !isLine();
    waitingChoice->setEnabled(!running);
    for (QWidget *control : std::initializer_list<QWidget *>{allowDuplicates, allowOddAddresses, logButton})
        control->setEnabled(ownPlan);
    for (QAction *action : {newAction, openAction, openLineAction})
        action->setEnabled(!running);
    for (QAction *action : {saveAsAction, fillDownAction})
        action->setEnabled(ownPlan);
    saveAction->setEnabled(!isLine());
    stopButton->setEnabled(running);
    stopAction->setEnabled(running);
    updateStartable();
}

void BenchWindow::stop()
{
    if (!isRunning())
        return;
    stopButton->setEnabled(false);
    stopAction->setEnabled(false);
    m_session->run().stop();
}

void BenchWindow::finishRun()
{
    m_refreshTimer->stop();
    refresh();
    planTable->flushChanges();
    Batch::BatchRun &run = m_session->run();
    m_exitStatus = run.logFailed() ? Exit::UsageError : run.allOk() ? Exit::Success : Exit::RowsNotOk;
    statusBar()->showMessage(run.summary(), StatusMs);
    for (const QString &port : lanePanel->ports()) {
        if (LaneView *lane = lanePanel->lane(port))
            lane->stopAsking();
    }
    m_runMs = m_runClock.elapsed();
    // The ports and the log are let go once the engine has returned; then
    // the record says what it holds now.
    RunSession *ended = m_session.release();
    connect(ended, &QObject::destroyed, this, [this] { showEarlierRun(false); });
    ended->deleteLater();
    setRunControls(false);
    updateProgress();
    if (closeQuestion)
        closeQuestion->setText(tr("The run has ended. Close the window?"));
    emit runFinished(m_exitStatus);
    if (std::exchange(m_closeWhenDone, false) || m_quitWhenDone)
        close();
}

QString BenchWindow::deviceName(int row) const
{
    const Batch::Plan &plan = m_session ? m_session->plan() : planTable->plan();
    if (row < 1 || row > plan.size())
        return QString();
    const QString id = plan.row(row).id;
    return id.isEmpty() ? tr("device %1 of %2").arg(row).arg(plan.size()) : id;
}

void BenchWindow::askLane(const QString &port, int row, std::function<void(Batch::Answer)> answered)
{
    LaneView *lane = lanePanel->lane(port);
    lane->ask(tr("Connect %1, then Next").arg(deviceName(row)), std::move(answered));
}

void BenchWindow::laneChanged(const QString &port, Batch::LaneState state, int row)
{
    LaneView *lane = lanePanel->lane(port);
    if (!lane)
        return;
    if (state != Batch::LaneState::AwaitingDevice)
        lane->stopAsking();
    m_provisioningRow.remove(port);
    m_phaseChanged.remove(port);
    switch (state) {
    case Batch::LaneState::Idle:
        lane->setState(tr("idle"));
        return;
    case Batch::LaneState::AwaitingDevice:
        if (waiting() == Batch::Waiting::Auto) {
            lane->setState(tr("waiting for %1 (row %2)").arg(deviceName(row)).arg(row));
            lanePanel->plugNewSimulated(port);  // a simulated lane gets its next device at once
        }
        return;  // asked: the question is on the lane
    case Batch::LaneState::AwaitingDeparture:
        lane->setState(tr("done: unplug the device"));
        lanePanel->unplugSimulated(port);
        return;
    case Batch::LaneState::Provisioning:
    case Batch::LaneState::Checking:
        m_provisioningRow.insert(port, row);
        m_phase.insert(port, QString());
        lane->setState(tr("reading %1").arg(deviceName(row)));  // a READ comes first
        return;
    case Batch::LaneState::Closed:
        lane->setState(tr("closed: no more devices on it"));
        return;
    case Batch::LaneState::PortLost:
        lane->setState(tr("port lost: waiting for it to come back"));
        return;
    }
}

void BenchWindow::rowStarted(int row, const QString &port)
{
    planTable->setBusy(row, port);
}

void BenchWindow::attemptFinished(const Batch::Attempt &attempt, int /*done*/)
{
    planTable->setOutcome(attempt);
    if (attempt.result != Batch::Result::Skipped)
        ++m_attemptsThisRun;
    m_laneResults.insert(attempt.port, attempt);
    refreshSoon();
}

// The frames a lane sends tell where its device is: READ, then SET ALL,
// then the READ that verifies.
void BenchWindow::traceLine(const QString &port, const QByteArray &line)
{
    lineMonitor->addLine(port, line);
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

void BenchWindow::refreshSoon()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
}

void BenchWindow::refresh()
{
    for (const QString &port : std::as_const(m_phaseChanged)) {
        LaneView *lane = lanePanel->lane(port);
        const auto row = m_provisioningRow.constFind(port);
        if (lane && row != m_provisioningRow.constEnd())
            lane->setState(tr("%1 %2").arg(m_phase.value(port), deviceName(*row)));
    }
    m_phaseChanged.clear();
    for (auto it = m_laneResults.cbegin(); it != m_laneResults.cend(); ++it) {
        if (LaneView *lane = lanePanel->lane(it.key()))
            lane->setResult(tr("%1: %2").arg(deviceName(it->row), resultText(it->result)), it->detail);
    }
    m_laneResults.clear();
    if (!m_lastProgress.isEmpty())
        statusBar()->showMessage(std::exchange(m_lastProgress, QString()), StatusMs);
    planTable->flushChanges();  // the rows with their lanes, and the counts with them
}

void BenchWindow::updateProgress()
{
    const PlanTable::Counts counts = planTable->counts();
    progressBar->setMaximum(std::max(1, counts.done() + counts.left));
    progressBar->setValue(counts.done());
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
    countsLabel->setText(isLine() ? lineSummary() + QLatin1String("; ") + text : text);
}

} // namespace Bench
