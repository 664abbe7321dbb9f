#include "logrecords.h"

#include "csv.h"

#include <QFile>
#include <QHash>

#include <algorithm>

namespace Batch {

namespace {

const QString ReadPrefix = QStringLiteral("read_");
const QStringList Leading = {QStringLiteral("time"), QStringLiteral("row"),    QStringLiteral("id"),
                             QStringLiteral("line"), QStringLiteral("result"), QStringLiteral("detail")};

std::optional<Result> resultNamed(const QString &name)
{
    for (Result result : {Result::Ok, Result::Mismatch, Result::Refused, Result::NoAnswer, Result::Skipped,
                          Result::Writing}) {
        if (resultName(result) == name)
            return result;
    }
    return std::nullopt;
}

} // namespace

void ResultCounts::add(const std::optional<Result> &result)
{
    switch (result.value_or(Result::Writing)) {
    case Result::Ok:
        ++ok;
        return;
    case Result::Mismatch:
        ++mismatch;
        return;
    case Result::Refused:
        ++refused;
        return;
    case Result::NoAnswer:
        ++noAnswer;
        return;
    case Result::Skipped:
        ++skipped;
        return;
    case Result::Writing:
        ++left;
        return;
    }
}

QString valueOf(const QList<LogValue> &values, const QString &key)
{
    for (const LogValue &value : values) {
        if (value.key == key)
            return value.text;
    }
    return {};
}

bool LogRecord::hasReadBack() const
{
    return std::any_of(readBack.begin(), readBack.end(), [](const LogValue &value) { return !value.text.isEmpty(); });
}

bool readLogRecords(const QByteArray &bytes, const QString &fileName, QList<LogRecord> *records, QString *error)
{
    records->clear();
    CsvReader reader(bytes);
    CsvRecord record;
    if (!reader.next(&record)) {
        *error = QStringLiteral("%1: empty, or not a log").arg(fileName);
        return false;
    }
    QStringList header;
    for (const CsvField &field : record.fields)
        header << field.text;
    if (header.mid(0, Leading.size()) != Leading) {
        *error = QStringLiteral("%1:1: not a batch log: its columns are %2").arg(fileName, header.join(QLatin1Char(',')));
        return false;
    }
    // The keys asked come first, then read_ and every key of the device.
    qsizetype firstRead = Leading.size();
    while (firstRead < header.size() && !header.at(firstRead).startsWith(ReadPrefix))
        ++firstRead;
    while (reader.next(&record)) {
        // A line cut off by a crash has fewer fields: it records nothing for certain.
        if (qsizetype(record.fields.size()) != header.size())
            continue;
        LogRecord read;
        read.line = record.line;
        read.time = QDateTime::fromString(record.fields[0].text, Qt::ISODateWithMs);
        read.row = record.fields[1].text.toInt();
        read.id = record.fields[2].text;
        read.port = record.fields[3].text;
        read.result = resultNamed(record.fields[4].text);
        read.detail = record.fields[5].text;
        if (read.row < 1 || !read.result) {
            *error = QStringLiteral("%1:%2: not a line of a batch log").arg(fileName).arg(record.line);
            return false;
        }
        for (qsizetype column = Leading.size(); column < header.size(); ++column) {
            const QString &name = header.at(column);
            const QString &text = record.fields[size_t(column)].text;
            if (column < firstRead)
                read.asked.push_back({name, text});
            else
                read.readBack.push_back({name.mid(ReadPrefix.size()), text});
        }
        records->push_back(read);
    }
    if (!reader.error().isEmpty()) {
        *error = QStringLiteral("%1:%2: %3").arg(fileName).arg(reader.errorLine()).arg(reader.error());
        return false;
    }
    return true;
}

bool readLogFile(const QString &fileName, QList<LogRecord> *records, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    return readLogRecords(file.readAll(), fileName, records, error);
}

LogRecord planRecord(const Plan &plan, int row)
{
    const PlanRow &planned = plan.row(row);
    LogRecord record;
    record.row = row;
    record.id = planned.id;
    for (const Protocol::BlockField *field : plan.fields)
        record.asked.push_back({QLatin1String(field->key), Client::valueText(*field, planned.values.find(field)->bytes)});
    return record;
}

QList<LogValue> readBackValues(const Protocol::ParameterBlock &block)
{
    QList<LogValue> values;
    for (const Protocol::BlockField &field : Protocol::blockFields())
        values.push_back({QLatin1String(field.key), Client::valueText(field, block)});
    return values;
}

QList<LogRecord> rowOutcomes(const Plan &plan, const QList<LogRecord> &records)
{
    QHash<int, const LogRecord *> settled;
    for (const LogRecord &record : records) {
        // A row ok once stays ok; otherwise its latest line tells.
        const LogRecord *&held = settled[record.row];
        if (!held || held->result != Result::Ok)
            held = &record;
    }
    QList<LogRecord> outcomes;
    outcomes.reserve(plan.size());
    for (const PlanRow &row : plan.rows) {
        if (const LogRecord *record = settled.value(row.number)) {
            outcomes.push_back(*record);
            continue;
        }
        outcomes.push_back(planRecord(plan, row.number));
    }
    return outcomes;
}

} // namespace Batch
