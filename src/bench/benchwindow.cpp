#include "benchwindow.h"

#include "benchoutput.h"
#include "enterclicks.h"
#include "labeldialog.h"
#include "labels.h"
#include "languagemenu.h"
#include "lanepanel.h"
#include "linecontroller.h"
#include "linemonitor.h"
#include "newplandialog.h"
#include "openlinedialog.h"
#include "pagedoutput.h"
#include "plansession.h"
#include "resultfilter.h"
#include "runcontroller.h"
#include "settings.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace Bench {

namespace {

constexpr QSize DefaultSize(1000, 700);

// How long the status bar shows a verdict, a refusal or a step of the run;
// a file written; a plan saved, a cell not found or cells filled.
constexpr int StatusMs = 20000;
constexpr int WrittenMs = 10000;
constexpr int NoticeMs = 5000;

enum ProblemData { RowData = Qt::UserRole, ColumnData };

// A column is never wider than this many average characters: a long id is
// cut short with "…", its tooltip showing it whole.
constexpr int MaxColumnCharacters = 28;

} // namespace

BenchWindow::BenchWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("Velmora Bench"));
    m_plan = new PlanSession(this);
    m_plan->setObjectName(QStringLiteral("plan"));
    m_run = new RunController(m_plan->table(), this);
    m_run->setObjectName(QStringLiteral("run"));
    m_line = new LineController(m_plan->table(), m_run, this);
    m_line->setObjectName(QStringLiteral("line"));
    m_output = new BenchOutput(m_plan, m_run, m_line, this);
    m_output->setObjectName(QStringLiteral("output"));
    resultFilter = new ResultFilter(this);
    resultFilter->setObjectName(QStringLiteral("resultFilter"));
    resultFilter->setSourceModel(m_plan->table());
    buildControls();
    buildMenus();
    connectParts();
    showProblems();
    updateProgress();
    // Room for everything on a 1024x768 screen, with the window's frame and a panel.
    resize(DefaultSize);
}

BenchWindow::~BenchWindow()
{
    // What a run or a line says as it is let go is shown nowhere: the widgets go.
    m_line->disconnect();
    m_run->disconnect();
    delete m_line;
    delete m_run;
}

