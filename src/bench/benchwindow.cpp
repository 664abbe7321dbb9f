#include "benchwindow.h"

#include "batch/batchlog.h"
#include "lanepanel.h"
#include "linemonitor.h"
#include "newplandialog.h"
#include "report.h"
#include "resultfilter.h"
#include "runsession.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace Bench {

namespace {

enum ProblemData { RowData = Qt::UserRole, ColumnData };

QSettings settings()
{
    return QSettings(QStringLiteral("Velmora"), QStringLiteral("velmora-bench"));
}

} // namespace

BenchWindow::BenchWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("Velmora Bench"));
    planTable = new PlanTable(this);
    planTable->setObjectName(QStringLiteral("planTable"));
    resultFilter = new ResultFilter(this);
    resultFilter->setObjectName(QStringLiteral("resultFilter"));
    resultFilter->setSourceModel(planTable);
    buildControls();
    buildMenus();
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setObjectName(QStringLiteral("refreshTimer"));
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(100);
    connect(m_refreshTimer, &QTimer::timeout, this, &BenchWindow::refresh);
    connect(planTable, &PlanTable::checked, this, &BenchWindow::showProblems);
    connect(lanePanel, &LanePanel::lanesChanged, this, [this] {
        lineMonitor->setLanes(lanePanel->ports());
        updateStartable();
    });
    showProblems();
    updateProgress();
    resize(1100, 700);
}

BenchWindow::~BenchWindow() = default;

void BenchWindow::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));

    waitingChoice = new QComboBox(central);
    waitingChoice->setObjectName(QStringLiteral("waitingChoice"));
    waitingChoice->setAccessibleName(tr("Next device"));
    waitingChoice->addItem(tr("Ask: Next or Skip on the lane"), int(Batch::Waiting::Prompt));
    waitingChoice->addItem(tr("Auto: when a new device answers"), int(Batch::Waiting::Auto));
    waitingChoice->addItem(tr("None: at once (a fixture)"), int(Batch::Waiting::None));
    auto *waitingLabel = new QLabel(tr("Ne&xt device:"), central);
    waitingLabel->setBuddy(waitingChoice);
    allowDuplicates = new QCheckBox(tr("Allow &duplicates"), central);
    allowDuplicates->setObjectName(QStringLiteral("allowDuplicates"));
    allowDuplicates->setToolTip(tr("Rows may share a lip, mac or sn (--allow-duplicates)"));
    allowOddAddresses = new QCheckBox(tr("Allow odd &addresses"), central);
    allowOddAddresses->setObjectName(QStringLiteral("allowOddAddresses"));
    allowOddAddresses->setToolTip(tr("A lip may be a network or broadcast address, a gateway outside the subnet, "
                                     "a mask with gaps (--allow-odd-addresses)"));
    failedOnly = new QCheckBox(tr("&Failed only"), central);
    failedOnly->setObjectName(QStringLiteral("failedOnly"));
    failedOnly->setToolTip(tr("Shows only the rows whose device did not take its values"));
    startButton = new QPushButton(tr("&Start"), central);
    startButton->setObjectName(QStringLiteral("startButton"));
    stopButton = new QPushButton(tr("S&top"), central);
    stopButton->setObjectName(QStringLiteral("stopButton"));
    stopButton->setToolTip(tr("Starts no other device; those being written are finished and recorded"));
    stopButton->setEnabled(false);

    planView = new QTableView(central);
    planView->setObjectName(QStringLiteral("planView"));
    planView->setAccessibleName(tr("Plan"));
    planView->setModel(resultFilter);
    planView->setSortingEnabled(true);
    planView->sortByColumn(-1, Qt::AscendingOrder);
    planView->setSelectionBehavior(QAbstractItemView::SelectItems);
    planView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                              | QAbstractItemView::AnyKeyPressed);
    planView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    planView->verticalHeader()->setDefaultSectionSize(planView->fontMetrics().height() + 6);
    planView->horizontalHeader()->setStretchLastSection(true);
    planView->setWordWrap(false);

    problemList = new QListWidget(central);
    problemList->setObjectName(QStringLiteral("problemList"));
    problemList->setAccessibleName(tr("Problems of the plan"));
    problemList->setToolTip(tr("Enter or a double click goes to the cell"));

    logLabel = new QLabel(central);
    logLabel->setObjectName(QStringLiteral("logLabel"));
    logLabel->setWordWrap(true);
    logLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    logButton = new QPushButton(tr("&Record..."), central);
    logButton->setObjectName(QStringLiteral("logButton"));
    logButton->setToolTip(tr("Chooses the log the run is recorded in"));

    progressBar = new QProgressBar(central);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setAccessibleName(tr("Progress"));
    progressBar->setFormat(tr("%v of %m"));
    countsLabel = new QLabel(central);
    countsLabel->setObjectName(QStringLiteral("countsLabel"));
    problemLabel = new QLabel(central);
    problemLabel->setObjectName(QStringLiteral("problemLabel"));
    problemLabel->setWordWrap(true);
    problemLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    problemLabel->hide();

    lanePanel = new LanePanel(central);
    lanePanel->setObjectName(QStringLiteral("lanePanel"));
    lineMonitor = new LineMonitor(this);
    addDockWidget(Qt::BottomDockWidgetArea, lineMonitor);
    lineMonitor->hide();  // opened when a device misbehaves (View > Line monitor)

    auto *controls = new QHBoxLayout;
    controls->addWidget(waitingLabel);
    controls->addWidget(waitingChoice);
    controls->addSpacing(12);
    controls->addWidget(allowDuplicates);
    controls->addWidget(allowOddAddresses);
    controls->addStretch(1);
    controls->addWidget(failedOnly);
    controls->addSpacing(12);
    controls->addWidget(startButton);
    controls->addWidget(stopButton);

    auto *record = new QHBoxLayout;
    record->addWidget(logLabel, 1);
    record->addWidget(logButton);

    auto *planSide = new QSplitter(Qt::Vertical, central);
    planSide->setObjectName(QStringLiteral("planSplitter"));
    planSide->addWidget(planView);
    planSide->addWidget(problemList);
    planSide->setStretchFactor(0, 4);
    planSide->setStretchFactor(1, 1);

    auto *sides = new QSplitter(Qt::Horizontal, central);
    sides->setObjectName(QStringLiteral("laneSplitter"));
    sides->addWidget(lanePanel);
    sides->addWidget(planSide);
    sides->setStretchFactor(1, 3);
    sides->setSizes({300, 800});

    auto *progress = new QHBoxLayout;
    progress->addWidget(progressBar, 1);
    progress->addWidget(countsLabel, 2);

    auto *layout = new QVBoxLayout(central);
    layout->addLayout(controls);
    layout->addLayout(record);
    layout->addWidget(sides, 1);
    layout->addLayout(progress);
    layout->addWidget(problemLabel);
    setCentralWidget(central);

    connect(startButton, &QPushButton::clicked, this, &BenchWindow::start);
    connect(stopButton, &QPushButton::clicked, this, &BenchWindow::stop);
    connect(allowDuplicates, &QCheckBox::toggled, this, &BenchWindow::updateChecks);
    connect(allowOddAddresses, &QCheckBox::toggled, this, &BenchWindow::updateChecks);
    connect(failedOnly, &QCheckBox::toggled, resultFilter, &ResultFilter::setFailedOnly);
    connect(problemList, &QListWidget::itemActivated, this, &BenchWindow::jumpToProblem);
    connect(logButton, &QPushButton::clicked, this, &BenchWindow::chooseLogFile);
}

void BenchWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    newAction = file->addAction(tr("&New plan..."), this, &BenchWindow::newPlan);
    newAction->setObjectName(QStringLiteral("newAction"));
    newAction->setShortcut(QKeySequence::New);
    openAction = file->addAction(tr("&Open plan..."), this, &BenchWindow::choosePlan);
    openAction->setObjectName(QStringLiteral("openAction"));
    openAction->setShortcut(QKeySequence::Open);
    saveAction = file->addAction(tr("&Save plan"), this, &BenchWindow::savePlan);
    saveAction->setObjectName(QStringLiteral("saveAction"));
    saveAction->setShortcut(QKeySequence::Save);
    saveAsAction = file->addAction(tr("Save plan &as..."), this, &BenchWindow::savePlanAs);
    saveAsAction->setObjectName(QStringLiteral("saveAsAction"));
    saveAsAction->setShortcut(QKeySequence::SaveAs);
    file->addSeparator();
    exportAction = file->addAction(tr("&Export report..."), this, &BenchWindow::exportReport);
    exportAction->setObjectName(QStringLiteral("exportAction"));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    file->addSeparator();
    quitAction = file->addAction(tr("&Quit"), this, &QWidget::close);
    quitAction->setObjectName(QStringLiteral("quitAction"));
    quitAction->setShortcut(QKeySequence::Quit);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *monitor = lineMonitor->toggleViewAction();
    monitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    view->addAction(monitor);
}

QString BenchWindow::defaultLogFile(const QString &planFile)
{
    const QFileInfo plan(planFile);
    return plan.dir().filePath(plan.completeBaseName() + QStringLiteral(".log.csv"));
}

