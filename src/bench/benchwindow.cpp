#include "benchwindow.h"

#include "enterclicks.h"
#include "lanepanel.h"
#include "linemonitor.h"
#include "pagedoutput.h"
#include "resultfilter.h"
#include "runsession.h"
#include "settings.h"

#include "line/linerecord.h"
#include "line/linewatcher.h"

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

namespace Bench {

namespace {

constexpr QSize DefaultSize(1000, 700);

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
    // The bar and the counts as the table shows its rows, never ahead or behind.
    connect(planTable, &PlanTable::outcomesShown, this, &BenchWindow::updateProgress);
    connect(lanePanel, &LanePanel::lanesChanged, this, [this] {
        lineMonitor->setLanes(lanePanel->ports());
        updateStartable();
    });
    showProblems();
    updateProgress();
    // Room for everything on a 1024x768 screen, with the window's frame and a panel.
    resize(DefaultSize);
}

BenchWindow::~BenchWindow() = default;

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
}

void BenchWindow::saveSettings() const
{
    QSettings stored = settings();
    stored.setValue(QStringLiteral("window/geometry"), saveGeometry());
    stored.setValue(QStringLiteral("window/state"), saveState());
    // By the column's name, so that a plan with other columns takes the widths of those it shares.
    QVariantMap widths = stored.value(QStringLiteral("window/columnWidths")).toMap();
    for (int column = 0; column < planTable->keyColumns(); ++column)
        widths.insert(planTable->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), planView->columnWidth(column));
    stored.setValue(QStringLiteral("window/columnWidths"), widths);
    stored.setValue(QStringLiteral("run/waiting"), waitingChoice->currentIndex());
    stored.setValue(QStringLiteral("run/line"), isLine());  // the line's place is kept as it opens
    if (!planTable->fileName().isEmpty() && !isLine())
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
        statusBar()->showMessage(tr("Lanes of the last session left out: %1").arg(gone.join(QLatin1String("; "))), 20000);
}

QString BenchWindow::operatorName() const
{
    return settings().value(QStringLiteral("report/operator")).toString();
}

void BenchWindow::setOperatorName(const QString &name)
{
    QSettings stored = settings();
    stored.setValue(QStringLiteral("report/operator"), name);
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
    m_session->run().hold(true);
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
        m_session->run().hold(false);
        return;
    }
    m_closeWhenDone = true;
    stop();
    m_session->run().hold(false);  // stopping: the held lanes go idle, none begins
}

} // namespace Bench
