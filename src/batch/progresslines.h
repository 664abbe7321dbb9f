// A batch run told as lines of text, one per event, for the person at the
// bench: what a port waits for, each device's result, and the summary last.
// velmora-cli prints them; velmora-bench shows the latest in its status bar.
#pragma once

#include "batchrun.h"

namespace Batch {

class ProgressLines : public QObject
{
    Q_OBJECT

public:
    ProgressLines(const BatchRun &run, const Record &record, QObject *parent = nullptr);

    // "[3/50] row 3 on /dev/ttyUSB0: ok 39 ms"
    static QString attemptLine(const Plan &plan, const Attempt &attempt, int done);

signals:
    void line(const QString &text);

private:
    void laneChanged(const QString &port, LaneState state, int row);

    const BatchRun &m_run;
    const Plan &m_plan;
    const Record &m_record;
    QDateTime m_unreachableSince;  // of the outage said last
};

} // namespace Batch