bool BenchWindow::openPlan(const QString &fileName, QString *error)
{
    if (isRunning()) {
        *error = tr("a run is going on");
        return false;
    }
    if (!planTable->load(fileName, error))
        return false;
    m_logFile = defaultLogFile(fileName);
    // Wide enough for the header and the first rows: measuring them all
    // would take long on a plan of thousands.
    const QFontMetrics metrics = planView->fontMetrics();
    for (int column = 0; column < planTable->keyColumns(); ++column) {
        int width = metrics.horizontalAdvance(planTable->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        for (int row = 0; row < std::min(planTable->rowCount(), 100); ++row)
            width = std::max(width, metrics.horizontalAdvance(planTable->index(row, column).data().toString()));
        planView->setColumnWidth(column, width + 24);
    }
    planView->setColumnWidth(planTable->resultColumn(), metrics.horizontalAdvance(QStringLiteral("mismatch: sn: wrote 3")) + 24);
    setWindowTitle(tr("%1 - Velmora Bench").arg(QFileInfo(fileName).fileName()));
    showEarlierRun();
    updateProgress();
    return true;
}

void BenchWindow::setLogFile(const QString &fileName)
{
    m_logFile = fileName;
    planTable->clearOutcomes();
    showEarlierRun();
    updateProgress();
}

void BenchWindow::setWaiting(Batch::Waiting waiting)
{
    waitingChoice->setCurrentIndex(waitingChoice->findData(int(waiting)));
}

Batch::Waiting BenchWindow::waiting() const
{
    return Batch::Waiting(waitingChoice->currentData().toInt());
}

// A plan whose log exists resumes it: the rows it has as ok are shown done.
void BenchWindow::showEarlierRun()
{
    QString text = tr("Record: %1").arg(QDir::toNativeSeparators(m_logFile));
    if (QFileInfo::exists(m_logFile) && planTable->isValid()) {
        Batch::BatchLog log(planTable->plan());
        QStringList errors;
        QStringList warnings;
        if (log.open(m_logFile, &errors, &warnings)) {
            planTable->markEarlierOk(log.okRows());
            text += tr(" - %1 of %2 rows ok in it: Start resumes, they are not provisioned again")
                        .arg(log.okRows().size())
                        .arg(planTable->plan().size());
        } else {
            text += QLatin1String(" - ") + errors.join(QLatin1Char('\n'));
        }
        if (!warnings.isEmpty())
            text += QLatin1Char('\n') + warnings.join(QLatin1Char('\n'));
    } else if (!QFileInfo::exists(m_logFile)) {
        text += tr(" (new)");
    }
    logLabel->setText(text);
}

void BenchWindow::chooseLogFile()
{
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Record the run in"), m_logFile,
                                                        tr("Logs (*.csv);;All files (*)"), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty())
        setLogFile(chosen);
}

void BenchWindow::choosePlan()
{
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Open a plan"), planTable->fileName(),
                                                        tr("Plans (*.csv);;All files (*)"));
    if (chosen.isEmpty())
        return;
    QString error;
    if (!openPlan(chosen, &error))
        QMessageBox::warning(this, tr("Open a plan"), error);
}

void BenchWindow::newPlan()
{
    auto *dialog = new NewPlanDialog(this);
    dialog->setObjectName(QStringLiteral("newPlanDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        QString error;
        if (!openPlan(dialog->savedFile(), &error))
            QMessageBox::warning(this, tr("Open a plan"), error);
    });
    dialog->open();
}

bool BenchWindow::savePlan()
{
    if (planTable->fileName().isEmpty())
        return savePlanAs();
    QString error;
    if (!planTable->save(planTable->fileName(), &error)) {
        QMessageBox::warning(this, tr("Save the plan"), error);
        return false;
    }
    statusBar()->showMessage(tr("Saved %1").arg(planTable->fileName()), 5000);
    return true;
}

bool BenchWindow::savePlanAs()
{
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save the plan as"), planTable->fileName(),
                                                        tr("Plans (*.csv);;All files (*)"));
    if (chosen.isEmpty())
        return false;
    QString error;
    if (!planTable->save(chosen, &error)) {
        QMessageBox::warning(this, tr("Save the plan"), error);
        return false;
    }
    m_logFile = defaultLogFile(chosen);
    showEarlierRun();
    return true;
}

QString BenchWindow::report() const
{
    ReportHeading heading;
    heading.planFile = QFileInfo(planTable->fileName()).absoluteFilePath();
    heading.logFile = QFileInfo(m_logFile).absoluteFilePath();
    heading.date = QDateTime::currentDateTime();
    heading.ports = lanePanel->ports();
    return reportHtml(*planTable, heading);
}

