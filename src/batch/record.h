// Where a batch sets down what it does, so that nothing done is lost and no
// row is given to two devices: the CSV log of one bench (BatchLog), or the
// line record several benches share. The engine, BatchRun, asks it for the
// next row, sets down the write-ahead "writing" state before a device is
// written and the verdict once it is read back, and on a resume reads first
// the devices that were being written when the last run stopped.
//
// Every call answers through its callback, once, and never before the call
// returns: a shared record answers over the network, and may keep a caller
// waiting for as long as it cannot be reached.
#pragma once

#include "plan.h"

#include <QDateTime>
#include <QObject>
#include <QSet>

#include <functional>
#include <optional>
#include <vector>

namespace Batch {

enum class Result { Ok, Mismatch, Refused, NoAnswer, Skipped, Writing };

// "ok", "mismatch", "refused", "no-answer", "skipped", "writing".
QString resultName(Result result);
std::optional<Result> resultNamed(QStringView name);

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

// A "writing" state that no verdict followed: that port's device may hold the row.
struct InDoubt
{
    int row = 0;
    QString port;
};

class Record : public QObject
{
    Q_OBJECT

public:
    enum class Stored {
        Yes,
        RowLost,  // the row is no longer the caller's (a shared record gave it to another): write nothing
        Failed,   // the record cannot be written: errorString() says why
    };
    using Done = std::function<void(Stored)>;
    // The row claimed, or 0 when there is none left for this run.
    using Claimed = std::function<void(int row)>;

    using QObject::QObject;

    virtual const Plan &plan() const = 0;
    // The log's file name, or where the shared record is, for messages.
    virtual QString name() const = 0;
    // Rows provisioned and verified before this run.
    virtual const QSet<int> &okRows() const = 0;
    // The devices to read before any other: their rows are not claimed
    // until release(), and none of them is ok.
    virtual const std::vector<InDoubt> &inDoubt() const = 0;

    // The next row for port, in plan order.
    virtual void claim(const QString &port, Claimed claimed) = 0;
    // Whether a claim now could give a row, as far as the record knows
    // without asking: a lane that has none waits for no next device.
    virtual bool hasFreeRows() const = 0;
    // A row claimed or in doubt, and not written after all, is free again.
    virtual void release(int row) = 0;
    // The write-ahead state, on the record before anything is sent: a run
    // killed while the device is written leaves a trace of it.
    virtual void setWriting(const Attempt &attempt, Done done) = 0;
    // ok, mismatch, refused, no-answer or skipped.
    virtual void setVerdict(const Attempt &attempt, Done done) = 0;
    // The run is stopping: whoever waits for a row or for the record to be
    // reachable again gets none (RowLost) now; verdicts are still kept.
    virtual void stopWaiting() {}
    virtual QString errorString() const = 0;

    // Other stations write rows of the same plan: this run answers for its
    // own rows only, and the rest of the plan is theirs.
    virtual bool isShared() const { return false; }
    // Called once when the run has ended, before it says so: a shared
    // record learns where the whole plan stands (summaryNote()).
    virtual void runEnded(std::function<void()> then) { then(); }
    // "line big: 600 of 600 rows ok", or nothing.
    virtual QString summaryNote() const { return {}; }

signals:
    // The record could not be reached since then; rows wait for it. Again
    // with the same since, now and then, while it stays so.
    void unreachable(const QDateTime &since);
    // Reachable again; journaled verdicts, if any, were set down.
    void reachable(int journaled);
    // What a person must act on, said as it is found (a row on two devices).
    void warning(const QString &text);
    // The record can be used no longer (another run took this station's
    // place): the run stops.
    void broken(const QString &why);
};

} // namespace Batch
