// A line as the record holds it: its plan, rebuilt from its rows, so that a
// station runs the very plan that line load checked.
#pragma once

#include "batch/plan.h"

#include <QSqlDatabase>

namespace Line {

struct LineInfo
{
    int id = 0;
    QString name;
    QString planFile;
    Batch::Plan plan;
};

// False with why not: no such line, or a value this program cannot read.
bool readLine(QSqlDatabase &db, const QString &name, LineInfo *line, QString *error);
// The id of the line, or 0 with why not.
int lineId(QSqlDatabase &db, const QString &name, QString *error);

} // namespace Line
