// A line as the record holds it: its plan, rebuilt from its rows, so that a
// station runs the very plan that line load checked.
#pragma once

#include "connection.h"
#include "recordlink.h"

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

// In a record link's thread: the line read, from a record this program can
// use. The answer fails where the record could not be asked; otherwise
// *refusal says whether the line can be used, and *error why not.
RecordLink::Answer readUsableLine(QSqlDatabase &db, const RecordAddress &address, const QString &name, LineInfo *line,
                                  Refusal *refusal, QString *error);

} // namespace Line
