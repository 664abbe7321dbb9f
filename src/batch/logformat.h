// The lines of a batch's CSV log, one per attempt:
//
//   time,row,id,line,result,detail,<the plan's keys>,read_<every key>
//
// The plan's keys hold what the row asked for, the read_ columns everything
// the device held after the write (all ten values, so a line says what the
// device is), empty where no read-back came. The "line" column names the
// port. The shared record exports the same lines, with a station column.
#pragma once

#include "record.h"

#include <QStringList>

namespace Batch {

QStringList logHeader(const Plan &plan);
// One line of the log, without its line end.
QString logLine(const Plan &plan, const Attempt &attempt, const QDateTime &time);

// Where the columns are in a line of the log.
namespace LogColumn {
constexpr int Time = 0, Row = 1, Id = 2, Port = 3, Result = 4, Detail = 5;
constexpr int Values = 6;  // the plan's keys come next, then read_ of every key
} // namespace LogColumn

} // namespace Batch
