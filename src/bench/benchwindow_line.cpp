// A line of a shared record: opening it, its rows kept live in the table,
// and Start, which opens the record for this bench's station first.
#include "benchwindow.h"

#include "lanepanel.h"
#include "openlinedialog.h"
#include "runsession.h"
#include "settings.h"

#include "line/linerecord.h"
#include "line/linewatcher.h"

#include <QLabel>
#include <QStatusBar>

namespace Bench {

namespace {

constexpr int StatusMs = 20000;

} // namespace

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
    if (isRunning() || m_opening) {
        lineRefused(Exit::UsageError, tr("A run is going on"));
        return;
    }
    // A line asked for while another opens: the later one is meant. The
    // line shown stays until this one is open.
    m_openingWatcher = std::make_unique<Line::LineWatcher>(place.address, place.line);
    Line::LineWatcher *watcher = m_openingWatcher.get();
    connect(watcher, &Line::LineWatcher::opened, this, [this, place] {
        // Deleted later where it is not wanted: it is telling this still.
        Line::LineWatcher *opened = m_openingWatcher.release();
        if (isRunning()) {
            opened->deleteLater();
            lineRefused(Exit::UsageError, tr("A run is going on"));
            return;
        }
        // Its rows go to the table from now on, never to the plan shown before.
        m_watcher.reset(opened);
        connect(opened, &Line::LineWatcher::rowsChanged, this, &BenchWindow::showLineRows);
        connect(opened, &Line::LineWatcher::unreachable, this, &BenchWindow::showUnreachable);
        connect(opened, &Line::LineWatcher::reachable, this, &BenchWindow::showReachable);
        m_place = place;
        showLine();
    });
    connect(watcher, &Line::LineWatcher::refused, this, [this](Line::Refusal refusal, const QString &error) {
        m_openingWatcher.release()->deleteLater();
        lineRefused(Line::exitStatusFor(refusal), error);
    });
    statusBar()->showMessage(tr("Opening line %1 of %2...").arg(place.line, place.address.shown()), StatusMs);
    watcher->open();
}

void BenchWindow::lineRefused(int status, const QString &reason)
{
    emit recordRefused(status, reason);
    refuse(reason, status, tr("Line"));
}

void BenchWindow::showLine()
{
    const Line::LineInfo &line = m_watcher->line();
    planTable->setLine(line.plan, line.planFile);
    for (const Line::RowState &row : m_watcher->rows())
        planTable->setLineRow(row);
    planTable->flushChanges();
    sizeColumns();
    setWindowTitle(tr("line %1 of %2 - Velmora Bench").arg(m_place.line, m_place.address.shown()));
    lanePanel->clearLanes();
    setRunControls(false);
    m_attemptsThisRun = 0;
    m_runMs = 0;
    m_runClock.invalidate();
    showEarlierRun();
    updateChecks();
    updateProgress();
    statusBar()->clearMessage();
    QSettings stored = settings();
    stored.setValue(QStringLiteral("line/record"), m_place.record);
    stored.setValue(QStringLiteral("line/name"), m_place.line);
    stored.setValue(QStringLiteral("line/station"), m_place.station);
    emit lineOpened();
}

void BenchWindow::showLineRows(const QList<Line::RowState> &rows)
{
    for (const Line::RowState &row : rows)
        planTable->setLineRow(row);
}

QString BenchWindow::lineSummary() const
{
    const PlanTable::Counts counts = planTable->counts();
    return tr("line %1: %2 of %3 ok, %4 on this bench (%5)")
        .arg(m_place.line)
        .arg(counts.ok)
        .arg(planTable->plan().size())
        .arg(planTable->okBy(m_place.station))
        .arg(m_place.station);
}

// The record opens in the background: its journal, the station's lease,
// the line's plan. The window goes on meanwhile; Start waits for it.
void BenchWindow::startOnLine()
{
    Line::LineRecord::Settings settings;
    settings.line = m_place.line;
    settings.station = m_place.station;
    m_opening = std::make_unique<Line::LineRecord>(m_place.address, settings);
    updateStartable();
    statusBar()->showMessage(tr("Opening line %1 for station %2...").arg(m_place.line, m_place.station), StatusMs);
    m_opening->open([this](Line::Refusal refusal, const QString &error) {
        // Let go once the record has returned from this.
        Line::LineRecord *opened = m_opening.release();
        updateStartable();
        if (refusal != Line::Refusal::None) {
            opened->deleteLater();
            lineRefused(Line::exitStatusFor(refusal), error);
            return;
        }
        if (!opened->replayed().isEmpty())
            statusBar()->showMessage(tr("%n verdict(s) from the journal set down: %1", nullptr, int(opened->replayed().size()))
                                         .arg(opened->replayed().join(QLatin1String(", "))),
                                     StatusMs);
        beginRun(std::make_unique<RunSession>(std::unique_ptr<Batch::Record>(opened), waiting(), m_lineSettings));
    });
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
    statusBar()->showMessage(tr("record reachable again"), StatusMs);
    for (const QString &port : lanePanel->ports()) {
        LaneView *lane = lanePanel->lane(port);
        if (lane && lane->state().startsWith(QLatin1String("record unreachable")))
            lane->setState(tr("record reachable again"));
    }
}

} // namespace Bench
