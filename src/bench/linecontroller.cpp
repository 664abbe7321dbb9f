#include "linecontroller.h"

#include "plantable.h"
#include "runcontroller.h"
#include "settings.h"

#include "line/linerecord.h"
#include "line/linewatcher.h"

#include <QTimer>

#include <utility>

namespace Bench {

namespace {

// A record that cannot be reached while --record-wait lasts: tried again after this.
constexpr int RetryMs = 1000;

} // namespace

LineController::LineController(PlanTable *table, const RunController *run, QObject *parent)
    : QObject(parent), m_table(table), m_run(run)
{
}

LineController::~LineController() = default;

void LineController::open(const Line::StationPlace &place)
{
    if (m_run->isRunning() || m_opening) {
        emit refused(Exit::UsageError, tr("A run is going on"));
        return;
    }
    m_waitingSince = QDateTime::currentDateTime();
    m_saidWaiting = false;
    watch(place, ++m_openings);
}

void LineController::watch(const Line::StationPlace &place, int opening)
{
    // A line asked for while another opens: the later one is meant. The
    // line shown stays until this one is open.
    m_openingWatcher = std::make_unique<Line::LineWatcher>(place.address, place.line);
    Line::LineWatcher *watcher = m_openingWatcher.get();
    connect(watcher, &Line::LineWatcher::opened, this, [this, place] {
        // Deleted later where it is not wanted: it is telling this still.
        Line::LineWatcher *watching = m_openingWatcher.release();
        if (m_run->isRunning()) {
            watching->deleteLater();
            emit refused(Exit::UsageError, tr("A run is going on"));
            return;
        }
        // Its rows go to the table from now on, never to the plan shown before.
        m_watcher.reset(watching);
        connect(watching, &Line::LineWatcher::rowsChanged, this, [this](const QList<Line::RowState> &rows) {
            for (const Line::RowState &row : rows)
                m_table->setLineRow(row);
        });
        connect(watching, &Line::LineWatcher::unreachable, this, &LineController::unreachable);
        connect(watching, &Line::LineWatcher::reachable, this, &LineController::reachable);
        m_place = place;
        const Line::LineInfo &line = m_watcher->line();
        m_table->setLine(line.plan, line.planFile);
        for (const Line::RowState &row : m_watcher->rows())
            m_table->setLineRow(row);
        m_table->flushChanges();
        QSettings stored = settings();
        stored.setValue(QStringLiteral("line/record"), m_place.record);
        stored.setValue(QStringLiteral("line/name"), m_place.line);
        stored.setValue(QStringLiteral("line/station"), m_place.station);
        emit opened();
    });
    connect(watcher, &Line::LineWatcher::refused, this, [this, place, opening](Line::Refusal refusal, const QString &error) {
        m_openingWatcher.release()->deleteLater();
        if (refusal == Line::Refusal::Unreachable
            && QDateTime::currentDateTime() < m_waitingSince.addSecs(m_recordWaitSeconds)) {
            if (!std::exchange(m_saidWaiting, true))
                emit waiting(tr("record unreachable since %1; waiting up to %2 s (%3)")
                                 .arg(m_waitingSince.toString(QStringLiteral("HH:mm:ss")))
                                 .arg(m_recordWaitSeconds)
                                 .arg(error));
            QTimer::singleShot(RetryMs, this, [this, place, opening] {
                if (opening == m_openings && !m_run->isRunning())
                    watch(place, opening);
            });
            return;
        }
        emit refused(Line::exitStatusFor(refusal), error);
    });
    if (!m_saidWaiting)
        emit message(tr("Opening line %1 of %2...").arg(place.line, place.address.shown()));
    watcher->open();
}

void LineController::close()
{
    ++m_openings;
    m_watcher.reset();
    m_openingWatcher.reset();
    m_place = {};
}

QString LineController::shownName() const
{
    return tr("line %1 of %2").arg(m_place.line, m_place.address.shown());
}

QString LineController::recordText() const
{
    return tr("Record: line %1 of %2, this bench station %3").arg(m_place.line, m_place.address.shown(), m_place.station);
}

QString LineController::summary() const
{
    const PlanTable::Counts counts = m_table->counts();
    return tr("line %1: %2 of %3 ok, %4 on this bench (%5)")
        .arg(m_place.line)
        .arg(counts.ok)
        .arg(m_table->plan().size())
        .arg(m_table->okBy(m_place.station))
        .arg(m_place.station);
}

QList<Batch::LogRecord> LineController::outcomes() const
{
    return m_watcher ? m_watcher->outcomes() : QList<Batch::LogRecord>();
}

// The record opens in the background: its journal, the station's lease,
// the line's plan. The window goes on meanwhile; Start waits for it.
void LineController::openRecord()
{
    Line::LineRecord::Settings settings;
    settings.line = m_place.line;
    settings.station = m_place.station;
    m_opening = std::make_unique<Line::LineRecord>(m_place.address, settings);
    emit openingChanged();
    emit message(tr("Opening line %1 for station %2...").arg(m_place.line, m_place.station));
    m_opening->open([this](Line::Refusal refusal, const QString &error) {
        // Let go once the record has returned from this.
        Line::LineRecord *opened = m_opening.release();
        emit openingChanged();
        if (refusal != Line::Refusal::None) {
            opened->deleteLater();
            emit refused(Line::exitStatusFor(refusal), error);
            return;
        }
        if (!opened->replayed().isEmpty())
            emit message(tr("%n verdict(s) from the journal set down: %1", nullptr, int(opened->replayed().size()))
                             .arg(opened->replayed().join(QLatin1String(", "))));
        if (!opened->warnings().isEmpty())
            emit warning(opened->warnings().join(QLatin1Char('\n')));
        m_opened.reset(opened);
        emit recordOpened();
    });
}

std::unique_ptr<Batch::Record> LineController::takeRecord()
{
    return std::move(m_opened);
}

} // namespace Bench
