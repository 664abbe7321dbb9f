#include "lineresolve.h"

#include "sql.h"

namespace Line {

bool resolveRow(QSqlDatabase &db, int lineId, int row, Settle as, QString *error)
{
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT velmora.resolve(?, ?, ?)"),
             {lineId, row, as == Settle::Ok ? QStringLiteral("ok") : QStringLiteral("free")}, error))
        return false;
    const QString refusal = query.next() ? query.value(0).toString() : QStringLiteral("no answer");
    if (refusal.isEmpty())
        return true;
    *error = QStringLiteral("row %1: %2").arg(row).arg(refusal);
    return false;
}

} // namespace Line
