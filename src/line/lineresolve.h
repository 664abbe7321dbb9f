// line resolve: a row in doubt settled by a person who has checked its
// device, ok (the device holds the row) or free (it does not: the row goes
// to another device).
#pragma once

#include <QSqlDatabase>

namespace Line {

enum class Settle { Ok, Free };

// False with why not: no such row, not in doubt, its station is writing it now.
bool resolveRow(QSqlDatabase &db, int lineId, int row, Settle as, QString *error);

} // namespace Line
