// Velmora Bench: provisioning a batch of devices from a window. The plan is
// a table that shows every problem on its cell; lanes are the ports, each
// provisioning one device at a time; the record is exactly the log
// velmora-cli batch writes, so either can resume the other's run.
#pragma once

#include "batch/batchrun.h"
#include "plantable.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QSet>
#include <QTimer>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QTableView;

namespace Bench {

class LanePanel;
class LineMonitor;
class ResultFilter;
class RunSession;

class BenchWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit BenchWindow(QWidget *parent = nullptr);
    ~BenchWindow() override;

    // Opens a plan and, where its log exists, shows the rows it has as ok.
    // The log is PLAN.log.csv beside the plan unless setLogFile() follows.
    bool openPlan(const QString &fileName, QString *error);
    void setLogFile(const QString &fileName);
    QString logFile() const { return m_logFile; }
    static QString defaultLogFile(const QString &planFile);
    void setWaiting(Batch::Waiting waiting);
    Batch::Waiting waiting() const;
    // The line's answer timeout and retries, as velmora-cli's --timeout and --retries.
    void setLineSettings(const Batch::LineSettings &settings) { m_lineSettings = settings; }
    // Closes the window once a run has ended.
    void setQuitWhenDone(bool quit) { m_quitWhenDone = quit; }

    // False with the reason in the status bar where the run cannot start.
    bool start();
    // Starts no other device; those being written are finished and recorded.
    void stop();
    bool isRunning() const { return bool(m_session); }
    // What velmora-cli batch would exit with for the last run.
    int exitStatus() const { return m_exitStatus; }

    // The report of the plan and its run, as HTML (File > Export report).
    QString report() const;

    // The window as it was left: size, columns, last plan and ports.
    void restoreSettings();
    void restoreLastPlanAndPorts();

    PlanTable *planTable = nullptr;
    ResultFilter *resultFilter = nullptr;
    QTableView *planView = nullptr;
    QListWidget *problemList = nullptr;
    LanePanel *lanePanel = nullptr;
    LineMonitor *lineMonitor = nullptr;
    QComboBox *waitingChoice = nullptr;
    QCheckBox *allowDuplicates = nullptr;
    QCheckBox *allowOddAddresses = nullptr;
    QCheckBox *failedOnly = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *stopButton = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *countsLabel = nullptr;
    QLabel *problemLabel = nullptr;  // what went wrong in the run that is no device's result
    QLabel *logLabel = nullptr;
    QPushButton *logButton = nullptr;

    QAction *newAction = nullptr;
    QAction *openAction = nullptr;
    QAction *saveAction = nullptr;
    QAction *saveAsAction = nullptr;
    QAction *exportAction = nullptr;
    QAction *quitAction = nullptr;

signals:
    // A run has ended; status as velmora-cli batch would exit.
    void runFinished(int status);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildControls();
    void saveSettings() const;

    // The plan
    void choosePlan();
    void newPlan();
    bool savePlan();
    bool savePlanAs();
    void exportReport();
    void chooseLogFile();
    void showProblems();
    void jumpToProblem(QListWidgetItem *item);
    void showEarlierRun();
    void updateChecks();
    void updateStartable();

    // The run
    void finishRun();
    void refuse(const QString &reason, int status);
    void laneChanged(const QString &port, Batch::LaneState state, int row);
    void rowStarted(int row, const QString &port);
    void attemptFinished(const Batch::Attempt &attempt, int done);
    void traceLine(const QString &port, const QByteArray &line);
    void askLane(const QString &port, int row, std::function<void(Batch::Answer)> answered);
    void updateProgress();
    void refreshSoon();
    void refresh();
    QString deviceName(int row) const;

    QString m_logFile;
    Batch::LineSettings m_lineSettings;
    std::unique_ptr<RunSession> m_session;
    QElapsedTimer m_runClock;
    int m_attemptsThisRun = 0;
    QHash<QString, int> m_provisioningRow;  // by port: the row a lane writes now
    QHash<QString, QString> m_phase;        // by port: reading, writing, verifying
    // What changes with every frame or device is shown a few times a second,
    // so that the window never slows the lanes down.
    QTimer *m_refreshTimer = nullptr;
    QSet<QString> m_phaseChanged;  // lanes whose step is not shown yet
    QHash<QString, Batch::Attempt> m_laneResults;  // by port: the last result not shown yet
    QString m_lastProgress;
    bool m_progressChanged = false;
    int m_exitStatus = 0;
    bool m_quitWhenDone = false;
    bool m_closeWhenDone = false;
};

} // namespace Bench