void BenchWindow::exportReport()
{
    const QFileInfo plan(planTable->fileName());
    const bool pdf = canWritePdf();
    const QString suggested = plan.dir().filePath(plan.completeBaseName()
                                                  + (pdf ? QStringLiteral(".report.pdf") : QStringLiteral(".report.html")));
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Export the report"), suggested,
                                                        pdf ? tr("PDF (*.pdf);;HTML (*.html)") : tr("HTML (*.html)"));
    if (chosen.isEmpty())
        return;
    QString error;
    if (!writeReport(report(), chosen, &error)) {
        QMessageBox::warning(this, tr("Export the report"), error);
        return;
    }
    statusBar()->showMessage(tr("Wrote %1").arg(chosen), 5000);
}

void BenchWindow::updateChecks()
{
    Batch::PlanChecks checks;
    checks.allowDuplicates = allowDuplicates->isChecked();
    checks.allowOddAddresses = allowOddAddresses->isChecked();
    planTable->setChecks(checks);
}

void BenchWindow::showProblems()
{
    problemList->clear();
    for (const PlanProblem &problem : planTable->problems()) {
        auto *item = new QListWidgetItem(problem.text, problemList);
        item->setData(RowData, problem.row);
        item->setData(ColumnData, problem.column);
    }
    problemList->setVisible(!planTable->problems().isEmpty());
    updateStartable();
}

void BenchWindow::jumpToProblem(QListWidgetItem *item)
{
    const int row = item->data(RowData).toInt();
    const int column = item->data(ColumnData).toInt();
    if (row < 0) {
        planView->scrollToTop();
        return;
    }
    if (resultFilter->failedOnly())
        failedOnly->setChecked(false);
    const QModelIndex shown = resultFilter->mapFromSource(planTable->index(row, std::max(column, 0)));
    planView->setCurrentIndex(shown);
    planView->scrollTo(shown, QAbstractItemView::PositionAtCenter);
    planView->setFocus();
}

void BenchWindow::updateStartable()
{
    QString reason;
    if (isRunning())
        reason = tr("A run is going on");
    else if (planTable->rowCount() == 0 && planTable->problems().isEmpty())
        reason = tr("Open a plan first");
    else if (!planTable->isValid())
        reason = tr("The plan has %n problem(s): see the list under it", nullptr, int(planTable->problems().size()));
    else if (lanePanel->ports().isEmpty())
        reason = tr("Add a lane first");
    startButton->setEnabled(reason.isEmpty());
    startButton->setToolTip(reason.isEmpty() ? tr("Provisions the rows not done yet") : reason);
}

void BenchWindow::saveSettings() const
{
    QSettings stored = settings();
    stored.setValue(QStringLiteral("window/geometry"), saveGeometry());
    stored.setValue(QStringLiteral("window/state"), saveState());
    stored.setValue(QStringLiteral("window/columns"), planView->horizontalHeader()->saveState());
    stored.setValue(QStringLiteral("run/waiting"), waitingChoice->currentIndex());
    if (!planTable->fileName().isEmpty())
        stored.setValue(QStringLiteral("run/plan"), QFileInfo(planTable->fileName()).absoluteFilePath());
    QStringList ports;
    for (const QString &port : lanePanel->ports()) {
        if (!port.startsWith(QLatin1String("sim")))
            ports << port;
    }
    stored.setValue(QStringLiteral("run/ports"), ports);
}

void BenchWindow::restoreSettings()
{
    QSettings stored = settings();
    restoreGeometry(stored.value(QStringLiteral("window/geometry")).toByteArray());
    restoreState(stored.value(QStringLiteral("window/state")).toByteArray());
    waitingChoice->setCurrentIndex(std::max(0, stored.value(QStringLiteral("run/waiting")).toInt()));
}

void BenchWindow::restoreLastPlanAndPorts()
{
    QSettings stored = settings();
    const QString plan = stored.value(QStringLiteral("run/plan")).toString();
    QString error;
    if (!plan.isEmpty() && QFileInfo::exists(plan) && openPlan(plan, &error))
        planView->horizontalHeader()->restoreState(stored.value(QStringLiteral("window/columns")).toByteArray());
    if (lanePanel->ports().isEmpty()) {
        for (const QString &port : stored.value(QStringLiteral("run/ports")).toStringList())
            lanePanel->addLane(port, &error);
    }
}

void BenchWindow::closeEvent(QCloseEvent *event)
{
    if (isRunning()) {
        event->ignore();
        if (m_closeWhenDone)
            return;
        const auto answer = QMessageBox::question(
            this, tr("A run is going on"),
            tr("Stop the run and close? The devices being written are finished and recorded first."));
        if (answer == QMessageBox::Yes) {
            m_closeWhenDone = true;
            stop();
        }
        return;
    }
    saveSettings();
    event->accept();
}

} // namespace Bench
