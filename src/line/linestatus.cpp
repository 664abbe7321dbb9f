#include "linestatus.h"

#include "sql.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSet>

#include <cmath>

namespace Line {

namespace {

// A line's state as a person reads it, in their language; its JSON never changes.
struct StatusText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Status)
};

// The pace is taken over this much of the most recent work.

QString duration(qint64 seconds)
{
    if (seconds < 0)
        return StatusText::tr("unknown");
    if (seconds >= 3600)
        return StatusText::tr("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
    if (seconds >= 60)
        return StatusText::tr("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return StatusText::tr("%1 s").arg(seconds);
}

} // namespace

qint64 LineStatus::secondsLeft() const
{
    if (left() == 0)
        return 0;
    if (perMinute <= 0)
        return -1;
    return qint64(std::ceil(left() / perMinute * 60));
}

int LineStatus::inDoubtCount() const
{
    QSet<int> doubted;
    for (const Doubt &doubt : inDoubt)
        doubted.insert(doubt.row);
    return int(doubted.size());
}

bool readStatus(QSqlDatabase &db, int lineId, const QString &name, LineStatus *status, QString *error)
{
    *status = {};
    status->line = name;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // One pass over the rows: by state, and by station and lane. The rows are
    // grouped on their bare columns, and each group (not each row) is then
    // given its station's lease: on 100,000 rows this takes 60 % of the time
    // that joining and coalescing every row did. A lane split into a NULL and
    // an '' group comes out adjacent, and is merged below.
    if (!run(query,
             QStringLiteral("SELECT g.state, coalesce(g.station, ''), coalesce(g.lane, ''), g.count, "
                            "coalesce(s.lease_until > now(), false) "
                            "FROM (SELECT state, station, lane, count(*) AS count FROM velmora.rows "
                            "WHERE line_id = ? GROUP BY 1, 2, 3) g "
                            "LEFT JOIN velmora.stations s ON s.name = g.station ORDER BY 2, 3"),
             {lineId}, error))
        return false;
    while (query.next()) {
        const QString state = query.value(0).toString();
        const int count = query.value(3).toInt();
        status->rows += count;
        int *byState = state == QLatin1String("free")      ? &status->free
                       : state == QLatin1String("claimed") ? &status->claimed
                       : state == QLatin1String("writing") ? &status->writing
                       : state == QLatin1String("ok")      ? &status->ok
                                                           : &status->failed;
        *byState += count;
        const QString station = query.value(1).toString();
        if (station.isEmpty() || state == QLatin1String("claimed"))
            continue;
        if (status->lanes.empty() || status->lanes.back().station != station
            || status->lanes.back().lane != query.value(2).toString())
            status->lanes.push_back({station, query.value(2).toString(), 0, 0, 0, query.value(4).toBool()});
        LineStatus::Lane &lane = status->lanes.back();
        (state == QLatin1String("ok") ? lane.ok : state == QLatin1String("writing") ? lane.writing : lane.failed) += count;
    }
    // Rows written by a station that is gone, and rows on two devices.
    if (!run(query,
             QStringLiteral("WITH d AS (SELECT * FROM velmora.doubts WHERE line_id = ? AND settled_at IS NULL) "
                            "SELECT r.row, r.id, r.station, r.lane, r.changed_at, NULL, NULL, NULL, r.state, true "
                            "FROM velmora.rows r LEFT JOIN velmora.stations s ON s.name = r.station "
                            "WHERE r.line_id = ? AND r.state = 'writing' AND coalesce(s.lease_until <= now(), true) "
                            "AND NOT EXISTS (SELECT 1 FROM d WHERE d.row = r.row) "
                            "UNION ALL "
                            "SELECT d.row, r.id, d.station, d.lane, d.written_at, d.other_station, d.other_lane, d.other_at, "
                            "r.state, r.state = 'writing' AND coalesce(s.lease_until <= now(), true) "
                            "FROM d JOIN velmora.rows r ON r.line_id = d.line_id AND r.row = d.row "
                            "LEFT JOIN velmora.stations s ON s.name = r.station "
                            "ORDER BY 1, 5"),
             {lineId, lineId}, error))
        return false;
    QSet<int> counted;
    while (query.next()) {
        const int row = query.value(0).toInt();
        status->inDoubt.push_back({row, query.value(1).toString(), query.value(2).toString(), query.value(3).toString(),
                                   query.value(4).toDateTime(), query.value(5).toString(), query.value(6).toString(),
                                   query.value(7).toDateTime()});
        if (counted.contains(row))
            continue;
        counted.insert(row);
        if (query.value(9).toBool())
            ++status->writingInDoubt;
        else if (query.value(8).toString() == QLatin1String("failed"))
            ++status->failedInDoubt;
    }
    // The pace over the window, or since the first device in it.
    if (!run(query,
             QStringLiteral("SELECT count(*), extract(epoch FROM now() - min(time)) FROM velmora.attempts "
                            "WHERE line_id = ? AND result = 'ok' AND time > now() - CAST(? AS integer) * interval '1 second'"),
             {lineId, PaceWindowSeconds}, error))
        return false;
    if (query.next())
        status->perMinute = pace(query.value(0).toInt(), query.value(1).toDouble());
    return true;
}

double pace(int okCount, double secondsSinceFirst)
{
    return okCount > 0 ? okCount * 60.0 / std::max(1.0, secondsSinceFirst) : 0.0;
}

QString statusText(const LineStatus &status)
{
    const QLatin1Char end('\n');
    const QLatin1String indent("  ");
    QString text = StatusText::tr("line %1: %2 rows: %3 ok, %4 free, %5 claimed, %6 being written, %7 failed")
                       .arg(status.line).arg(status.rows).arg(status.ok).arg(status.free).arg(status.claimed)
                       .arg(status.writing - status.writingInDoubt).arg(status.failed) + end;
    text += StatusText::tr("pace: %1 devices/min; %2 left, time left: %3")
                .arg(status.perMinute, 0, 'f', 1).arg(status.left()).arg(duration(status.secondsLeft())) + end;
    for (const LineStatus::Lane &lane : status.lanes)
        text += indent + StatusText::tr("%1 %2: %3 ok, %4 failed%5%6")
                    .arg(lane.station, lane.lane).arg(lane.ok).arg(lane.failed)
                    .arg(lane.writing > 0 ? StatusText::tr(", %1 being written").arg(lane.writing) : QString(),
                         lane.live ? QString() : StatusText::tr(" (station gone)")) + end;
    if (!status.inDoubt.empty()) {
        text += StatusText::tr("%1 rows in doubt (check the device, then: velmora-cli line resolve ROW --as ok|free):")
                    .arg(status.inDoubtCount()) + end;
        for (const LineStatus::Doubt &doubt : status.inDoubt) {
            const QString id = doubt.id.isEmpty() ? QString() : StatusText::tr(" (%1)").arg(doubt.id);
            text += indent
                    + (doubt.onTwoDevices()
                           ? StatusText::tr("row %1%2: on two devices: station %3, %4 at %5 (the record lost it), "
                                            "and station %6, %7 at %8")
                                 .arg(doubt.row)
                                 .arg(id, doubt.station, doubt.lane, doubt.since.toLocalTime().toString(Qt::ISODate),
                                      doubt.otherStation, doubt.otherLane,
                                      doubt.otherSince.toLocalTime().toString(Qt::ISODate))
                           : StatusText::tr("row %1%2: station %3, %4, since %5")
                                 .arg(doubt.row)
                                 .arg(id, doubt.station, doubt.lane, doubt.since.toLocalTime().toString(Qt::ISODate)))
                    + end;
        }
    }
    return text;
}

QJsonObject statusJson(const LineStatus &status)
{
    QJsonArray lanes;
    for (const LineStatus::Lane &lane : status.lanes)
        lanes.append(QJsonObject{{QStringLiteral("station"), lane.station}, {QStringLiteral("lane"), lane.lane},
                                 {QStringLiteral("ok"), lane.ok}, {QStringLiteral("failed"), lane.failed},
                                 {QStringLiteral("writing"), lane.writing}, {QStringLiteral("live"), lane.live}});
    QJsonArray doubts;
    for (const LineStatus::Doubt &doubt : status.inDoubt) {
        QJsonObject object{{QStringLiteral("row"), doubt.row}, {QStringLiteral("id"), doubt.id},
                           {QStringLiteral("station"), doubt.station}, {QStringLiteral("lane"), doubt.lane},
                           {QStringLiteral("since"), doubt.since.toUTC().toString(Qt::ISODateWithMs)},
                           {QStringLiteral("on_two_devices"), doubt.onTwoDevices()}};
        if (doubt.onTwoDevices())
            object.insert(QStringLiteral("other"),
                          QJsonObject{{QStringLiteral("station"), doubt.otherStation},
                                      {QStringLiteral("lane"), doubt.otherLane},
                                      {QStringLiteral("since"), doubt.otherSince.toUTC().toString(Qt::ISODateWithMs)}});
        doubts.append(object);
    }
    return {{QStringLiteral("line"), status.line},
            {QStringLiteral("rows"), status.rows},
            {QStringLiteral("ok"), status.ok},
            {QStringLiteral("free"), status.free},
            {QStringLiteral("claimed"), status.claimed},
            {QStringLiteral("writing"), status.writing - status.writingInDoubt},
            {QStringLiteral("failed"), status.failed},
            {QStringLiteral("left"), status.left()},
            {QStringLiteral("devices_per_minute"), std::round(status.perMinute * 10) / 10},
            {QStringLiteral("seconds_left"), double(status.secondsLeft())},
            {QStringLiteral("lanes"), lanes},
            {QStringLiteral("in_doubt"), doubts}};
}

} // namespace Line