void BenchWindow::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));

    // Every mnemonic of the window is its own: one letter, one control.
    waitingChoice = new QComboBox(central);
    waitingChoice->setObjectName(QStringLiteral("waitingChoice"));
    waitingChoice->setAccessibleName(tr("Next device"));
    waitingChoice->addItem(tr("Ask: Next or Skip on the lane"), int(Batch::Waiting::Prompt));
    waitingChoice->addItem(tr("Auto: when a new device answers"), int(Batch::Waiting::Auto));
    waitingChoice->addItem(tr("None: at once (a fixture)"), int(Batch::Waiting::None));
    auto *waitingLabel = new QLabel(tr("Ne&xt device:"), central);
    waitingLabel->setObjectName(QStringLiteral("waitingLabel"));
    waitingLabel->setBuddy(waitingChoice);
    allowDuplicates = new QCheckBox(tr("Allow &duplicates"), central);
    allowDuplicates->setObjectName(QStringLiteral("allowDuplicates"));
    allowDuplicates->setToolTip(tr("Rows may share a lip, mac or sn (--allow-duplicates)"));
    allowOddAddresses = new QCheckBox(tr("Allow &odd addresses"), central);
    allowOddAddresses->setObjectName(QStringLiteral("allowOddAddresses"));
    allowOddAddresses->setToolTip(tr("A lip may be a network or broadcast address, a gateway outside the subnet, "
                                     "a mask with gaps (--allow-odd-addresses)"));
    failedOnly = new QCheckBox(tr("Failed o&nly"), central);
    failedOnly->setObjectName(QStringLiteral("failedOnly"));
    failedOnly->setToolTip(tr("Shows only the rows whose device did not take its values"));
    startButton = new QPushButton(tr("&Start"), central);
    startButton->setObjectName(QStringLiteral("startButton"));
    stopButton = new QPushButton(tr("S&top"), central);
    stopButton->setObjectName(QStringLiteral("stopButton"));
    stopButton->setToolTip(tr("Starts no other device; those being written are finished and recorded"));
    stopButton->setEnabled(false);

    findEdit = new QLineEdit(central);
    findEdit->setObjectName(QStringLiteral("findEdit"));
    findEdit->setAccessibleName(tr("Find in the plan"));
    findEdit->setPlaceholderText(tr("Find in the plan: Enter for the next, Esc to close"));
    findEdit->setClearButtonEnabled(true);
    findEdit->hide();

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
    planView->setTextElideMode(Qt::ElideRight);
    // Tab leaves the table for the lanes; arrows move within it.
    planView->setTabKeyNavigation(false);

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
    countsLabel->setWordWrap(true);
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

    auto *tableSide = new QWidget(central);
    tableSide->setObjectName(QStringLiteral("tableSide"));
    auto *tableLayout = new QVBoxLayout(tableSide);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->addWidget(findEdit);
    tableLayout->addWidget(planView, 1);

    auto *planSide = new QSplitter(Qt::Vertical, central);
    planSide->setObjectName(QStringLiteral("planSplitter"));
    planSide->addWidget(tableSide);
    planSide->addWidget(problemList);
    planSide->setStretchFactor(0, 4);
    planSide->setStretchFactor(1, 1);

    auto *sides = new QSplitter(Qt::Horizontal, central);
    sides->setObjectName(QStringLiteral("laneSplitter"));
    sides->addWidget(lanePanel);
    sides->addWidget(planSide);
    sides->setStretchFactor(1, 3);
    sides->setSizes({300, 700});

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
    // Kept in view while progress passes in the status bar's message.
    recordWarningLabel = new QLabel(statusBar());
    recordWarningLabel->setObjectName(QStringLiteral("recordWarningLabel"));
    recordWarningLabel->setWordWrap(true);
    recordWarningLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    recordWarningLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    recordWarningLabel->hide();
    statusBar()->addPermanentWidget(recordWarningLabel, 1);

    // Tab from the controls to the lanes, then the table and its problems.
    setTabOrder(stopButton, logButton);
    setTabOrder(logButton, lanePanel->portChoice);
    setTabOrder(lanePanel->refreshButton, findEdit);
    setTabOrder(findEdit, planView);
    setTabOrder(planView, problemList);

    for (QPushButton *button : {startButton, stopButton, logButton})
        clickOnEnter(button);
    connect(startButton, &QPushButton::clicked, this, &BenchWindow::start);
    connect(stopButton, &QPushButton::clicked, this, &BenchWindow::stop);
    connect(allowDuplicates, &QCheckBox::toggled, this, &BenchWindow::updateChecks);
    connect(allowOddAddresses, &QCheckBox::toggled, this, &BenchWindow::updateChecks);
    connect(failedOnly, &QCheckBox::toggled, resultFilter, &ResultFilter::setFailedOnly);
    connect(problemList, &QListWidget::itemActivated, this, &BenchWindow::jumpToProblem);
    connect(logButton, &QPushButton::clicked, this, &BenchWindow::chooseLogFile);
    connect(findEdit, &QLineEdit::returnPressed, this, &BenchWindow::find);
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
    openLineAction = file->addAction(tr("Open a l&ine..."), this, &BenchWindow::chooseLine);
    openLineAction->setObjectName(QStringLiteral("openLineAction"));
    openLineAction->setToolTip(tr("A line of a record several benches share, as velmora-cli line load made it"));
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
    exportAction->setEnabled(canWritePdf());
    printReportAction = file->addAction(tr("P&rint report..."), this, &BenchWindow::printReport);
    printReportAction->setObjectName(QStringLiteral("printReportAction"));
    printReportAction->setEnabled(canPrint());
    labelsAction = file->addAction(tr("Print &labels..."), this, &BenchWindow::printLabels);
    labelsAction->setObjectName(QStringLiteral("labelsAction"));
    labelsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    file->addSeparator();
    quitAction = file->addAction(tr("&Quit"), this, &QWidget::close);
    quitAction->setObjectName(QStringLiteral("quitAction"));
    quitAction->setShortcut(QKeySequence::Quit);

    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    findAction = edit->addAction(tr("&Find..."), this, [this] {
        findEdit->show();
        findEdit->setFocus(Qt::ShortcutFocusReason);
        findEdit->selectAll();
    });
    findAction->setObjectName(QStringLiteral("findAction"));
    findAction->setShortcut(QKeySequence::Find);
    fillDownAction = edit->addAction(tr("Fill &down"), this, &BenchWindow::fillDown);
    fillDownAction->setObjectName(QStringLiteral("fillDownAction"));
    fillDownAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    fillDownAction->setToolTip(tr("The first selected cell of each column into the others selected below it"));
    auto *hideFind = new QShortcut(QKeySequence(Qt::Key_Escape), findEdit, findEdit, [this] {
        findEdit->hide();
        planView->setFocus(Qt::ShortcutFocusReason);
    });
    hideFind->setContext(Qt::WidgetShortcut);

    QMenu *run = menuBar()->addMenu(tr("R&un"));
    startAction = run->addAction(tr("&Start"), this, &BenchWindow::start);
    startAction->setObjectName(QStringLiteral("startAction"));
    startAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    stopAction = run->addAction(tr("S&top"), this, &BenchWindow::stop);
    stopAction->setObjectName(QStringLiteral("stopAction"));
    stopAction->setEnabled(false);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *monitor = lineMonitor->toggleViewAction();
    monitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    view->addAction(monitor);
    auto *language = new LanguageMenu(this);
    connect(language, &LanguageMenu::chosen, statusBar(), [this](const QString &notice) {
        statusBar()->showMessage(notice);
    });
    view->addMenu(language);
}

