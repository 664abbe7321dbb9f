#include "recordqueries.h"

#include "devicekey.h"

#include "line/linestatus.h"
#include "line/sql.h"

#include <QJsonDocument>
#include <QSqlQuery>

#include <cmath>

using Line::run;

namespace Web {

namespace {

QString isoTime(const QVariant &time)
{
    return time.isNull() ? QString() : time.toDateTime().toUTC().toString(Qt::ISODateWithMs);
}

QJsonValue jsonOf(const QVariant &text)
{
    return text.isNull() ? QJsonValue() : QJsonDocument::fromJson(text.toByteArray()).object();
}

// The columns rowJson reads, in its order.
const char RowColumns[] =
    "r.row, r.id, r.planned::text, r.state, r.result, r.station, r.lane, r.changed_at, a.detail, a.id ";
// A row's last attempt, for its detail.
const char LastAttempt[] =
    "LEFT JOIN LATERAL (SELECT id, detail FROM velmora.attempts a WHERE a.line_id = r.line_id AND a.row = r.row "
    "ORDER BY a.id DESC LIMIT 1) a ON true ";

QJsonObject rowJson(const QSqlQuery &query)
{
    const QJsonObject planned = jsonOf(query.value(2)).toObject();
    return {{QStringLiteral("row"), query.value(0).toInt()},
            {QStringLiteral("id"), query.value(1).toString()},
            {QStringLiteral("lip"), planned.value(QStringLiteral("lip"))},
            {QStringLiteral("mac"), planned.value(QStringLiteral("mac"))},
            {QStringLiteral("sn"), planned.value(QStringLiteral("sn"))},
            {QStringLiteral("planned"), planned},
            {QStringLiteral("state"), query.value(3).toString()},
            {QStringLiteral("result"), query.value(4).isNull() ? QJsonValue() : query.value(4).toString()},
            {QStringLiteral("station"), query.value(5).isNull() ? QJsonValue() : query.value(5).toString()},
            {QStringLiteral("lane"), query.value(6).isNull() ? QJsonValue() : query.value(6).toString()},
            {QStringLiteral("changed_at"), isoTime(query.value(7))},
            {QStringLiteral("detail"), query.value(8).toString()},
            {QStringLiteral("attempt"), query.value(9).isNull() ? QJsonValue() : query.value(9).toLongLong()}};
}

// The columns attemptJson reads, in its order.
const char AttemptColumns[] =
    "a.id, l.name, a.row, r.id, a.time, a.station, a.lane, a.result, a.detail, a.ms, a.read_back::text, "
    "r.planned::text ";

constexpr int AttemptColumnCount = 12;

// The tables those columns come from. Each attempt's row is looked up by
// its key (LIMIT 1 keeps the planner from turning the lookup into a join):
// a line loaded moments ago has no statistics yet, and the planner, taking
// it for a few rows, would read the whole line for every attempt.
const char AttemptTables[] =
    "FROM velmora.attempts a JOIN velmora.lines l ON l.id = a.line_id "
    "CROSS JOIN LATERAL (SELECT r.id, r.planned FROM velmora.rows r "
    "WHERE r.line_id = a.line_id AND r.row = a.row LIMIT 1) r ";

QJsonObject attemptJson(const QSqlQuery &query)
{
    return {{QStringLiteral("attempt"), query.value(0).toLongLong()},
            {QStringLiteral("line"), query.value(1).toString()},
            {QStringLiteral("row"), query.value(2).toInt()},
            {QStringLiteral("id"), query.value(3).toString()},
            {QStringLiteral("time"), isoTime(query.value(4))},
            {QStringLiteral("station"), query.value(5).toString()},
            {QStringLiteral("lane"), query.value(6).toString()},
            {QStringLiteral("result"), query.value(7).toString()},
            {QStringLiteral("detail"), query.value(8).toString()},
            {QStringLiteral("ms"), query.value(9).toLongLong()},
            {QStringLiteral("read_back"), jsonOf(query.value(10))},
            {QStringLiteral("planned"), jsonOf(query.value(11))}};
}

// For a LIKE pattern: the typed text, its wildcards taken as letters.
QString containing(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace

int findLine(QSqlDatabase &db, const QString &name, QString *error)
{
    QSqlQuery query(db);
    if (!run(query, QStringLiteral("SELECT id FROM velmora.lines WHERE name = ?"), {name}, error))
        return -1;
    return query.next() ? query.value(0).toInt() : 0;
}

bool readLineStatus(QSqlDatabase &db, int lineId, const QString &name, QJsonObject *status, QString *error)
{
    Line::LineStatus read;
    if (!Line::readStatus(db, lineId, name, &read, error))
        return false;
    *status = Line::statusJson(read);
    return true;
}

bool readLines(QSqlDatabase &db, QJsonArray *lines, QString *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!run(query, QStringLiteral("SELECT id, name FROM velmora.lines ORDER BY id"), {}, error))
        return false;
    QList<QPair<int, QString>> named;
    while (query.next())
        named.push_back({query.value(0).toInt(), query.value(1).toString()});
    for (const auto &line : std::as_const(named)) {
        Line::LineStatus status;
        if (!Line::readStatus(db, line.first, line.second, &status, error))
            return false;
        QSet<QString> working;
        for (const Line::LineStatus::Lane &lane : status.lanes) {
            if (lane.live)
                working << lane.station;
        }
        const int settled = status.ok + status.failed;
        lines->append(QJsonObject{
            {QStringLiteral("line"), status.line},
            {QStringLiteral("rows"), status.rows},
            {QStringLiteral("ok"), status.ok},
            {QStringLiteral("ok_percent"), status.rows ? std::round(status.ok * 1000.0 / status.rows) / 10 : 0.0},
            {QStringLiteral("yield_percent"), settled ? std::round(status.ok * 1000.0 / settled) / 10 : 0.0},
            {QStringLiteral("devices_per_minute"), std::round(status.perMinute * 10) / 10},
            {QStringLiteral("stations_working"), int(working.size())},
            {QStringLiteral("in_doubt"), status.inDoubtCount()}});
    }
    return true;
}

bool readRows(QSqlDatabase &db, int lineId, const RowFilter &filter, QJsonObject *page, QString *error)
{
    QString where = QStringLiteral("WHERE r.line_id = ? ");
    QVariantList values{lineId};
    if (!filter.search.isEmpty()) {
        bool number = false;
        const int row = filter.search.toInt(&number);
        where += QStringLiteral("AND (r.id ILIKE ? OR r.planned->>'lip' ILIKE ? OR r.planned->>'mac' ILIKE ? "
                                "OR r.planned->>'sn' ILIKE ? OR r.row = ?) ");
        const QString pattern = containing(filter.search);
        values << pattern << pattern << pattern << pattern << (number ? row : -1);
    }
    if (!filter.state.isEmpty()) {
        where += QStringLiteral("AND r.state = ? ");
        values << filter.state;
    }
    if (!filter.result.isEmpty()) {
        where += QStringLiteral("AND r.result = ? ");
        values << filter.result;
    }
    if (!filter.station.isEmpty()) {
        where += QStringLiteral("AND r.station = ? ");
        values << filter.station;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!run(query, QStringLiteral("SELECT count(*) FROM velmora.rows r ") + where, values, error) || !query.next())
        return false;
    const int total = query.value(0).toInt();
    if (!run(query,
             QStringLiteral("SELECT ") + QLatin1String(RowColumns) + QStringLiteral("FROM velmora.rows r ")
                 + QLatin1String(LastAttempt) + where + QStringLiteral("ORDER BY r.row LIMIT ? OFFSET ?"),
             values + QVariantList{filter.limit, filter.offset}, error))
        return false;
    QJsonArray rows;
    while (query.next())
        rows.append(rowJson(query));
    *page = {{QStringLiteral("total"), total},
             {QStringLiteral("offset"), filter.offset},
             {QStringLiteral("limit"), filter.limit},
             {QStringLiteral("rows"), rows}};
    return true;
}

bool readRowsNamed(QSqlDatabase &db, int lineId, const QList<int> &rows, QJsonArray *out, QString *error)
{
    QStringList numbers;
    for (int row : rows)
        numbers << QString::number(row);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!run(query,
             QStringLiteral("SELECT ") + QLatin1String(RowColumns) + QStringLiteral("FROM velmora.rows r ")
                 + QLatin1String(LastAttempt)
                 + QStringLiteral("WHERE r.line_id = ? AND r.row = ANY(CAST(? AS integer[])) ORDER BY r.row"),
             {lineId, Line::arrayLiteral(numbers)}, error))
        return false;
    while (query.next())
        out->append(rowJson(query));
    return true;
}

bool readAttempts(QSqlDatabase &db, int lineId, qint64 afterId, const QDateTime &since, int limit, QJsonArray *out,
                  QString *error, bool *more)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (more)
        *more = false;
    if (since.isValid()) {
        if (!run(query,
                 QStringLiteral("SELECT ") + QLatin1String(AttemptColumns)
                     + QLatin1String(AttemptTables)
                     + QStringLiteral("WHERE a.line_id = ? AND a.time >= ? ORDER BY a.id LIMIT ?"),
                 {lineId, since, limit}, error))
            return false;
        while (query.next())
            out->append(attemptJson(query));
        return true;
    }
    // Attempts come in the order of their transactions (then of their ids),
    // and only those whose transaction is older than every one still
    // running: no transaction can add to that set any more, so the place of
    // the last attempt read (its transaction, its id) misses none and gives
    // none twice. The place of afterId is that of the attempt itself, or of
    // the nearest below it where there is none of that id. One statement,
    // so one snapshot: held is whether it holds back committed attempts.
    if (!run(query,
             QStringLiteral("WITH bound AS (SELECT pg_snapshot_xmin(pg_current_snapshot()) AS xmin), "
                            "place AS (SELECT xact, id FROM velmora.attempts WHERE id <= ? ORDER BY id DESC LIMIT 1) "
                            "SELECT page.*, h.held FROM (SELECT coalesce((SELECT x.xact FROM velmora.attempts x "
                            "WHERE x.line_id = ? ORDER BY x.xact DESC LIMIT 1) >= (SELECT xmin FROM bound), false) "
                            "AS held) h LEFT JOIN (SELECT ")
                 + QLatin1String(AttemptColumns)
                 + QStringLiteral(", a.xact AS in_order, a.id AS then_by ") + QLatin1String(AttemptTables)
                 + QStringLiteral("WHERE a.line_id = ? AND (a.xact, a.id) > "
                                  "(coalesce((SELECT xact FROM place), '0'), coalesce((SELECT id FROM place), 0)) "
                                  "AND a.xact < (SELECT xmin FROM bound) ORDER BY a.xact, a.id LIMIT ?) page ON true "
                                  "ORDER BY page.in_order, page.then_by"),
             {afterId, lineId, lineId, limit}, error))
        return false;
    int read = 0;
    bool held = false;
    while (query.next()) {
        held = query.value(AttemptColumnCount + 2).toBool();
        if (query.isNull(0))
            continue;
        out->append(attemptJson(query));
        ++read;
    }
    if (more)
        *more = held || read == limit;
    return true;
}

