// line export: every attempt on a line as the CSV log has it, with the
// station that made it in a last column, so that what reads a bench's log
// reads a line's too.
#pragma once

#include "lineplan.h"

#include <QIODevice>

namespace Line {

// Writes the log's header and one line per attempt, oldest first; false
// with why not.
bool exportLine(QSqlDatabase &db, const LineInfo &line, QIODevice *out, QString *error);

} // namespace Line