// The parts say what happened; the window shows it.
void BenchWindow::connectParts()
{
    PlanTable *table = m_plan->table();
    connect(table, &PlanTable::checked, this, &BenchWindow::showProblems);
    // The bar and the counts as the table shows its rows, never ahead or behind.
    connect(table, &PlanTable::outcomesShown, this, &BenchWindow::updateProgress);
    connect(lanePanel, &LanePanel::lanesChanged, this, [this] {
        lineMonitor->setLanes(lanePanel->ports());
        updateStartable();
    });

    connect(m_run, &RunController::started, this, [this] {
        showRecord();
        updateProgress();
    });
    connect(m_run, &RunController::laneState, this, [this](const QString &port, const QString &text) {
        if (LaneView *lane = lanePanel->lane(port))
            lane->setState(text);
    });
    connect(m_run, &RunController::laneResult, this, [this](const QString &port, const QString &text, const QString &detail) {
        if (LaneView *lane = lanePanel->lane(port))
            lane->setResult(text, detail);
    });
    connect(m_run, &RunController::laneAsking, this,
            [this](const QString &port, const QString &question, const RunController::Answered &answered) {
                lanePanel->lane(port)->ask(question, answered);
            });
    connect(m_run, &RunController::laneAskingStopped, this, [this](const QString &port) {
        if (LaneView *lane = lanePanel->lane(port))
            lane->stopAsking();
    });
    connect(m_run, &RunController::deviceDone, lanePanel, &LanePanel::unplugSimulated);
    connect(m_run, &RunController::deviceWanted, lanePanel, &LanePanel::plugNewSimulated);
    connect(m_run, &RunController::traceLine, lineMonitor, &LineMonitor::addLine);
    connect(m_run, &RunController::message, this, &BenchWindow::showStatus);
    connect(m_run, &RunController::problem, this, [this](const QString &line) {
        // Kept in sight until the next Start: the status line moves on.
        problemLabel->setText(problemLabel->text().isEmpty() ? line : problemLabel->text() + QLatin1Char('\n') + line);
        problemLabel->show();
    });
    connect(m_run, &RunController::recordUnreachable, this, &BenchWindow::showUnreachable);
    connect(m_run, &RunController::recordReachable, this, &BenchWindow::showReachable);
    connect(m_run, &RunController::recordWarning, this, &BenchWindow::showWarning);
    connect(m_run, &RunController::finished, this, &BenchWindow::runEnded);
    connect(m_run, &RunController::closed, this, [this] { showRecord(false); });

    connect(m_line, &LineController::opened, this, &BenchWindow::showLine);
    connect(m_line, &LineController::refused, this, &BenchWindow::lineRefused);
    connect(m_line, &LineController::openingChanged, this, &BenchWindow::updateStartable);
    connect(m_line, &LineController::recordOpened, this, [this] {
        beginRun(std::make_unique<RunSession>(m_line->takeRecord(), waiting(), m_lineSettings));
    });
    connect(m_line, &LineController::message, this, &BenchWindow::showStatus);
    connect(m_line, &LineController::warning, this, &BenchWindow::showWarning);
    connect(m_line, &LineController::waiting, this, [this](const QString &text) {
        statusBar()->showMessage(text);
        emit recordWaiting(text);
    });
    connect(m_line, &LineController::unreachable, this, &BenchWindow::showUnreachable);
    connect(m_line, &LineController::reachable, this, &BenchWindow::showReachable);
}

