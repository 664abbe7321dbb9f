// The record of a batch, LOG.csv: one line per device attempt, appended and
// flushed to disk before the next device starts, so that a crash or a pulled
// cable loses nothing that was done. Never rewritten: a run that is started
// again with the same log skips the rows it records as ok.
//
// Before a device is written, a line "writing" for its row and port is on
// the disk, with the room for its verdict line reserved: a run killed in
// between leaves that line without a verdict, and the next run reads that
// port's device first to see whether it holds the row.
//
//   time,row,id,line,result,detail,<the plan's keys>,read_<every key>
//
// The plan's keys hold what the row asked for, the read_ columns everything
// the device held after the write (all ten values, so a line says what the
// device is), empty where no read-back came.
#pragma once

#include "plan.h"

#include <QDateTime>
#include <QFile>
#include <QSet>
#include <QStringList>

#include <optional>
#include <vector>

namespace Batch {

enum class Result { Ok, Mismatch, Refused, NoAnswer, Skipped, Writing };

// "ok", "mismatch", "refused", "no-answer", "skipped", "writing".
QString resultName(Result result);

// What became of one row on one port.
struct Attempt
{
    int row = 0;   // counted from 1
    QString port;  // as given on the command line
    Result result = Result::Ok;
    QString detail;  // what went wrong, one line
    std::optional<Protocol::ParameterBlock> readBack;
    qint64 ms = 0;  // from the first frame to the verdict
};

class BatchLog
{
public:
    explicit BatchLog(const Plan &plan);
    ~BatchLog();

    QStringList header() const;
    // One line of the log, without its line end.
    QString line(const Attempt &attempt, const QDateTime &time) const;

    // Opens the log for appending, for this program alone: a new or empty
    // file gets the header; an existing one must have this plan's header and
    // ok lines that match the plan's rows. On failure returns false with
    // "FILE:LINE: ..." lines in *errors. A line cut off by a crash is
    // ignored, with a line in *warnings.
    bool open(const QString &fileName, QStringList *errors, QStringList *warnings);
    // The rows an earlier run provisioned and verified.
    const QSet<int> &okRows() const { return m_okRows; }

    // A "writing" line no verdict followed: that port's device may hold the row.
    struct InDoubt
    {
        int row = 0;
        QString port;
        int line = 0;  // of the log
    };
    const std::vector<InDoubt> &inDoubt() const { return m_inDoubt; }

    // Appends one line and waits until it is on the disk. Refuses when the
    // file at the log's name is no longer the one written to, or no longer
    // as long as it was left (deleted, replaced, cut short: what it
    // recorded is gone). A "writing" line also reserves the room its verdict
    // line will need, so a full disk stops a run before a device is written.
    bool append(const Attempt &attempt);
    QString fileName() const { return m_file.fileName(); }
    QString errorString() const { return m_error; }

private:
    bool readRecords(const QByteArray &bytes, QStringList *errors, QStringList *warnings);
    QString mismatch(const QStringList &fields) const;
    bool stillTheSameFile();
    bool reserve(qint64 bytes);
    bool writeDurably(const QByteArray &bytes);

    const Plan &m_plan;
    QFile m_file;
    QSet<int> m_okRows;
    std::vector<InDoubt> m_inDoubt;
    QString m_error;
    bool m_cutOff = false;  // the file ends in the middle of a line
    // The file as this log left it: which one, and how long.
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_size = 0;
};

} // namespace Batch
