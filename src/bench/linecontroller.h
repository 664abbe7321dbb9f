// A line of a shared record as the bench's plan, without its window: the
// line watched and its rows kept live in the table, and at Start the record
// opened for this bench's station, in the background.
#pragma once

#include "batch/logrecords.h"
#include "line/stationplace.h"

#include <QDateTime>
#include <QObject>

#include <memory>

namespace Batch {
class Record;
}

namespace Line {
class LineRecord;
class LineWatcher;
} // namespace Line

namespace Bench {

class PlanTable;
class RunController;

class LineController : public QObject
{
    Q_OBJECT

public:
    LineController(PlanTable *table, const RunController *run, QObject *parent = nullptr);
    ~LineController() override;

    // Watches a line: opened() once the table shows it, or refused(). The
    // line shown stays until then; a later open() is the one meant.
    void open(const Line::StationPlace &place);
    // How long open() tries again a record that cannot be reached before it
    // is refused (0: refused at once), saying so as message() once.
    void setRecordWait(int seconds) { m_recordWaitSeconds = seconds; }
    // A plan in place of the line: the line shown and one being opened are let go.
    void close();
    // Of the line open, if one is.
    const Line::StationPlace &place() const { return m_place; }
    // "line NAME of ADDRESS".
    QString shownName() const;
    // "Record: ...", and the summary of the line and of this bench.
    QString recordText() const;
    QString summary() const;
    // Every station's rows as the record holds them now, one a plan row.
    QList<Batch::LogRecord> outcomes() const;

    // Start: opens the record for this station in the background;
    // recordOpened() and then takeRecord(), or refused().
    void openRecord();
    bool isOpeningRecord() const { return bool(m_opening); }
    std::unique_ptr<Batch::Record> takeRecord();

signals:
    void opened();
    // The record could not be used; status as velmora-cli would exit.
    void refused(int status, const QString &reason);
    // isOpeningRecord() changed.
    void openingChanged();
    void recordOpened();
    // For the status bar.
    void message(const QString &text);
    // What the person must act on, kept in view: rows on two devices.
    void warning(const QString &text);
    // open() waits for the record (setRecordWait()); said once.
    void waiting(const QString &text);
    void unreachable(const QDateTime &since);
    void reachable();

private:
    void watch(const Line::StationPlace &place, int opening);

    PlanTable *m_table = nullptr;
    int m_recordWaitSeconds = 0;
    int m_openings = 0;         // open() and close() calls: a retry of an earlier one is dropped
    QDateTime m_waitingSince;   // of the opening under way
    bool m_saidWaiting = false;
    const RunController *m_run = nullptr;
    Line::StationPlace m_place;  // of the line open, if one is
    std::unique_ptr<Line::LineWatcher> m_watcher;         // of the line shown
    std::unique_ptr<Line::LineWatcher> m_openingWatcher;  // of one asked for, until it opens
    std::unique_ptr<Line::LineRecord> m_opening;  // Start on a line: the record while it opens
    std::unique_ptr<Line::LineRecord> m_opened;   // then until it is taken
};

} // namespace Bench