bool readFollowedAttempts(QSqlDatabase &db, QHash<int, qint64> *lastByLine, QString *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!run(query,
             QStringLiteral("SELECT l.id, coalesce((SELECT a.id FROM velmora.attempts a WHERE a.line_id = l.id "
                            "AND a.xact < pg_snapshot_xmin(pg_current_snapshot()) "
                            "ORDER BY a.xact DESC, a.id DESC LIMIT 1), 0) FROM velmora.lines l"),
             {}, error))
        return false;
    while (query.next())
        lastByLine->insert(query.value(0).toInt(), query.value(1).toLongLong());
    return true;
}

bool readLineActivity(QSqlDatabase &db, int lineId, QJsonObject *activity, QString *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // Minutes counted back from now: 0 is the one under way.
    if (!run(query,
             QStringLiteral("SELECT floor(extract(epoch FROM now() - time) / 60)::integer, count(*) "
                            "FROM velmora.attempts WHERE line_id = ? AND result = 'ok' "
                            "AND time > now() - interval '60 minutes' GROUP BY 1"),
             {lineId}, error))
        return false;
    QJsonArray minutes;
    for (int i = 0; i < 60; ++i)
        minutes.append(0);
    while (query.next()) {
        const int ago = query.value(0).toInt();
        if (ago >= 0 && ago < 60)
            minutes[59 - ago] = query.value(1).toInt();
    }
    if (!run(query,
             QStringLiteral("SELECT result, detail, count(*) FROM velmora.attempts "
                            "WHERE line_id = ? AND result NOT IN ('ok', 'writing') "
                            "GROUP BY 1, 2 ORDER BY 3 DESC, 1, 2 LIMIT 10"),
             {lineId}, error))
        return false;
    QJsonArray failures;
    while (query.next())
        failures.append(QJsonObject{{QStringLiteral("result"), query.value(0).toString()},
                                    {QStringLiteral("detail"), query.value(1).toString()},
                                    {QStringLiteral("count"), query.value(2).toInt()}});
    // Each station that has worked on the line: its lease, its last verdict
    // and its pace, taken as the line's.
    if (!run(query,
             QStringLiteral("SELECT a.station, s.lease_until > now(), s.lease_until IS NOT NULL, max(a.time), "
                            "count(*) FILTER (WHERE a.result = 'ok' "
                            "AND a.time > now() - CAST(? AS integer) * interval '1 second'), "
                            "string_agg(DISTINCT a.lane, ' ' ORDER BY a.lane), "
                            "EXISTS (SELECT 1 FROM velmora.rows r WHERE r.line_id = ? AND r.station = a.station "
                            "AND r.state IN ('claimed', 'writing')), "
                            "extract(epoch FROM now() - min(a.time) FILTER (WHERE a.result = 'ok' "
                            "AND a.time > now() - CAST(? AS integer) * interval '1 second')) "
                            "FROM velmora.attempts a LEFT JOIN velmora.stations s ON s.name = a.station "
                            "WHERE a.line_id = ? GROUP BY a.station, s.lease_until ORDER BY a.station"),
             {Line::PaceWindowSeconds, lineId, Line::PaceWindowSeconds, lineId}, error))
        return false;
    QJsonArray stations;
    while (query.next()) {
        // working: its lease lasts and it holds rows; waiting: its lease
        // lasts and it holds none (waiting for the record, or done); gone:
        // its lease ran out.
        const bool live = query.value(1).toBool();
        const QString state = !live ? QStringLiteral("gone")
                              : query.value(6).toBool() ? QStringLiteral("working")
                                                        : QStringLiteral("waiting");
        stations.append(QJsonObject{{QStringLiteral("station"), query.value(0).toString()},
                                    {QStringLiteral("state"), state},
                                    {QStringLiteral("last_verdict"), isoTime(query.value(3))},
                                    {QStringLiteral("per_minute"),
                                     std::round(Line::pace(query.value(4).toInt(), query.value(7).toDouble()) * 10) / 10},
                                    {QStringLiteral("lanes"), query.value(5).toString()}});
    }
    *activity = {{QStringLiteral("ok_per_minute"), minutes},
                 {QStringLiteral("failures"), failures},
                 {QStringLiteral("stations"), stations}};
    return true;
}

