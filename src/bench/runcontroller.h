// A run of the bench, without its window: Start over a RunSession, the
// engine's events turned into what each lane and the table show, Stop, and
// what the run ends with. What changes with every frame or device is told a
// few times a second, so that the window never slows the lanes down.
#pragma once

#include "plantable.h"
#include "runsession.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

namespace Bench {

class RunController : public QObject
{
    Q_OBJECT

public:
    using Answered = std::function<void(Batch::Answer)>;

    explicit RunController(PlanTable *table, QObject *parent = nullptr);
    ~RunController() override;

    bool isRunning() const { return bool(m_session); }
    // What velmora-cli batch would exit with for the last run.
    int exitStatus() const { return m_exitStatus; }
    // The plan of the run going on, else the table's.
    const Batch::Plan &plan() const;

    // Opens the session's lanes and record; false with the reason in *error
    // and the status to refuse the run with in *status.
    bool open(std::unique_ptr<RunSession> session, Batch::Waiting waiting,
              const std::vector<RunSession::LaneSpec> &lanes, const QString &logFile, QString *error,
              Exit::Status *status);
    // The run opened: started(), then its devices are begun.
    void start();
    // Starts no other device; those being written are finished and recorded.
    void stop();
    // While held, no device is begun.
    void hold(bool held);
    // A run that never began: it ends with status, and has no rate.
    void refused(int status);
    // No rate until the next run: another plan or line.
    void forgetRate();

    // The counts, with the devices a minute and the time left of this run,
    // or of the last one once it has ended.
    QString countsText(const PlanTable::Counts &counts) const;

signals:
    // The run's clock runs; no device is begun yet.
    void started();
    void laneState(const QString &port, const QString &text);
    void laneResult(const QString &port, const QString &text, const QString &detail);
    void laneAsking(const QString &port, const QString &question, const Bench::RunController::Answered &answered);
    void laneAskingStopped(const QString &port);
    // For a run that waits for devices to be swapped (--auto).
    void deviceDone(const QString &port);
    void deviceWanted(const QString &port);
    void traceLine(const QString &port, const QByteArray &line);
    // For the status bar.
    void message(const QString &text);
    // What went wrong in the run that is no device's result.
    void problem(const QString &line);
    void recordUnreachable(const QDateTime &since);
    void recordReachable();
    // What the person must act on, kept in view: a row on two devices.
    void recordWarning(const QString &text);
    // The run has ended; status as velmora-cli batch would exit.
    void finished(int status);
    // Its ports and log are let go: the record says what it holds now.
    void closed();

private:
    void finish();
    void laneChanged(const QString &port, Batch::LaneState state, int row);
    void attemptFinished(const Batch::Attempt &attempt);
    void traced(const QString &port, const QByteArray &line);
    void refreshSoon();
    void refresh();
    QString deviceName(int row) const;

    PlanTable *m_table = nullptr;
    std::unique_ptr<RunSession> m_session;
    Batch::Waiting m_waiting = Batch::Waiting::Prompt;
    QStringList m_ports;
    int m_exitStatus = 0;
    // The devices a minute of the last run: its attempts over its time.
    QElapsedTimer m_runClock;
    qint64 m_runMs = 0;  // once it has ended
    int m_attemptsThisRun = 0;
    QHash<QString, int> m_provisioningRow;  // by port: the row a lane writes now
    QHash<QString, QString> m_phase;        // by port: reading, writing, verifying
    QTimer *m_refreshTimer = nullptr;
    QSet<QString> m_phaseChanged;  // lanes whose step is not shown yet
    QHash<QString, Batch::Attempt> m_laneResults;  // by port: the last result not shown yet
    QString m_lastProgress;
};

} // namespace Bench
