#include "runsession.h"

namespace Bench {

RunSession::RunSession(const Batch::Plan &plan, Batch::Waiting waiting, const Batch::LineSettings &settings,
                       QObject *parent)
    : QObject(parent), m_plan(plan), m_record(std::make_unique<Batch::BatchLog>(m_plan)),
      m_run(std::make_unique<Batch::BatchRun>(*m_record, waiting, settings)), m_progress(*m_run, *m_record)
{
    m_log = static_cast<Batch::BatchLog *>(m_record.get());
}

RunSession::RunSession(std::unique_ptr<Batch::Record> record, Batch::Waiting waiting,
                       const Batch::LineSettings &settings, QObject *parent)
    : QObject(parent), m_record(std::move(record)),
      m_run(std::make_unique<Batch::BatchRun>(*m_record, waiting, settings)), m_progress(*m_run, *m_record)
{
}

RunSession::~RunSession()
{
    m_run.reset();  // its lanes write to the taps
}

Exit::Status RunSession::exitStatus(Failure failure)
{
    switch (failure) {
    case None:
        return Exit::Success;
    case BadLog:
        return Exit::UsageError;
    case NoLine:
        return Exit::NoLine;
    }
    return Exit::UsageError;
}

RunSession::Failure RunSession::open(const std::vector<LaneSpec> &lanes, const QString &logFile, QStringList *errors,
                                     QStringList *warnings)
{
    for (const LaneSpec &lane : lanes) {
        m_taps.push_back(std::make_unique<LineTap>(lane.port));
        connect(m_taps.back().get(), &LineTap::line, this, &RunSession::traceLine);
        m_run->addLane(lane.port, lane.device, m_taps.back()->trace());
    }
    QString error;
    if (!m_run->openPorts(&error)) {
        *errors << error;
        return NoLine;
    }
    if (m_log && !m_log->open(logFile, errors, warnings))
        return BadLog;
    const QStringList unread = m_run->portsInDoubtWithoutLane();
    if (!unread.isEmpty()) {
        *errors << tr("%1: the last run stopped while writing a device on %2; add the lane %3 so that "
                      "it is read first (its row might otherwise go to two devices)")
                       .arg(m_record->name(), unread.join(QLatin1String(", ")), unread.first());
        return BadLog;
    }
    return None;
}

} // namespace Bench
