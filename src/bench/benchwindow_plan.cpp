// The plan: opening, saving, its problems, its record, and editing it in the table.
#include "benchwindow.h"

#include "batch/batchlog.h"
#include "line/linewatcher.h"
#include "lanepanel.h"
#include "newplandialog.h"
#include "resultfilter.h"
#include "settings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QStatusBar>
#include <QTableView>

#include <algorithm>
#include <map>

namespace Bench {

namespace {

enum ProblemData { RowData = Qt::UserRole, ColumnData };

// A column is never wider than this many average characters: a long id is
// cut short with "…", its tooltip showing it whole.
constexpr int MaxColumnCharacters = 28;

} // namespace

QString BenchWindow::defaultLogFile(const QString &planFile)
{
    const QFileInfo plan(planFile);
    return plan.dir().filePath(plan.completeBaseName() + QStringLiteral(".log.csv"));
}

bool BenchWindow::openPlan(const QString &fileName, QString *error)
{
    if (isRunning() || m_opening) {
        *error = tr("a run is going on");
        return false;
    }
    if (!planTable->load(fileName, error))
        return false;
    m_watcher.reset();  // a line open before is closed, and one being opened
    m_openingWatcher.reset();
    m_place = {};
    setRunControls(false);
    m_logFile = defaultLogFile(fileName);
    sizeColumns();
    setWindowTitle(tr("%1 - Velmora Bench").arg(QFileInfo(fileName).fileName()));
    // What the lanes and the rate said was of the last plan.
    lanePanel->clearLanes();
    m_attemptsThisRun = 0;
    m_runMs = 0;
    m_runClock.invalidate();
    showEarlierRun();
    updateProgress();
    return true;
}

// Wide enough for the header and the first rows (measuring them all would
// take long on a plan of thousands), at most MaxColumnCharacters wide;
// then the widths the person gave the columns of these names.
void BenchWindow::sizeColumns()
{
    const QFontMetrics metrics = planView->fontMetrics();
    const int widest = metrics.averageCharWidth() * MaxColumnCharacters;
    const QVariantMap saved = settings().value(QStringLiteral("window/columnWidths")).toMap();
    for (int column = 0; column < planTable->keyColumns(); ++column) {
        const QString name = planTable->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        int width = metrics.horizontalAdvance(name);
        for (int row = 0; row < std::min(planTable->rowCount(), 100); ++row)
            width = std::max(width, metrics.horizontalAdvance(planTable->index(row, column).data().toString()));
        width = std::min(width + 24, widest);
        planView->setColumnWidth(column, saved.contains(name) ? std::max(saved.value(name).toInt(), 20) : width);
    }
    planView->setColumnWidth(planTable->resultColumn(), metrics.horizontalAdvance(QStringLiteral("mismatch: sn: wrote 3")) + 24);
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

// A plan whose log exists resumes it: the rows it has as ok are shown
// done, with what their devices read back.
void BenchWindow::showEarlierRun(bool markRows)
{
    if (isLine()) {
        logLabel->setText(tr("Record: line %1 of %2, this bench station %3")
                              .arg(m_place.line, m_place.address.shown(), m_place.station));
        return;
    }
    QString text = tr("Record: %1").arg(QDir::toNativeSeparators(m_logFile));
    if (isRunning()) {
        logLabel->setText(text + tr(" - this run writes to it"));
        return;
    }
    if (!QFileInfo::exists(m_logFile)) {
        logLabel->setText(text + tr(" (new)"));
        return;
    }
    if (!planTable->isValid()) {
        logLabel->setText(text);
        return;
    }
    Batch::BatchLog log(planTable->plan());
    QStringList errors;
    QStringList warnings;
    QList<Batch::LogRecord> lines;
    QString error;
    if (!log.open(m_logFile, &errors, &warnings)) {
        text += QLatin1String(" - ") + errors.join(QLatin1Char('\n'));
    } else if (!Batch::readLogFile(m_logFile, &lines, &error)) {
        text += QLatin1String(" - ") + error;
    } else {
        if (markRows)
            planTable->markEarlierOk(Batch::rowOutcomes(planTable->plan(), lines));
        const int ok = int(log.okRows().size());
        const int rows = planTable->plan().size();
        if (ok == rows)
            text += tr(" - all %1 rows ok in it: nothing left to provision").arg(rows);
        else if (ok == 0)
            text += tr(" - no row ok in it yet: Start provisions every row");
        else
            text += tr(" - %1 of %2 rows ok in it: Start resumes, they are not provisioned again").arg(ok).arg(rows);
    }
    if (!warnings.isEmpty())
        text += QLatin1Char('\n') + warnings.join(QLatin1Char('\n'));
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
        auto *item = new QListWidgetItem(problem.shown, problemList);
        item->setToolTip(problem.text);  // where in the file, as velmora-cli batch says it
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
    else if (m_opening)
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
    const int rows = shown->rowCount();
    const int columns = shown->columnCount();
    if (wanted.isEmpty() || rows == 0 || columns == 0)
        return;
    const QModelIndex current = planView->currentIndex();
    const int from = current.isValid() ? current.row() * columns + current.column() + 1 : 0;
    for (int step = 0; step < rows * columns; ++step) {
        const int at = (from + step) % (rows * columns);
        const QModelIndex cell = shown->index(at / columns, at % columns);
        if (cell.data().toString().contains(wanted, Qt::CaseInsensitive)) {
            planView->setCurrentIndex(cell);
            planView->scrollTo(cell);
            statusBar()->clearMessage();
            return;
        }
    }
    statusBar()->showMessage(tr("Not in the plan: %1").arg(wanted), 5000);
}

// Over a selection, each column's first selected cell into those selected below it.
void BenchWindow::fillDown()
{
    std::map<int, QList<int>> rowsByColumn;
    for (const QModelIndex &shown : planView->selectionModel()->selectedIndexes()) {
        const QModelIndex cell = resultFilter->mapToSource(shown);
        if (cell.column() < planTable->keyColumns())
            rowsByColumn[cell.column()] << cell.row();
    }
    int filled = 0;
    for (auto &[column, rows] : rowsByColumn) {
        std::sort(rows.begin(), rows.end());
        if (planTable->fillDown(column, rows))
            filled += int(rows.size()) - 1;
    }
    statusBar()->showMessage(filled > 0 ? tr("Filled %n cell(s)", nullptr, filled)
                                        : tr("Select cells of a column to fill down, the value at the top"),
                             5000);
}

} // namespace Bench
