// What velmora-web asks the record, as JSON for its pages and its API. Every
// query is bounded: rows and attempts come a page at a time, counted by the
// server, so that a line of 100,000 rows answers as quickly as a small one.
// Field names are the API's and are never translated.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>

namespace Web {

// A line's id; 0 where there is no such line, -1 with why not where the
// record could not be asked.
int findLine(QSqlDatabase &db, const QString &name, QString *error);

// Every line: rows, ok %, devices a minute, stations working, rows in doubt.
bool readLines(QSqlDatabase &db, QJsonArray *lines, QString *error);
// As line status --json gives it.
bool readLineStatus(QSqlDatabase &db, int lineId, const QString &name, QJsonObject *status, QString *error);

struct RowFilter
{
    static constexpr int MaxLimit = 500;
    QString search;   // in id, lip, mac, sn, or a row's number
    QString state;    // free, claimed, writing, ok, failed
    QString result;   // ok, mismatch, refused, no-answer, skipped
    QString station;
    int offset = 0;
    int limit = 50;
};
// {"total", "offset", "limit", "rows": [...]}, in row order.
bool readRows(QSqlDatabase &db, int lineId, const RowFilter &filter, QJsonObject *page, QString *error);
// The rows named, as readRows gives them.
bool readRowsNamed(QSqlDatabase &db, int lineId, const QList<int> &rows, QJsonArray *out, QString *error);

// Attempts after the one of id afterId (0: from the first), in the order
// they were committed, of transactions older than every one still running;
// or from the time since where that is valid, in the order of their ids. At
// most limit of them. *more (where given) says whether there are attempts
// left to read: committed but held back behind an older transaction still
// running, or beyond limit.
bool readAttempts(QSqlDatabase &db, int lineId, qint64 afterId, const QDateTime &since, int limit, QJsonArray *out,
                  QString *error, bool *more = nullptr);
// Where following each line's attempts from now on starts: the id of the
// last one readAttempts can give now (0 where it can give none yet).
bool readFollowedAttempts(QSqlDatabase &db, QHash<int, qint64> *lastByLine, QString *error);

// Ok devices a minute over the last hour, failures by result and detail,
// and each station's lease and pace.
bool readLineActivity(QSqlDatabase &db, int lineId, QJsonObject *activity, QString *error);

// Devices of every line whose id, lip, mac or sn is the key, with every
// attempt on them.
bool findDevices(QSqlDatabase &db, const QString &key, QJsonArray *devices, QString *error);

} // namespace Web
