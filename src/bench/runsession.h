// One run of the bench over the engine velmora-cli batch uses: its record
// (a copy of the plan as it was at Start and its log, the same file batch
// writes; or a line of a shared record, opened already), the BatchRun and a
// line tap per lane for the monitor.
#pragma once

#include "batch/batchlog.h"
#include "batch/batchrun.h"
#include "batch/progresslines.h"
#include "linetap.h"

#include "shell/exitstatus.h"

#include <QObject>

#include <memory>
#include <vector>

namespace Bench {

class RunSession : public QObject
{
    Q_OBJECT

public:
    // What stopped a run before it began: a port that cannot be opened, a
    // log that does not fit. exitStatus() says what a program exits with.
    enum Failure { None, BadLog, NoLine };
    static Exit::Status exitStatus(Failure failure);

    struct LaneSpec
    {
        QString port;
        QString device;
    };

    // A run of the plan recorded in its log.
    RunSession(const Batch::Plan &plan, Batch::Waiting waiting, const Batch::LineSettings &settings,
               QObject *parent = nullptr);
    // A run on a record that is open (a line's), of the plan it holds.
    RunSession(std::unique_ptr<Batch::Record> record, Batch::Waiting waiting, const Batch::LineSettings &settings,
               QObject *parent = nullptr);
    ~RunSession() override;

    // Opens the ports, then the log (logFile; a line's record is open
    // already), as batch does; on failure the reason in *errors and which
    // failure it is.
    Failure open(const std::vector<LaneSpec> &lanes, const QString &logFile, QStringList *errors,
                 QStringList *warnings);
    const Batch::Plan &plan() const { return m_record->plan(); }
    Batch::BatchRun &run() { return *m_run; }
    const Batch::ProgressLines &progress() const { return m_progress; }
    const Batch::Record &record() const { return *m_record; }

signals:
    void traceLine(const QString &port, const QByteArray &line);

private:
    const Batch::Plan m_plan;  // the log's; a line's record holds its own
    std::unique_ptr<Batch::Record> m_record;
    Batch::BatchLog *m_log = nullptr;  // m_record, where it is the log
    std::vector<std::unique_ptr<LineTap>> m_taps;
    std::unique_ptr<Batch::BatchRun> m_run;
    Batch::ProgressLines m_progress;
};

} // namespace Bench
