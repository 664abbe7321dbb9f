// line load: a plan, checked as batch checks it, becomes a line of the
// record in one transaction. A plan that gives a LIP, MAC or SN that any
// line of the record gives already is refused, every collision listed,
// unless the plan is allowed to reuse that key.
#pragma once

#include "batch/plan.h"

#include <QSqlDatabase>
#include <QStringList>

namespace Line {

struct LoadRequest
{
    QString line;
    QString planFile;
    Batch::Plan plan;  // read and checked
    Batch::PlanChecks checks;
    QStringList allowReuse;  // of lip, mac, sn
};

// The keys whose values no two devices may hold.
QStringList identityKeys();

// True with what was done in *done; false with the reasons, one a line.
bool loadLine(QSqlDatabase &db, const LoadRequest &request, QString *done, QStringList *errors);

} // namespace Line