void BenchWindow::showStatus(const QString &text)
{
    statusBar()->showMessage(text, StatusMs);
}

// Until the window closes: it asks the person to act.
void BenchWindow::showWarning(const QString &text)
{
    const QString shown = recordWarningLabel->text();
    recordWarningLabel->setText(shown.isEmpty() ? text : shown + QLatin1Char('\n') + text);
    recordWarningLabel->show();
}

void BenchWindow::saveSettings() const
{
    const PlanTable *table = m_plan->table();
    QSettings stored = settings();
    stored.setValue(QStringLiteral("window/geometry"), saveGeometry());
    stored.setValue(QStringLiteral("window/state"), saveState());
    // By the column's name, so that a plan with other columns takes the widths of those it shares.
    QVariantMap widths = stored.value(QStringLiteral("window/columnWidths")).toMap();
    for (int column = 0; column < table->keyColumns(); ++column)
        widths.insert(table->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), planView->columnWidth(column));
    stored.setValue(QStringLiteral("window/columnWidths"), widths);
    stored.setValue(QStringLiteral("run/waiting"), waitingChoice->currentIndex());
    stored.setValue(QStringLiteral("run/line"), isLine());  // the line's place is kept as it opens
    if (!table->fileName().isEmpty() && !isLine())
        stored.setValue(QStringLiteral("run/plan"), QFileInfo(table->fileName()).absoluteFilePath());
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
    sizeColumns();
}

void BenchWindow::restoreLastPlanAndPorts()
{
    QSettings stored = settings();
    const QString plan = stored.value(QStringLiteral("run/plan")).toString();
    QString error;
    Line::StationPlace line;
    const QString station = stored.value(QStringLiteral("line/station")).toString();
    if (stored.value(QStringLiteral("run/line")).toBool()
        && Line::checkStationPlace(stored.value(QStringLiteral("line/record")).toString(),
                                   stored.value(QStringLiteral("line/name")).toString(),
                                   station.isEmpty() ? std::nullopt : std::optional(station), &line, &error))
        openLine(line);
    else if (!plan.isEmpty() && QFileInfo::exists(plan))
        openPlan(plan, &error);
    if (!lanePanel->ports().isEmpty())
        return;
    QStringList gone;
    for (const QString &port : stored.value(QStringLiteral("run/ports")).toStringList()) {
        if (!lanePanel->addLane(port, &error))
            gone << error;
    }
    if (!gone.isEmpty())
        showStatus(tr("Lanes of the last session left out: %1").arg(gone.join(QLatin1String("; "))));
}

bool BenchWindow::isLine() const
{
    return m_plan->table()->isLine();
}

QString BenchWindow::logFile() const
{
    return m_plan->logFile();
}

bool BenchWindow::addLane(const QString &port, QString *error)
{
    return lanePanel->addLane(port, error);
}

bool BenchWindow::addSimulated(QString *error)
{
    return lanePanel->addSimulated(error);
}

void BenchWindow::setWaiting(Batch::Waiting waiting)
{
    waitingChoice->setCurrentIndex(waitingChoice->findData(int(waiting)));
}

Batch::Waiting BenchWindow::waiting() const
{
    return Batch::Waiting(waitingChoice->currentData().toInt());
}

bool BenchWindow::isRunning() const
{
    return m_run->isRunning();
}

