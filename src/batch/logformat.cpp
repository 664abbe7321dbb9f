#include "logformat.h"

#include "csv.h"

using Protocol::BlockField;

namespace Batch {

namespace {

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

} // namespace

QStringList logHeader(const Plan &plan)
{
    QStringList columns = {QStringLiteral("time"), QStringLiteral("row"),    QStringLiteral("id"),
                           QStringLiteral("line"), QStringLiteral("result"), QStringLiteral("detail")};
    for (const BlockField *field : plan.fields)
        columns << QLatin1String(field->key);
    for (const BlockField &field : Protocol::blockFields())
        columns << QLatin1String("read_") + QLatin1String(field.key);
    return columns;
}

QString logLine(const Plan &plan, const Attempt &attempt, const QDateTime &time)
{
    const PlanRow &row = plan.row(attempt.row);
    QStringList fields = {time.toUTC().toString(Qt::ISODateWithMs), QString::number(attempt.row), csvField(row.id),
                          csvField(oneLine(attempt.port)), resultName(attempt.result),
                          csvField(oneLine(attempt.detail))};
    for (const BlockField *field : plan.fields)
        fields << Client::valueText(*field, row.values.find(field)->bytes);
    for (const BlockField &field : Protocol::blockFields())
        fields << (attempt.readBack ? Client::valueText(field, *attempt.readBack) : QString());
    return fields.join(QLatin1Char(','));
}

} // namespace Batch
