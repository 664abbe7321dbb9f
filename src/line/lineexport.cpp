#include "lineexport.h"

#include "blockjson.h"
#include "sql.h"

#include "batch/csv.h"
#include "batch/logformat.h"


namespace Line {

bool exportLine(QSqlDatabase &db, const LineInfo &line, QIODevice *out, QString *error)
{
    const auto write = [&](const QString &text) {
        if (out->write(text.toUtf8() + '\n') >= 0)
            return true;
        *error = out->errorString();
        return false;
    };
    if (!write(Batch::logHeader(line.plan).join(QLatin1Char(',')) + QLatin1String(",station")))
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!run(query,
             QStringLiteral("SELECT time, row, lane, result, detail, ms, read_back::text, station FROM velmora.attempts "
                            "WHERE line_id = ? ORDER BY id"),
             {line.id}, error))
        return false;
    while (query.next()) {
        Batch::Attempt attempt;
        attempt.row = query.value(1).toInt();
        attempt.port = query.value(2).toString();
        attempt.result = Batch::resultNamed(query.value(3).toString()).value_or(Batch::Result::Writing);
        attempt.detail = query.value(4).toString();
        attempt.ms = query.value(5).toLongLong();
        attempt.readBack = blockFromJson(query.value(6).toByteArray());
        if (!write(Batch::logLine(line.plan, attempt, query.value(0).toDateTime()) + QLatin1Char(',')
                   + Batch::csvField(query.value(7).toString())))
            return false;
    }
    return true;
}

} // namespace Line