int BenchWindow::exitStatus() const
{
    return m_run->exitStatus();
}

QString BenchWindow::operatorName() const
{
    return m_output->operatorName();
}

void BenchWindow::setOperatorName(const QString &name)
{
    m_output->setOperatorName(name);
}

// A close during a run asks first; while it asks, no device is begun, and
// the run goes on only if the answer is No.
void BenchWindow::closeEvent(QCloseEvent *event)
{
    if (isRunning()) {
        event->ignore();
        if (!m_closeWhenDone)
            askToClose();
        return;
    }
    if (closeQuestion)
        closeQuestion->close();
    saveSettings();
    event->accept();
}

void BenchWindow::askToClose()
{
    if (closeQuestion) {
        closeQuestion->raise();
        return;
    }
    m_run->hold(true);
    closeQuestion = new QMessageBox(QMessageBox::Question, tr("A run is going on"),
                                    tr("Stop the run and close? The devices being written are finished and recorded "
                                       "first; no other device is begun while this is asked."),
                                    QMessageBox::Yes | QMessageBox::No, this);
    closeQuestion->setObjectName(QStringLiteral("closeQuestion"));
    closeQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(closeQuestion, &QMessageBox::finished, this, &BenchWindow::closeAnswered);
    closeQuestion->open();
}

void BenchWindow::closeAnswered(int button)
{
    closeQuestion = nullptr;
    const bool yes = button == QMessageBox::Yes;
    if (!isRunning()) {
        // It ended while this was asked: nothing to stop.
        if (yes)
            close();
        return;
    }
    if (!yes) {
        m_run->hold(false);
        return;
    }
    m_closeWhenDone = true;
    stop();
    m_run->hold(false);  // stopping: the held lanes go idle, none begins
}

// The plan

bool BenchWindow::openPlan(const QString &fileName, QString *error)
{
    if (isRunning() || m_line->isOpeningRecord()) {
        *error = tr("a run is going on");
        return false;
    }
    if (!m_plan->load(fileName, error))
        return false;
    m_line->close();  // a line open before is closed, and one being opened
    setRunControls(false);
    sizeColumns();
    setWindowTitle(tr("%1 - Velmora Bench").arg(QFileInfo(fileName).fileName()));
    // What the lanes and the rate said was of the last plan.
    lanePanel->clearLanes();
    m_run->forgetRate();
    showRecord();
    updateProgress();
    return true;
}

// Wide enough for the header and the first rows (measuring them all would
// take long on a plan of thousands), at most MaxColumnCharacters wide;
// then the widths the person gave the columns of these names.
void BenchWindow::sizeColumns()
{
    const PlanTable *table = m_plan->table();
    const QFontMetrics metrics = planView->fontMetrics();
    const int widest = metrics.averageCharWidth() * MaxColumnCharacters;
    const QVariantMap saved = settings().value(QStringLiteral("window/columnWidths")).toMap();
    for (int column = 0; column < table->keyColumns(); ++column) {
        const QString name = table->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        int width = metrics.horizontalAdvance(name);
        for (int row = 0; row < std::min(table->rowCount(), 100); ++row)
            width = std::max(width, metrics.horizontalAdvance(table->index(row, column).data().toString()));
        width = std::min(width + 24, widest);
        planView->setColumnWidth(column, saved.contains(name) ? std::max(saved.value(name).toInt(), 20) : width);
    }
    planView->setColumnWidth(table->resultColumn(), metrics.horizontalAdvance(QStringLiteral("mismatch: sn: wrote 3")) + 24);
}

void BenchWindow::setLogFile(const QString &fileName)
{
    m_plan->setLogFile(fileName);
    showRecord();
    updateProgress();
}

void BenchWindow::showRecord(bool markRows)
{
    logLabel->setText(isLine() ? m_line->recordText() : m_plan->recordText(isRunning(), markRows));
}

void BenchWindow::chooseLogFile()
{
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Record the run in"), m_plan->logFile(),
                                                        tr("Logs (*.csv);;All files (*)"), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty())
        setLogFile(chosen);
}

