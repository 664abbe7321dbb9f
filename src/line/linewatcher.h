// A line of the record as it changes, for a window that shows it: its plan
// and the state of every row (who has it, what became of it, what its
// device read back). A row is read again when the record names it in a
// notification on the line's channel, never by asking for every row over
// and over; notifications that come close together are read in one query,
// a few times a second at most however many lanes write the line. After a
// break in the connection the whole line is read again, as notifications
// sent meanwhile are lost. The watcher's connection is a RecordLink of its
// own: nothing here waits on the network.
#pragma once

#include "lineplan.h"
#include "recordlink.h"

#include "batch/logrecords.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace Line {

struct RowState
{
    enum State { Free, Claimed, Writing, Ok, Failed };
    int row = 0;
    State state = Free;
    std::optional<Batch::Result> result;  // of an ok or failed row
    QString station;  // that has the row, or did it
    QString lane;
    QString detail;
    qint64 ms = 0;
    std::optional<Protocol::ParameterBlock> readBack;
    QDateTime time;  // of the verdict; for a row not settled, when its state changed
};

class LineWatcher : public QObject
{
    Q_OBJECT

public:
    // Notifications are gathered this long into one read.
    static constexpr int GatherMs = 250;
    // While nothing is notified the connection is tried this often, so that
    // a break is found and the line read again after it.
    static constexpr int CheckMs = 2000;

    LineWatcher(const RecordAddress &address, const QString &line, QObject *parent = nullptr);
    ~LineWatcher() override;

    // Reads the line's plan and every row; opened() or refused() follows, once.
    void open();
    const LineInfo &line() const { return m_line; }
    const RecordAddress &address() const { return m_address; }
    // By row, counted from 0.
    const std::vector<RowState> &rows() const { return m_rows; }
    // One record per row of the plan, as Batch::rowOutcomes makes them of a
    // log: its verdict, or a "writing" record for a row being written, or
    // none. For the report and the labels.
    QList<Batch::LogRecord> outcomes() const;
    // The queries of rows made so far.
    int reads() const { return m_reads; }

signals:
    void opened();
    void refused(Line::Refusal refusal, const QString &error);
    void rowsChanged(const QList<Line::RowState> &rows);
    // The record could not be asked since then: what the rows show may be behind.
    void unreachable(const QDateTime &since);
    void reachable();

private:
    using Rows = std::shared_ptr<QList<RowState>>;

    void notified(const QString &channel, const QString &payload);
    void readSoon();
    // The rows gathered, or every row where wanted is empty.
    void read(const QList<int> &wanted);
    void check();
    void answered(const RecordLink::Answer &answer);
    void readAnswered(const RecordLink::Answer &answer, const Rows &rows);

    const RecordAddress m_address;
    const QString m_name;
    std::unique_ptr<RecordLink> m_link;
    LineInfo m_line;
    QString m_channel;
    std::vector<RowState> m_rows;
    QSet<int> m_wanted;  // rows notified and not read yet
    QTimer m_gatherTimer;
    QTimer m_checkTimer;
    bool m_busy = false;      // a job is with the link
    bool m_behind = false;    // the connection broke: every row is read again
    bool m_reachable = true;
    int m_reads = 0;
};

} // namespace Line
