#include "lineplan.h"

#include "sql.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Line {

namespace {

// A line's record as a person is told of it, in their language.
struct RecordText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Record)
};

} // namespace

int lineId(QSqlDatabase &db, const QString &name, QString *error)
{
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT id FROM velmora.lines WHERE name = ?"), {name}, error))
        return 0;
    if (!query.next()) {
        *error = RecordText::tr("the record has no line %1").arg(name);
        return 0;
    }
    return query.value(0).toInt();
}

bool readLine(QSqlDatabase &db, const QString &name, LineInfo *line, QString *error)
{
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT id, array_to_string(keys, ' '), plan_file FROM velmora.lines WHERE name = ?"),
             {name}, error))
        return false;
    if (!query.next()) {
        *error = RecordText::tr("the record has no line %1").arg(name);
        return false;
    }
    line->id = query.value(0).toInt();
    line->name = name;
    line->planFile = query.value(2).toString();
    Batch::Plan &plan = line->plan;
    plan = {};
    for (const QString &key : query.value(1).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const Protocol::BlockField *field = Protocol::blockField(key);
        if (!field) {
            *error = RecordText::tr("line %1 has the key %2, which this program does not know").arg(name, key);
            return false;
        }
        plan.fields.push_back(field);
    }
    query.setForwardOnly(true);
    if (!run(query, QStringLiteral("SELECT row, id, planned::text, file_line FROM velmora.rows WHERE line_id = ? ORDER BY row"),
             {line->id}, error))
        return false;
    while (query.next()) {
        Batch::PlanRow row;
        row.number = query.value(0).toInt();
        row.line = query.value(3).toInt();
        row.id = query.value(1).toString();
        if (row.number != plan.size() + 1) {
            *error = RecordText::tr("line %1 has no row %2").arg(name).arg(plan.size() + 1);
            return false;
        }
        const QJsonObject planned = QJsonDocument::fromJson(query.value(2).toByteArray()).object();
        for (const Protocol::BlockField *field : plan.fields) {
            Client::Value value;
            QString problem;
            if (!Client::parseFieldValue(*field, planned.value(QLatin1String(field->key)).toString(), Client::Writer::SetAll,
                                         &value, &problem)) {
                *error = RecordText::tr("line %1, row %2: %3").arg(name).arg(row.number).arg(problem);
                return false;
            }
            row.values.insert(value);
        }
        plan.rows.push_back(std::move(row));
    }
    return true;
}

RecordLink::Answer readUsableLine(QSqlDatabase &db, const RecordAddress &address, const QString &name, LineInfo *line,
                                  Refusal *refusal, QString *error)
{
    *refusal = checkRecord(db, address, error);
    if (*refusal == Refusal::Unreachable)
        return failedAnswer(db, *error, {});
    if (*refusal != Refusal::None || readLine(db, name, line, error))
        return doneAnswer();
    RecordLink::Answer answer = failedAnswer(db, *error, {});
    if (answer.connectionLost)
        return answer;
    *refusal = Refusal::Unusable;
    return doneAnswer();
}

} // namespace Line
