// The report of a plan's run that QA signs: a header (plan, log, station,
// operator, software, when the run began and ended, the counts), then a
// table of every row of the plan with its values asked, its values read
// back, its result, time and port (and, on a line, the station), all taken
// from the log; a signature line closes it. As pages (PDF, a printer) and
// as CSV of the same table.
#pragma once

#include "batch/logrecords.h"

#include <QDateTime>
#include <QStringList>

class QPagedPaintDevice;

namespace Bench {

struct ReportHeader
{
    QString planFile;
    QString logFile;
    QString station;  // the host the bench runs on
    QString operatorName;
    QString software;  // "velmora-bench 1.2"
    QDateTime start;   // the log's first line and its last, UTC
    QDateTime end;
};

// "12 rows: 10 ok, 1 mismatch, 0 refused, 0 no answer, 1 skipped, 0 left"
QString countsText(const Batch::ResultCounts &counts);

Batch::ResultCounts reportCounts(const QList<Batch::LogRecord> &rows);
// The header's start and end from the log's lines; the rest as given.
ReportHeader withRunTimes(ReportHeader header, const QList<Batch::LogRecord> &lines);

// The table, as printed: a column's title and every row's cells.
QStringList reportColumns(const QList<Batch::LogRecord> &rows);
QStringList reportCells(const Batch::LogRecord &row);

// The same table as CSV, every value in a column of its own, all ten values read back.
QByteArray reportCsv(const QList<Batch::LogRecord> &rows);

// Lays the report out on the device's pages, A4 landscape as set up by
// reportPageLayout(), and paints it; the number of pages.
int paintReport(QPagedPaintDevice *device, const ReportHeader &header, const QList<Batch::LogRecord> &rows);

} // namespace Bench
