// What is made of a run afterwards, without the window: the report QA
// signs and the devices' labels, from the plan's log (or the line as the
// record holds it), never from what the window shows.
#pragma once

#include "batch/logrecords.h"
#include "pagedoutput.h"

#include <QObject>
#include <QSet>

namespace Bench {

class LineController;
class PlanSession;
class RunController;
struct Label;
struct LabelFormat;
struct ReportHeader;

class BenchOutput : public QObject
{
    Q_OBJECT

public:
    // Pages to paint, to a PDF or to a printer.
    struct Pages
    {
        QString title;
        QPageLayout layout;
        PagePainter paint;
    };

    BenchOutput(const PlanSession *plan, const RunController *run, const LineController *line,
                QObject *parent = nullptr);

    // Who exports the report, asked once and remembered.
    QString operatorName() const;
    void setOperatorName(const QString &name);

    // What became of each row of the plan in the end; false with the reason.
    bool outcomes(QList<Batch::LogRecord> *rows, QString *error) const;
    // The report's pages; false with the reason.
    bool report(Pages *pages, QString *error) const;
    Pages labels(const LabelFormat &format, const QList<Label> &labels) const;

    // The report as a PDF, with a CSV of its table beside it (csvBeside());
    // false with the reason in *error.
    bool writeReport(const QString &pdfFile, QString *error) const;
    // Labels for the rows done ok, or for those of them in rows (of the
    // plan, counted from 1) where rows is not empty; false with the reason.
    bool writeLabels(const QString &pdfFile, const LabelFormat &format, const QSet<int> &rows, QString *error) const;

    // A PDF named after the plan: plan.report.pdf for ".report.pdf".
    QString pdfFile(const QString &suffix) const;
    // The CSV copy beside the PDF: report.pdf, report.csv.
    static QString csvBeside(const QString &pdfFile);

private:
    // The log's lines, and what became of each row of the plan in the end.
    bool readRecord(QList<Batch::LogRecord> *lines, QList<Batch::LogRecord> *rows, QString *error) const;
    ReportHeader reportHeader(const QList<Batch::LogRecord> &lines) const;
    static Pages reportPages(const ReportHeader &header, const QList<Batch::LogRecord> &rows);

    const PlanSession *m_plan = nullptr;
    const RunController *m_run = nullptr;
    const LineController *m_line = nullptr;
};

} // namespace Bench