bool findDevices(QSqlDatabase &db, const QString &typed, QJsonArray *devices, QString *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    for (const DeviceKey &key : deviceKeys(typed)) {
        const QString &value = key.value;
        const bool any = key.field.isEmpty();
        // A MAC as typed, in either case, with - or : between its bytes.
        QString mac = value;
        mac.replace(QLatin1Char('-'), QLatin1Char(':'));
        if (!run(query,
                 QStringLiteral("SELECT l.id, l.name, r.row FROM velmora.rows r JOIN velmora.lines l ON l.id = r.line_id "
                                "WHERE (? AND r.id = ?) OR (? AND r.planned->>'lip' = ?) "
                                "OR (? AND r.planned->>'mac' IN (?, ?, ?)) OR (? AND r.planned->>'sn' = ?) "
                                "ORDER BY l.id, r.row LIMIT 20"),
                 {any || key.field == QLatin1String("id"), value, any || key.field == QLatin1String("lip"), value,
                  any || key.field == QLatin1String("mac"), mac, mac.toLower(), mac.toUpper(),
                  any || key.field == QLatin1String("sn"), value},
                 error))
            return false;
        QList<QPair<int, QPair<QString, int>>> found;
        while (query.next())
            found.push_back({query.value(0).toInt(), {query.value(1).toString(), query.value(2).toInt()}});
        if (found.isEmpty())
            continue;
        for (const auto &device : std::as_const(found)) {
            QJsonArray rows;
            QJsonArray attempts;
            if (!readRowsNamed(db, device.first, {device.second.second}, &rows, error))
                return false;
            QSqlQuery attemptQuery(db);
            attemptQuery.setForwardOnly(true);
            if (!run(attemptQuery,
                     QStringLiteral("SELECT ") + QLatin1String(AttemptColumns)
                         + QLatin1String(AttemptTables)
                         + QStringLiteral("WHERE a.line_id = ? AND a.row = ? ORDER BY a.id"),
                     {device.first, device.second.second}, error))
                return false;
            while (attemptQuery.next())
                attempts.append(attemptJson(attemptQuery));
            QJsonObject row = rows.isEmpty() ? QJsonObject() : rows.first().toObject();
            row.insert(QStringLiteral("line"), device.second.first);
            row.insert(QStringLiteral("attempts"), attempts);
            devices->append(row);
        }
        return true;  // the surest key that finds a device is the answer
    }
    return true;
}

} // namespace Web
