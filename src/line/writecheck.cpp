#include "writecheck.h"

#include "blockjson.h"
#include "sql.h"

#include <QSet>

namespace Line {

RecordLink::Answer sendVerdict(QSqlDatabase &db, const QString &token, const Batch::Attempt &attempt, const QDateTime &time)
{
    QSqlQuery query(db);
    QString error;
    if (!run(query, QStringLiteral("SELECT velmora.set_verdict(?, ?, ?, ?, CAST(? AS timestamptz), CAST(? AS jsonb))"),
             {token, Batch::resultName(attempt.result), attempt.detail, int(attempt.ms),
              time.toUTC().toString(Qt::ISODateWithMs),
              attempt.readBack ? QString::fromUtf8(blockJson(*attempt.readBack)) : QVariant(QMetaType::fromType<QString>())},
             &error)
        || !query.next())
        return failedAnswer(db, query);
    return doneAnswer({query.value(0).toString()});
}

RecordLink::Answer checkWrites(QSqlDatabase &db, int lineId, const QString &station,
                               const std::vector<WriteCheck> &checks, std::vector<WriteChecked> *checked)
{
    checked->assign(checks.size(), {});
    if (checks.empty())
        return doneAnswer();
    // One question for all: which claims the record holds less of than it said.
    QStringList tokens, judged;
    for (const WriteCheck &check : checks) {
        tokens << check.token();
        judged << (check.verdict ? QStringLiteral("t") : QStringLiteral("f"));
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QString error;
    if (!run(query,
             QStringLiteral("SELECT t.token FROM unnest(CAST(? AS text[]), CAST(? AS boolean[])) AS t(token, judged) "
                            "WHERE NOT EXISTS (SELECT 1 FROM velmora.attempts a WHERE a.token = t.token "
                            "AND a.result <> 'writing') "
                            "AND (t.judged OR NOT EXISTS (SELECT 1 FROM velmora.rows r WHERE r.token = t.token "
                            "AND r.state <> 'claimed'))"),
             {arrayLiteral(tokens), arrayLiteral(judged)}, &error))
        return failedAnswer(db, query);
    QSet<QString> missing;
    while (query.next())
        missing.insert(query.value(0).toString());
    for (size_t i = 0; i < checks.size(); ++i) {
        const WriteCheck &check = checks[i];
        WriteChecked &outcome = (*checked)[i];
        if (!missing.contains(check.token()))
            continue;
        // A skip is set down on a claim that wrote nothing.
        const bool written = check.writing || check.verdict->attempt.result != Batch::Result::Skipped;
        if (written) {
            const Journal::Entry &entry = check.entry();
            if (!run(query,
                     QStringLiteral("SELECT outcome, other_station, other_lane, other_at FROM "
                                    "velmora.restore_writing(?, ?, ?, ?, ?, CAST(? AS timestamptz), ?)"),
                     {lineId, entry.attempt.row, entry.token, entry.station.isEmpty() ? station : entry.station,
                      entry.attempt.port, entry.time.toUTC().toString(Qt::ISODateWithMs),
                      check.verdict ? Batch::resultName(check.verdict->attempt.result)
                                    : QVariant(QMetaType::fromType<QString>())},
                     &error)
                || !query.next())
                return failedAnswer(db, query);
            const QString said = query.value(0).toString();
            outcome.outcome = said == QLatin1String("restored") ? WriteChecked::Restored
                              : said == QLatin1String("doubt")  ? WriteChecked::Doubt
                              : said == QLatin1String("gone")   ? WriteChecked::Gone
                                                                : WriteChecked::Held;
            outcome.otherStation = query.value(1).toString();
            outcome.otherLane = query.value(2).toString();
            outcome.otherAt = query.value(3).toDateTime();
        }
        if (check.verdict && (outcome.outcome == WriteChecked::Held || outcome.outcome == WriteChecked::Restored)) {
            const RecordLink::Answer verdict = sendVerdict(db, check.verdict->token, check.verdict->attempt,
                                                           check.verdict->time);
            if (!verdict.ok)
                return verdict;
            outcome.verdict = verdict.values.value(0).toString();
        }
    }
    return doneAnswer();
}

} // namespace Line
