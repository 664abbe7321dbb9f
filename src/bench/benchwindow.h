// Velmora Bench: provisioning a batch of devices from a window. The plan is
// a table that shows every problem on its cell; lanes are the ports, each
// provisioning one device at a time; the record is exactly the log
// velmora-cli batch writes, so either can resume the other's run. The
// report and the labels are made from that log.
//
// Or the plan is a line of a record several benches share: the table shows
// the whole line as the record holds it, kept live, and this bench's lanes
// provision rows of it as a station of the line.
//
// The window only wires: the plan (PlanSession), the run (RunController),
// the line (LineController) and the report and labels (BenchOutput) are
// classes of their own; it builds the widgets, connects them to those and
// shows what they say. Its widgets are found by their objectName, which is
// the name of their member.
#pragma once

#include "batch/batchrun.h"

#include "line/stationplace.h"

#include <QMainWindow>
#include <QSet>

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

namespace Bench {

class BenchOutput;
class LanePanel;
class LineController;
class LineMonitor;
class PlanSession;
class PlanTable;
class ResultFilter;
class RunController;
class RunSession;
struct LabelFormat;

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
    // How long openLine() waits for a record that cannot be reached (0: not
    // at all), saying so as recordWaiting().
    void setRecordWait(int seconds);
    bool isLine() const;
    QString logFile() const;
    // A lane: a port (as LanePanel::addLane takes it) or a simulated device.
    bool addLane(const QString &port, QString *error);
    bool addSimulated(QString *error);
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
    bool isRunning() const;
    // What velmora-cli batch would exit with for the last run.
    int exitStatus() const;

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

signals:
    // A run has ended; status as velmora-cli batch would exit.
    void runFinished(int status);
    void lineOpened();
    // The record of a line could not be used; status as velmora-cli would exit.
    void recordRefused(int status, const QString &reason);
    void recordWaiting(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void connectParts();
    void saveSettings() const;
    void askToClose();
    void closeAnswered(int button);
    void showStatus(const QString &text);
    void showWarning(const QString &text);

    // The plan
    void choosePlan();
    void newPlan();
    bool savePlan();
    bool savePlanAs();
    void chooseLogFile();
    void showProblems();
    void jumpToProblem(QListWidgetItem *item);
    // The record: markRows, the rows it has as ok shown done.
    void showRecord(bool markRows = true);
    void updateChecks();
    void updateStartable();
    void sizeColumns();
    void find();
    void fillDown();

    // A line of a shared record
    void chooseLine();
    void showLine();
    void lineRefused(int status, const QString &reason);
    void showUnreachable(const QDateTime &since);
    void showReachable();

    // The run
    bool beginRun(std::unique_ptr<RunSession> session);
    void runEnded(int status);
    void refuse(const QString &reason, int status, const QString &title = QString());
    void setRunControls(bool running);
    void updateProgress();

    // The report and the labels
    bool askOperator();
    void exportReport();
    void printReport();
    void printLabels();

    PlanSession *m_plan = nullptr;
    RunController *m_run = nullptr;
    LineController *m_line = nullptr;
    BenchOutput *m_output = nullptr;
    Batch::LineSettings m_lineSettings;
    bool m_quitWhenDone = false;
    bool m_closeWhenDone = false;  // a close asked for during this run: once it has ended

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
    QLabel *recordWarningLabel = nullptr;  // in the status bar: rows the record found on two devices
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
};

} // namespace Bench
