// The report of a run, for the customer's or QA's records: the plan file,
// the date, the ports, the summary counts and a table of every device (id,
// values asked, values read back, result, time). As HTML, and as a PDF of
// that HTML.
#pragma once

#include "plantable.h"

#include <QDateTime>
#include <QStringList>

namespace Bench {

struct ReportHeading
{
    QString planFile;
    QString logFile;
    QDateTime date;
    QStringList ports;
};

QString reportHtml(const PlanTable &table, const ReportHeading &heading);
// Whether this build's Qt has its PDF writer (the one for Windows does not).
bool canWritePdf();
// A PDF where the name ends in .pdf, HTML otherwise; false with the reason in *error.
bool writeReport(const QString &html, const QString &fileName, QString *error);

} // namespace Bench
