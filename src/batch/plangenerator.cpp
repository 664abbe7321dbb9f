#include "plangenerator.h"

#include "client/values.h"
#include "csv.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

#include <vector>

using Protocol::BlockField;

namespace Batch {

namespace {

// What velmora-cli plan tells a person of its arguments.
struct GeneratorText
{
    Q_DECLARE_TR_FUNCTIONS(Batch::PlanGenerator)
};

struct Column
{
    QString key;
    const BlockField *field = nullptr;  // nullptr for id
    quint64 first = 0;                  // the first row's value, as a number
    QString idPrefix;                   // id: what comes before the number
    int idDigits = 0;                   // id: how many digits the number has, zeros included
    bool fixed = false;
};

quint64 numberOf(const QByteArray &bytes)
{
    quint64 number = 0;
    for (char byte : bytes)
        number = number << 8 | quint8(byte);
    return number;
}

QByteArray bytesOf(quint64 number, int width)
{
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i, number >>= 8)
        bytes[i] = char(number & 0xff);
    return bytes;
}

quint64 maximumOf(const BlockField &field)
{
    return field.type == BlockField::Number ? quint64(field.maximum) : (quint64(1) << (8 * field.width)) - 1;
}

QString cell(const Column &column, quint64 step)
{
    if (column.field)
        return Client::valueText(*column.field, bytesOf(column.first + step, column.field->width));
    if (column.idDigits == 0)
        return csvField(column.idPrefix);
    return csvField(column.idPrefix + QString::number(column.first + step).rightJustified(column.idDigits, QLatin1Char('0')));
}

bool parseColumn(const QString &assignment, Column *column, QString *error)
{
    const QString key = assignment.section(QLatin1Char('='), 0, 0).trimmed();
    column->key = key;
    if (key != QLatin1String("id")) {
        Client::Value value;
        if (!Client::parseAssignment(assignment, Client::Writer::SetAll, &value, error))
            return false;
        column->field = value.field;
        column->first = numberOf(value.bytes);
        return true;
    }
    const QString id = assignment.section(QLatin1Char('='), 1).trimmed();
    static const QRegularExpression number(QStringLiteral("[0-9]{1,18}$"));
    const QRegularExpressionMatch match = number.match(id);
    column->idPrefix = id.left(match.hasMatch() ? match.capturedStart() : id.size());
    column->idDigits = match.hasMatch() ? int(match.capturedLength()) : 0;
    column->first = match.hasMatch() ? match.captured().toULongLong() : 0;
    return true;
}

} // namespace

bool generatePlan(const QStringList &assignments, const QStringList &fixedKeys, int count, QString *csv,
                  QString *error)
{
    if (count < 1 || count > MaxGeneratedRows) {
        *error = GeneratorText::tr("--count %1: expected a number from 1 to %2").arg(count).arg(MaxGeneratedRows);
        return false;
    }
    std::vector<Column> columns;
    for (const QString &assignment : assignments) {
        Column column;
        if (!parseColumn(assignment, &column, error))
            return false;
        for (const Column &other : columns) {
            if (other.key == column.key) {
                *error = GeneratorText::tr("%1: %2 is given twice").arg(assignment.trimmed(), column.key);
                return false;
            }
        }
        columns.push_back(column);
    }
    if (columns.empty()) {
        *error = GeneratorText::tr("plan needs at least one KEY=VALUE");
        return false;
    }
    for (const QString &key : fixedKeys) {
        auto fixed = std::find_if(columns.begin(), columns.end(), [&](const Column &c) { return c.key == key; });
        if (fixed == columns.end()) {
            *error = GeneratorText::tr("--fixed %1: no %1=VALUE is given").arg(key);
            return false;
        }
        fixed->fixed = true;
    }

    for (const Column &column : columns) {
        if (column.fixed || count < 2)
            continue;
        if (!column.field && column.idDigits == 0) {
            *error = GeneratorText::tr("id=%1: an id that is not fixed ends in a number to count up, like A-01")
                         .arg(column.idPrefix);
            return false;
        }
        const quint64 maximum = column.field ? maximumOf(*column.field) : 999'999'999'999'999'999ull;
        if (maximum - column.first < quint64(count - 1)) {
            const QString first = cell(column, 0);
            *error = GeneratorText::tr("%1=%2: row %3 would step past %4")
                         .arg(column.key, first, QString::number(maximum - column.first + 2),
                              column.field ? Client::valueText(*column.field, bytesOf(maximum, column.field->width))
                                           : QString::number(maximum));
            return false;
        }
    }

    QStringList lines;
    QStringList header;
    for (const Column &column : columns)
        header << column.key;
    lines << header.join(QLatin1Char(','));
    for (int row = 0; row < count; ++row) {
        QStringList cells;
        for (const Column &column : columns)
            cells << cell(column, column.fixed ? 0 : quint64(row));
        lines << cells.join(QLatin1Char(','));
    }
    *csv = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return true;
}

} // namespace Batch