void BenchWindow::choosePlan()
{
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Open a plan"), m_plan->table()->fileName(),
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
    if (m_plan->table()->fileName().isEmpty())
        return savePlanAs();
    QString error;
    if (!m_plan->save(&error)) {
        QMessageBox::warning(this, tr("Save the plan"), error);
        return false;
    }
    statusBar()->showMessage(tr("Saved %1").arg(m_plan->table()->fileName()), NoticeMs);
    return true;
}

bool BenchWindow::savePlanAs()
{
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save the plan as"), m_plan->table()->fileName(),
                                                        tr("Plans (*.csv);;All files (*)"));
    if (chosen.isEmpty())
        return false;
    QString error;
    if (!m_plan->saveAs(chosen, &error)) {
        QMessageBox::warning(this, tr("Save the plan"), error);
        return false;
    }
    showRecord();
    return true;
}

void BenchWindow::updateChecks()
{
    m_plan->setChecks(allowDuplicates->isChecked(), allowOddAddresses->isChecked());
}

void BenchWindow::showProblems()
{
    const QList<PlanProblem> &problems = m_plan->table()->problems();
    problemList->clear();
    for (const PlanProblem &problem : problems) {
        auto *item = new QListWidgetItem(problem.shown, problemList);
        item->setToolTip(problem.text);  // where in the file, as velmora-cli batch says it
        item->setData(RowData, problem.row);
        item->setData(ColumnData, problem.column);
    }
    problemList->setVisible(!problems.isEmpty());
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
    const QModelIndex shown = resultFilter->mapFromSource(m_plan->table()->index(row, std::max(column, 0)));
    planView->setCurrentIndex(shown);
    planView->scrollTo(shown, QAbstractItemView::PositionAtCenter);
    planView->setFocus();
}

void BenchWindow::updateStartable()
{
    const PlanTable *table = m_plan->table();
    QString reason;
    if (isRunning())
        reason = tr("A run is going on");
    else if (table->rowCount() == 0 && table->problems().isEmpty())
        reason = tr("Open a plan first");
    else if (!table->isValid())
        reason = tr("The plan has %n problem(s): see the list under it", nullptr, int(table->problems().size()));
    else if (lanePanel->ports().isEmpty())
        reason = tr("Add a lane first");
    else if (m_line->isOpeningRecord())
        reason = tr("The line's record is being opened");
    startButton->setEnabled(reason.isEmpty());
    startAction->setEnabled(reason.isEmpty());
    startButton->setToolTip(reason.isEmpty() ? tr("Provisions the rows not done yet (Ctrl+R)") : reason);
}

// The next cell, after the current one, whose text holds what is typed.
void BenchWindow::find()
{
    const QString wanted = findEdit->text();
    const QAbstractItemModel *shown = planView->model();
    if (wanted.isEmpty() || shown->rowCount() == 0 || shown->columnCount() == 0)
        return;
    const QModelIndex cell = PlanSession::findNext(shown, planView->currentIndex(), wanted);
    if (!cell.isValid()) {
        statusBar()->showMessage(tr("Not in the plan: %1").arg(wanted), NoticeMs);
        return;
    }
    planView->setCurrentIndex(cell);
    planView->scrollTo(cell);
    statusBar()->clearMessage();
}

// Over a selection, each column's first selected cell into those selected below it.
void BenchWindow::fillDown()
{
    QModelIndexList cells;
    for (const QModelIndex &shown : planView->selectionModel()->selectedIndexes())
        cells << resultFilter->mapToSource(shown);
    const int filled = m_plan->fillDown(cells);
    statusBar()->showMessage(filled > 0 ? tr("Filled %n cell(s)", nullptr, filled)
                                        : tr("Select cells of a column to fill down, the value at the top"),
                             NoticeMs);
}

QSet<int> BenchWindow::selectedRows() const
{
    QSet<int> rows;
    for (const QModelIndex &shown : planView->selectionModel()->selectedIndexes()) {
        if (const int row = m_plan->table()->planRow(resultFilter->mapToSource(shown).row()); row > 0)
            rows.insert(row);
    }
    return rows;
}

// A line of a shared record

