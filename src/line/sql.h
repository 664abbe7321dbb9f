// Small helpers for the record's SQL: every value goes in as a parameter,
// bound by position, never into the text of a statement.
#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace Line {

// Runs a prepared query with these values; false with the reason in *error.
inline bool run(QSqlQuery &query, const QVariantList &values, QString *error)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

// Prepares and runs.
inline bool run(QSqlQuery &query, const QString &sql, const QVariantList &values, QString *error)
{
    if (!query.prepare(sql)) {
        *error = query.lastError().text();
        return false;
    }
    return run(query, values, error);
}

// A PostgreSQL array literal, for one parameter cast to text[] or integer[].
QString arrayLiteral(const QStringList &texts);

} // namespace Line
