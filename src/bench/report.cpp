#include "report.h"

#include "batch/csv.h"
#include "link/phrases.h"
#include "plantable.h"

#include <QCoreApplication>

#include <algorithm>

namespace Bench {

namespace {

QString keysOf(const QList<Batch::LogValue> &values)
{
    QStringList keys;
    for (const Batch::LogValue &value : values)
        keys << value.key;
    return keys.join(QLatin1String(", "));
}

// A line's rows say which of its stations did each, as its export does.
bool ofStations(const QList<Batch::LogRecord> &rows)
{
    return std::any_of(rows.begin(), rows.end(), [](const Batch::LogRecord &row) { return !row.station.isEmpty(); });
}

QString resultOf(const Batch::LogRecord &row)
{
    if (!row.result)
        return QCoreApplication::translate("Bench::Report", "not done");
    if (*row.result == Batch::Result::Writing)
        return QCoreApplication::translate("Bench::Report", "in doubt: the run stopped while writing it");
    return row.detail.isEmpty() ? resultText(*row.result) : QStringLiteral("%1: %2").arg(resultText(*row.result), Phrases::said(row.detail));
}

} // namespace

QString countsText(const Batch::ResultCounts &counts)
{
    return QCoreApplication::translate("Bench::Report", "%1 rows: %2 ok, %3 mismatch, %4 refused, %5 no answer, %6 skipped, %7 left")
        .arg(counts.rows()).arg(counts.ok).arg(counts.mismatch).arg(counts.refused).arg(counts.noAnswer)
        .arg(counts.skipped).arg(counts.left);
}

Batch::ResultCounts reportCounts(const QList<Batch::LogRecord> &rows)
{
    Batch::ResultCounts counts;
    for (const Batch::LogRecord &row : rows)
        counts.add(row.result);
    return counts;
}

ReportHeader withRunTimes(ReportHeader header, const QList<Batch::LogRecord> &lines)
{
    for (const Batch::LogRecord &line : lines) {
        if (!line.time.isValid())
            continue;
        if (!header.start.isValid() || line.time < header.start)
            header.start = line.time;
        if (!header.end.isValid() || line.time > header.end)
            header.end = line.time;
    }
    return header;
}

QStringList reportColumns(const QList<Batch::LogRecord> &rows)
{
    const QString keys = rows.isEmpty() ? QString() : keysOf(rows.first().asked);
    return {QCoreApplication::translate("Bench::Report", "Row"), QCoreApplication::translate("Bench::Report", "Id"),
            QCoreApplication::translate("Bench::Report", "Asked: %1").arg(keys),
            QCoreApplication::translate("Bench::Report", "Read back: %1").arg(keys),
            QCoreApplication::translate("Bench::Report", "Result"),
            QCoreApplication::translate("Bench::Report", "Time (UTC)"),
            ofStations(rows) ? QCoreApplication::translate("Bench::Report", "Station: port")
                             : QCoreApplication::translate("Bench::Report", "Port")};
}

QStringList reportCells(const Batch::LogRecord &row)
{
    QStringList asked;
    QStringList held;
    for (const Batch::LogValue &value : row.asked) {
        asked << value.text;
        held << row.held(value.key);
    }
    return {QString::number(row.row),
            row.id,
            asked.join(QLatin1String(", ")),
            row.hasReadBack() ? held.join(QLatin1String(", ")) : QString(),
            resultOf(row),
            row.time.isValid() ? row.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(),
            row.station.isEmpty() || row.port.isEmpty() ? row.port : QStringLiteral("%1: %2").arg(row.station, row.port)};
}

QByteArray reportCsv(const QList<Batch::LogRecord> &rows)
{
    QStringList header = {QStringLiteral("row"), QStringLiteral("id")};
    if (!rows.isEmpty()) {
        for (const Batch::LogValue &value : rows.first().asked)
            header << value.key;
    }
    for (const Protocol::BlockField &field : Protocol::blockFields())
        header << QLatin1String("read_") + QLatin1String(field.key);
    header << QStringLiteral("result") << QStringLiteral("detail") << QStringLiteral("time") << QStringLiteral("port");
    const bool stations = ofStations(rows);
    if (stations)
        header << QStringLiteral("station");
    QString text = header.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const Batch::LogRecord &row : rows) {
        QStringList fields = {QString::number(row.row), Batch::csvField(row.id)};
        for (const Batch::LogValue &value : row.asked)
            fields << Batch::csvField(value.text);
        for (const Protocol::BlockField &field : Protocol::blockFields())
            fields << Batch::csvField(row.held(QLatin1String(field.key)));
        fields << (row.result ? Batch::resultName(*row.result) : QStringLiteral("not-done")) << Batch::csvField(row.detail)
               << (row.time.isValid() ? row.time.toUTC().toString(Qt::ISODateWithMs) : QString())
               << Batch::csvField(row.port);
        if (stations)
            fields << Batch::csvField(row.station);
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text.toUtf8();
}

} // namespace Bench
