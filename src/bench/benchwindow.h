// Velmora Bench: provisioning a batch of devices from a window. The plan is
// a table that shows every problem on its cell; lanes are the ports, each
// provisioning one device at a time; the record is exactly the log
// velmora-cli batch writes, so either can resume the other's run. The
// report and the labels are made from that log.
//
// Or the plan is a line of a record several benches share: the table shows
// the whole line as the record holds it, kept live, and this bench's lanes
// provision rows of it as a station of the line.
#pragma once

#include "batch/batchrun.h"
#include "batch/logrecords.h"
#include "plantable.h"

#include "line/stationplace.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QSet>
#include <QTimer>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTableView;

namespace Line {
class LineRecord;
class LineWatcher;
struct RowState;
} // namespace Line

namespace Bench {

class LanePanel;
class LineMonitor;
class ResultFilter;
class RunSession;
struct LabelFormat;
struct ReportHeader;

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
    // Opens a line of a shared record in place of the plan: lineOpened(),
    // or recordRefused() and the reason where the person looks.
    void openLine(const Line::StationPlace &place);
    bool isLine() const { return planTable->isLine(); }
    const Line::StationPlace &linePlace() const { return m_place; }
    QString logFile() const { return m_logFile; }
    static QString defaultLogFile(const QString &planFile);
    void setWaiting(Batch::Waiting waiting);
    Batch::Waiting waiting() const;
    // The line's answer timeout and retries, as velmora-cli's --timeout and --retries.
    void setLineSettings(const Batch::LineSettings &settings) { m_lineSettings = settings; }
    // Closes the window once a run has ended.
    void setQuitWhenDone(bool quit) { m_quitWhenDone = quit; }

    // False with the reason in the status bar where the run cannot start.
    // On a line the record is opened first, without waiting for it: a
    // refusal then comes as recordRefused().
    bool start();
    // Starts no other device; those being written are finished and recorded.
    void stop();
    bool isRunning() const { return bool(m_session); }
    // What velmora-cli batch would exit with for the last run.
    int exitStatus() const { return m_exitStatus; }

    // Who exports the report, asked once and remembered.
    QString operatorName() const;
    void setOperatorName(const QString &name);
    // The report of the plan's log as a PDF, with a CSV of its table beside
    // it (the same name, .csv); false with the reason in *error.
    bool writeReport(const QString &pdfFile, QString *error);
    // Labels for the rows done ok, or for those of them in rows (of the
    // plan, counted from 1) where rows is not empty; false with the reason.
    bool writeLabels(const QString &pdfFile, const LabelFormat &format, const QSet<int> &rows, QString *error);
    // The plan rows selected in the table.
    QSet<int> selectedRows() const;

    // The window as it was left: size, columns, last plan and ports.
    void restoreSettings();
    void restoreLastPlanAndPorts();

    PlanTable *planTable = nullptr;
    ResultFilter *resultFilter = nullptr;
    QTableView *planView = nullptr;
    QLineEdit *findEdit = nullptr;
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
    QMessageBox *closeQuestion = nullptr;  // open while a close during a run is asked

    QAction *newAction = nullptr;
    QAction *openAction = nullptr;
    QAction *openLineAction = nullptr;
    QAction *saveAction = nullptr;
    QAction *saveAsAction = nullptr;
    QAction *exportAction = nullptr;
    QAction *printReportAction = nullptr;
    QAction *labelsAction = nullptr;
    QAction *quitAction = nullptr;
    QAction *startAction = nullptr;
    QAction *stopAction = nullptr;
    QAction *findAction = nullptr;
    QAction *fillDownAction = nullptr;

signals:
    // A run has ended; status as velmora-cli batch would exit.
    void runFinished(int status);
    void lineOpened();
    // The record of a line could not be used; status as velmora-cli would exit.
    void recordRefused(int status, const QString &reason);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildControls();
    void saveSettings() const;
    void askToClose();
    void closeAnswered(int button);

    // The plan
    void choosePlan();
    void newPlan();
    bool savePlan();
    bool savePlanAs();
    void chooseLogFile();
    void showProblems();
    void jumpToProblem(QListWidgetItem *item);
    // The record's rows and what it holds; markRows: the rows it has as ok shown done.
    void showEarlierRun(bool markRows = true);
    void updateChecks();
    void updateStartable();
    void sizeColumns();
    void find();
    void fillDown();

    // The report and the labels
    bool readRecord(QList<Batch::LogRecord> *lines, QList<Batch::LogRecord> *rows, QString *error) const;
    ReportHeader reportHeader(const QList<Batch::LogRecord> &lines) const;
    bool askOperator();
    void exportReport();
    void printReport();
    void printLabels();

    // A line of a shared record
    void chooseLine();
    void showLine();
    void showLineRows(const QList<Line::RowState> &rows);
    void lineRefused(int status, const QString &reason);
    void startOnLine();
    void showUnreachable(const QDateTime &since);
    void showReachable();
    QString lineSummary() const;

    // The run
    bool beginRun(std::unique_ptr<RunSession> session);
    void finishRun();
    void refuse(const QString &reason, int status, const QString &title = QString());
    void setRunControls(bool running);
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
    Line::StationPlace m_place;  // of the line open, if one is
    std::unique_ptr<Line::LineWatcher> m_watcher;         // of the line shown
    std::unique_ptr<Line::LineWatcher> m_openingWatcher;  // of one asked for, until it opens
    std::unique_ptr<Line::LineRecord> m_opening;  // Start on a line: the record while it opens
    Batch::LineSettings m_lineSettings;
    std::unique_ptr<RunSession> m_session;
    // The devices a minute of the last run: its attempts over its time.
    QElapsedTimer m_runClock;
    qint64 m_runMs = 0;  // once it has ended
    int m_attemptsThisRun = 0;
    QHash<QString, int> m_provisioningRow;  // by port: the row a lane writes now
    QHash<QString, QString> m_phase;        // by port: reading, writing, verifying
    // What changes with every frame or device is shown a few times a second,
    // so that the window never slows the lanes down.
    QTimer *m_refreshTimer = nullptr;
    QSet<QString> m_phaseChanged;  // lanes whose step is not shown yet
    QHash<QString, Batch::Attempt> m_laneResults;  // by port: the last result not shown yet
    QString m_lastProgress;
    int m_exitStatus = 0;
    bool m_quitWhenDone = false;
    bool m_closeWhenDone = false;  // a close asked for during this run: once it has ended
};

} // namespace Bench