void BenchWindow::chooseLine()
{
    auto *openLineDialog = new OpenLineDialog(this);
    openLineDialog->setObjectName(QStringLiteral("openLineDialog"));
    openLineDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(openLineDialog, &QDialog::accepted, this, [this, openLineDialog] { openLine(openLineDialog->place()); });
    openLineDialog->open();
}

void BenchWindow::openLine(const Line::StationPlace &place)
{
    m_line->open(place);
}

void BenchWindow::setRecordWait(int seconds)
{
    m_line->setRecordWait(seconds);
}

void BenchWindow::lineRefused(int status, const QString &reason)
{
    emit recordRefused(status, reason);
    refuse(reason, status, tr("Line"));
}

// The line is in the table: the window shows it, as a plan of its own.
void BenchWindow::showLine()
{
    sizeColumns();
    setWindowTitle(tr("%1 - Velmora Bench").arg(m_line->shownName()));
    lanePanel->clearLanes();
    setRunControls(false);
    m_run->forgetRate();
    showRecord();
    updateChecks();
    updateProgress();
    statusBar()->clearMessage();
    emit lineOpened();
}

// Every lane waits for the record, for a row or to set down what its
// device is doing; one writing a device says so again as it goes on.
void BenchWindow::showUnreachable(const QDateTime &since)
{
    const QString text = tr("record unreachable since %1; waiting").arg(since.toString(QStringLiteral("HH:mm:ss")));
    statusBar()->showMessage(text);
    if (!isRunning())
        return;
    for (const QString &port : lanePanel->ports()) {
        if (LaneView *lane = lanePanel->lane(port))
            lane->setState(text);
    }
}

void BenchWindow::showReachable()
{
    showStatus(tr("record reachable again"));
    for (const QString &port : lanePanel->ports()) {
        LaneView *lane = lanePanel->lane(port);
        if (lane && lane->state().startsWith(QLatin1String("record unreachable")))
            lane->setState(tr("record reachable again"));
    }
}

// The run

void BenchWindow::refuse(const QString &reason, int status, const QString &title)
{
    m_run->refused(status);
    updateProgress();
    showStatus(reason);
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
    const PlanTable *table = m_plan->table();
    if (isRunning() || m_line->isOpeningRecord())
        return false;
    if (!table->isValid()) {
        refuse(table->problems().isEmpty()
                   ? tr("Open a plan first")
                   : tr("The plan has %n problem(s); the first: %1", nullptr, int(table->problems().size()))
                         .arg(table->problems().first().shown),
               Exit::UsageError);
        return false;
    }
    if (lanePanel->ports().isEmpty()) {
        refuse(tr("Add a lane first: a port a device is connected to"), Exit::UsageError);
        return false;
    }
    if (isLine()) {
        m_line->openRecord();
        return true;
    }
    // The plan on the disk is the one the log records, so that velmora-cli
    // batch can resume the run.
    if (table->isModified() && !savePlan()) {
        refuse(tr("The plan is not saved: not started"), Exit::UsageError);
        return false;
    }
    return beginRun(std::make_unique<RunSession>(table->plan(), waiting(), m_lineSettings));
}

bool BenchWindow::beginRun(std::unique_ptr<RunSession> session)
{
    std::vector<RunSession::LaneSpec> lanes;
    for (const QString &port : lanePanel->ports())
        lanes.push_back({port, lanePanel->device(port)});
    QString error;
    Exit::Status status = Exit::Success;
    if (!m_run->open(std::move(session), waiting(), lanes, m_plan->logFile(), &error, &status)) {
        refuse(error, status);
        return false;
    }
    problemLabel->clear();
    problemLabel->hide();
    // A line's rows stay as the record has them; a log's are read again.
    if (!isLine())
        m_plan->showEarlierOk(m_run->plan());
    lanePanel->clearLanes();
    setRunControls(true);
    m_closeWhenDone = false;  // a close asked for belongs to the run it was asked in
    m_run->start();
    return true;
}

void BenchWindow::setRunControls(bool running)
{
    m_plan->table()->setEditable(!running);
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
    m_run->stop();
}

void BenchWindow::runEnded(int status)
{
    setRunControls(false);
    updateProgress();
    if (closeQuestion)
        closeQuestion->setText(tr("The run has ended. Close the window?"));
    emit runFinished(status);
    if (std::exchange(m_closeWhenDone, false) || m_quitWhenDone)
        close();
}

