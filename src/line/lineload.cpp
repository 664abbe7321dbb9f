#include "lineload.h"

#include "sql.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Line {

namespace {

// A line's load as a person is told of it; the plan.csv:LINE: before a problem never changes.
struct LoadText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Load)
};

// Rows go over in slices of this many, each one statement.
constexpr int RowsAStatement = 5000;
constexpr int MaxCollisionsShown = 20;

QString plannedJson(const Batch::Plan &plan, const Batch::PlanRow &row)
{
    QJsonObject planned;
    for (const Protocol::BlockField *field : plan.fields)
        planned.insert(QLatin1String(field->key), Client::valueText(*field, row.values.find(field)->bytes));
    return QString::fromUtf8(QJsonDocument(planned).toJson(QJsonDocument::Compact));
}

bool hasKey(const Batch::Plan &plan, const QString &key)
{
    for (const Protocol::BlockField *field : plan.fields) {
        if (QLatin1String(field->key) == key)
            return true;
    }
    return false;
}

} // namespace

QStringList identityKeys()
{
    return {QStringLiteral("lip"), QStringLiteral("mac"), QStringLiteral("sn")};
}

bool loadLine(QSqlDatabase &db, const LoadRequest &request, QString *done, QStringList *errors)
{
    const Batch::Plan &plan = request.plan;
    const auto failed = [&](const QString &error) {
        *errors << error;
        db.rollback();
        return false;
    };
    if (!db.transaction())
        return failed(db.lastError().text());
    QSqlQuery query(db);
    QStringList keys;
    for (const Protocol::BlockField *field : plan.fields)
        keys << QLatin1String(field->key);
    QString error;
    if (!run(query,
             QStringLiteral("INSERT INTO velmora.lines (name, keys, reuse, allow_duplicates, allow_odd_addresses, plan_file) "
                            "VALUES (?, CAST(? AS text[]), CAST(? AS text[]), ?, ?, ?) "
                            "ON CONFLICT (name) DO NOTHING RETURNING id"),
             {request.line, arrayLiteral(keys), arrayLiteral(request.allowReuse), request.checks.allowDuplicates,
              request.checks.allowOddAddresses, request.planFile},
             &error))
        return failed(error);
    if (!query.next())
        return failed(LoadText::tr("the record has a line %1 already: give the new one another name").arg(request.line));
    const int line = query.value(0).toInt();

    // A key must hold one device's value unless the plan may repeat it.
    const auto unique = [&](const QString &key) {
        return !request.checks.allowDuplicates && !request.allowReuse.contains(key);
    };
    query.prepare(QStringLiteral(
        "INSERT INTO velmora.rows (line_id, row, file_line, id, planned, lip_unique, mac_unique, sn_unique) "
        "SELECT ?, u.row, u.file_line, u.id, CAST(u.planned AS jsonb), ?, ?, ? "
        "FROM unnest(CAST(? AS integer[]), CAST(? AS integer[]), CAST(? AS text[]), CAST(? AS text[])) "
        "AS u(row, file_line, id, planned)"));
    for (int first = 0; first < plan.size(); first += RowsAStatement) {
        QStringList numbers, lines, ids, planned;
        for (int i = first; i < std::min(plan.size(), first + RowsAStatement); ++i) {
            const Batch::PlanRow &row = plan.rows[size_t(i)];
            numbers << QString::number(row.number);
            lines << QString::number(row.line);
            ids << row.id;
            planned << plannedJson(plan, row);
        }
        if (!run(query,
                 {line, unique(QStringLiteral("lip")), unique(QStringLiteral("mac")), unique(QStringLiteral("sn")),
                  arrayLiteral(numbers), arrayLiteral(lines), arrayLiteral(ids), arrayLiteral(planned)},
                 &error))
            return failed(error);
    }

    // What another line gives already, key by key.
    int collisions = 0;
    QSqlQuery clash(db);
    clash.prepare(QStringLiteral(
        "SELECT n.file_line, n.planned->>CAST(? AS text), l.name, o.row FROM velmora.rows n "
        "JOIN velmora.rows o ON o.planned->>CAST(? AS text) = n.planned->>CAST(? AS text) AND o.line_id <> n.line_id "
        "JOIN velmora.lines l ON l.id = o.line_id WHERE n.line_id = ? ORDER BY n.row, l.name, o.row"));
    for (const QString &key : identityKeys()) {
        if (!hasKey(plan, key) || request.allowReuse.contains(key))
            continue;
        if (!run(clash, {key, key, key, line}, &error))
            return failed(error);
        while (clash.next()) {
            if (++collisions <= MaxCollisionsShown)
                *errors << LoadText::tr("%1:%2: %3=%4: line %5 gives it already, in row %6 (--allow-reuse %3 allows it)")
                               .arg(request.planFile, clash.value(0).toString(), key, clash.value(1).toString(),
                                    clash.value(2).toString(), clash.value(3).toString());
        }
    }
    if (collisions > 0) {
        if (collisions > MaxCollisionsShown)
            *errors << LoadText::tr("%1: %2 more collisions").arg(request.planFile).arg(collisions - MaxCollisionsShown);
        db.rollback();
        return false;
    }
    if (!db.commit())
        return failed(db.lastError().text());
    *done = LoadText::tr("line %1: %2 rows loaded from %3").arg(request.line).arg(plan.size()).arg(request.planFile);
    return true;
}

} // namespace Line
