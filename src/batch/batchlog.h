// The record of a batch on one bench, LOG.csv (see logformat.h): one line
// per device attempt, appended and on the disk before the next device
// starts, so that a crash or a pulled cable loses nothing that was done.
// Never rewritten: a run that is started again with the same log skips the
// rows it records as ok.
//
// Before a device is written, a line "writing" for its row and port is on
// the disk, with the room for its verdict line reserved: a run killed in
// between leaves that line without a verdict, and the next run reads that
// port's device first to see whether it holds the row.
#pragma once

#include "durablefile.h"
#include "record.h"

#include <QStringList>

#include <deque>

namespace Batch {

class BatchLog : public Record
{
    Q_OBJECT

public:
    explicit BatchLog(const Plan &plan, QObject *parent = nullptr);
    ~BatchLog() override;

    // Opens the log for appending, for this program alone: a new or empty
    // file gets the header; an existing one must have this plan's header and
    // ok lines that match the plan's rows. On failure returns false with
    // "FILE:LINE: ..." lines in *errors. A line cut off by a crash is
    // ignored, with a line in *warnings.
    bool open(const QString &fileName, QStringList *errors, QStringList *warnings);
    QString fileName() const { return m_file.fileName(); }

    // Appends one line and waits until it is on the disk. Refuses when the
    // file at the log's name is no longer the one written to, or no longer
    // as long as it was left (deleted, replaced, cut short: what it
    // recorded is gone). A "writing" line also reserves the room its verdict
    // line will need, so a full disk stops a run before a device is written.
    bool append(const Attempt &attempt);

    // Record
    const Plan &plan() const override { return m_plan; }
    QString name() const override { return fileName(); }
    const QSet<int> &okRows() const override { return m_okRows; }
    const std::vector<InDoubt> &inDoubt() const override { return m_inDoubt; }
    void claim(const QString &port, Claimed claimed) override;
    bool hasFreeRows() const override { return !m_free.empty(); }
    void release(int row) override;
    void setWriting(const Attempt &attempt, Done done) override;
    void setVerdict(const Attempt &attempt, Done done) override;
    QString errorString() const override { return m_error; }

private:
    bool readRecords(const QByteArray &bytes, QStringList *errors, QStringList *warnings);
    QString mismatch(const QStringList &fields) const;
    void store(const Attempt &attempt, Done done);

    const Plan &m_plan;
    DurableFile m_file;
    QSet<int> m_okRows;
    std::vector<InDoubt> m_inDoubt;
    std::deque<int> m_free;  // rows not claimed yet, in plan order
    QString m_error;
    bool m_cutOff = false;  // the file ends in the middle of a line
};

} // namespace Batch