void BenchWindow::updateProgress()
{
    const PlanTable::Counts counts = m_plan->table()->counts();
    progressBar->setMaximum(std::max(1, counts.done() + counts.left));
    progressBar->setValue(counts.done());
    const QString text = m_run->countsText(counts);
    countsLabel->setText(isLine() ? m_line->summary() + QLatin1String("; ") + text : text);
}

// The report and the labels

bool BenchWindow::writeReport(const QString &pdfFile, QString *error)
{
    return m_output->writeReport(pdfFile, error);
}

bool BenchWindow::writeLabels(const QString &pdfFile, const LabelFormat &format, const QSet<int> &rows, QString *error)
{
    return m_output->writeLabels(pdfFile, format, rows, error);
}

// The operator is asked once; the name is remembered for every report after.
bool BenchWindow::askOperator()
{
    if (!operatorName().isEmpty())
        return true;
    bool given = false;
    const QString name = QInputDialog::getText(this, tr("Report"), tr("Operator, as the report names who ran the bench:"),
                                               QLineEdit::Normal, QString(), &given).trimmed();
    if (!given || name.isEmpty())
        return false;
    setOperatorName(name);
    return true;
}

void BenchWindow::exportReport()
{
    if (!askOperator())
        return;
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Export the report"), m_output->pdfFile(QStringLiteral(".report.pdf")),
                                                        tr("PDF (*.pdf)"));
    if (chosen.isEmpty())
        return;
    QString error;
    if (!writeReport(chosen, &error)) {
        QMessageBox::warning(this, tr("Export the report"), error);
        return;
    }
    statusBar()->showMessage(tr("Wrote %1 and %2").arg(chosen, BenchOutput::csvBeside(chosen)), WrittenMs);
}

void BenchWindow::printReport()
{
    BenchOutput::Pages pages;
    QString error;
    if (!askOperator())
        return;
    if (!m_output->report(&pages, &error)) {
        QMessageBox::warning(this, tr("Print the report"), error);
        return;
    }
    if (!printPages(this, pages.title, pages.layout, pages.paint, &error) && !error.isEmpty())
        QMessageBox::warning(this, tr("Print the report"), error);
}

void BenchWindow::printLabels()
{
    QList<Batch::LogRecord> rows;
    QString error;
    if (!m_output->outcomes(&rows, &error)) {
        QMessageBox::warning(this, tr("Print labels"), error);
        return;
    }
    const QSet<int> selected = selectedRows();
    const auto okOf = [&](bool onlySelected) {
        QList<Batch::LogRecord> chosen;
        for (const Batch::LogRecord &row : rows) {
            if (!onlySelected || selected.contains(row.row))
                chosen << row;
        }
        return labelsFor(chosen);
    };
    LabelDialog dialog(int(okOf(false).size()), int(okOf(true).size()), canWritePdf(), canPrint(), this);
    dialog.setObjectName(QStringLiteral("labelDialog"));
    const int output = dialog.exec();
    if (output != LabelDialog::ToPdf && output != LabelDialog::ToPrinter)
        return;
    const LabelFormat &format = labelFormats().at(dialog.format());
    const QList<Label> labels = okOf(dialog.selectedOnly());
    if (output == LabelDialog::ToPrinter) {
        const BenchOutput::Pages pages = m_output->labels(format, labels);
        if (!printPages(this, pages.title, pages.layout, pages.paint, &error) && !error.isEmpty())
            QMessageBox::warning(this, tr("Print labels"), error);
        return;
    }
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save the labels as"), m_output->pdfFile(QStringLiteral(".labels.pdf")),
                                                        tr("PDF (*.pdf)"));
    if (chosen.isEmpty())
        return;
    if (!writeLabels(chosen, format, dialog.selectedOnly() ? selected : QSet<int>(), &error)) {
        QMessageBox::warning(this, tr("Print labels"), error);
        return;
    }
    statusBar()->showMessage(tr("Wrote %n label(s) to %1", nullptr, int(labels.size())).arg(chosen), WrittenMs);
}

} // namespace Bench
