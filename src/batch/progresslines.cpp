#include "progresslines.h"

#include "link/phrases.h"

#include <QCoreApplication>

#include <utility>

namespace Batch {

namespace {

// How a run goes, for the person watching it, in their language; an attempt's
// line is the log's, as written.
struct ProgressText
{
    Q_DECLARE_TR_FUNCTIONS(Batch::Progress)
};

} // namespace

ProgressLines::ProgressLines(const BatchRun &run, const Record &record, QObject *parent)
    : QObject(parent), m_run(run), m_plan(record.plan()), m_record(record)
{
    connect(&run, &BatchRun::started, this, [this] {
        if (!m_record.okRows().isEmpty())
            emit line(ProgressText::tr("%1 records %2 of %3 rows as ok: they are not provisioned again")
                          .arg(m_record.name(), QString::number(m_record.okRows().size()),
                               QString::number(m_plan.size())));
    });
    connect(&run, &BatchRun::laneChanged, this, &ProgressLines::laneChanged);
    connect(&record, &Record::unreachable, this, [this](const QDateTime &since) {
        const QString time = since.toString(QStringLiteral("HH:mm:ss"));
        if (since != std::exchange(m_unreachableSince, since))
            emit line(ProgressText::tr("record unreachable since %1; waiting").arg(time));
        else
            emit line(ProgressText::tr("record unreachable since %1; waited %2 s so far")
                          .arg(time).arg(since.secsTo(QDateTime::currentDateTime())));
    });
    connect(&record, &Record::reachable, this, [this](int journaled) {
        emit line(journaled > 0 ? ProgressText::tr("record reachable again; %n verdicts from the journal set down", nullptr, journaled)
                                : ProgressText::tr("record reachable again"));
    });
    connect(&record, &Record::warning, this, &ProgressLines::line);
    connect(&run, &BatchRun::attemptFinished, this, [this](const Attempt &attempt, int done) {
        emit line(attemptLine(m_plan, attempt, done));
    });
    connect(&run, &BatchRun::portLost, this, [this](const QString &port, const QString &error) {
        emit line(ProgressText::tr("%1: port lost; waiting for it to come back (%2)").arg(port, Phrases::said(error)));
    });
    connect(&run, &BatchRun::portBack, this, [this](const QString &port) {
        emit line(ProgressText::tr("%1 is back").arg(port));
    });
    connect(&run, &BatchRun::sameDeviceAnswers, this, [this](const QString &port) {
        emit line(ProgressText::tr("the device on %1 answers again with the values just written: "
                                 "waiting for another device").arg(port));
    });
    connect(&run, &BatchRun::stopping, this, [this](const QStringList &ports) {
        if (!ports.isEmpty())
            emit line(ProgressText::tr("stopping once the device being written on %1 is done")
                          .arg(ports.join(QLatin1String(", "))));
    });
    connect(&run, &BatchRun::finished, this, [this] { emit line(m_run.summary()); });
}

QString ProgressLines::attemptLine(const Plan &plan, const Attempt &attempt, int done)
{
    QString outcome = resultName(attempt.result);
    if (attempt.result != Result::Skipped)
        outcome += QStringLiteral(" %1 ms").arg(attempt.ms);
    if (!attempt.detail.isEmpty())
        outcome += QLatin1String(": ") + Phrases::said(attempt.detail);
    return QStringLiteral("[%1/%2] %3 on %4: %5")
        .arg(done)
        .arg(plan.size())
        .arg(plan.rowName(attempt.row), attempt.port, outcome);
}

void ProgressLines::laneChanged(const QString &port, LaneState state, int row)
{
    switch (state) {
    case LaneState::AwaitingDevice:
        if (m_run.waiting() == Waiting::Auto)  // otherwise the lane asks
            emit line(ProgressText::tr("waiting for %1 on %2").arg(m_plan.deviceName(row), port));
        return;
    case LaneState::AwaitingDeparture:
        emit line(ProgressText::tr("waiting for the device on %1 to be unplugged").arg(port));
        return;
    case LaneState::Checking:
        emit line(ProgressText::tr("%1 was being written on %2 when the last run stopped: reading its device")
                      .arg(m_plan.rowName(row), port));
        return;
    case LaneState::Idle:
    case LaneState::Provisioning:
    case LaneState::Closed:
    case LaneState::PortLost:  // told by portLost, with its reason
        return;
    }
}

} // namespace Batch
