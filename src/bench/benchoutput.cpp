#include "benchoutput.h"

#include "labels.h"
#include "linecontroller.h"
#include "plansession.h"
#include "report.h"
#include "runcontroller.h"
#include "settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>

#include <algorithm>
#include <iterator>

namespace Bench {

namespace {

QPageLayout reportPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

bool writeFile(const QString &fileName, const QByteArray &bytes, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QCoreApplication::translate("Bench::Output", "cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace

BenchOutput::BenchOutput(const PlanSession *plan, const RunController *run, const LineController *line,
                         QObject *parent)
    : QObject(parent), m_plan(plan), m_run(run), m_line(line)
{
}

QString BenchOutput::operatorName() const
{
    return settings().value(QStringLiteral("report/operator")).toString();
}

void BenchOutput::setOperatorName(const QString &name)
{
    QSettings stored = settings();
    stored.setValue(QStringLiteral("report/operator"), name);
}

QString BenchOutput::csvBeside(const QString &pdfFile)
{
    const QFileInfo pdf(pdfFile);
    return pdf.dir().filePath(pdf.completeBaseName() + QStringLiteral(".csv"));
}

QString BenchOutput::pdfFile(const QString &suffix) const
{
    const QFileInfo plan(m_plan->table()->fileName());
    return plan.dir().filePath(plan.completeBaseName() + suffix);
}

bool BenchOutput::readRecord(QList<Batch::LogRecord> *lines, QList<Batch::LogRecord> *rows, QString *error) const
{
    const PlanTable *table = m_plan->table();
    if (!m_run->isRunning() && !table->isValid()) {
        *error = table->rowCount() == 0 ? tr("open a plan first") : tr("the plan has problems: mend them first");
        return false;
    }
    lines->clear();
    if (table->isLine()) {
        // The line as the record holds it now, every station's rows.
        *rows = m_line->outcomes();
        std::copy_if(rows->begin(), rows->end(), std::back_inserter(*lines),
                     [](const Batch::LogRecord &row) { return row.result.has_value(); });
        return true;
    }
    const QString logFile = m_plan->logFile();
    if (QFileInfo::exists(logFile) && !Batch::readLogFile(logFile, lines, error))
        return false;
    *rows = Batch::rowOutcomes(m_run->plan(), *lines);
    return true;
}

bool BenchOutput::outcomes(QList<Batch::LogRecord> *rows, QString *error) const
{
    QList<Batch::LogRecord> lines;
    return readRecord(&lines, rows, error);
}

ReportHeader BenchOutput::reportHeader(const QList<Batch::LogRecord> &lines) const
{
    const bool isLine = m_plan->table()->isLine();
    ReportHeader header;
    header.planFile = QDir::toNativeSeparators(QFileInfo(m_plan->table()->fileName()).absoluteFilePath());
    header.logFile = isLine ? m_line->shownName() : QDir::toNativeSeparators(QFileInfo(m_plan->logFile()).absoluteFilePath());
    header.station = isLine ? m_line->place().station : QSysInfo::machineHostName();
    header.operatorName = operatorName();
    header.software = QStringLiteral("velmora-bench %1").arg(QStringLiteral(VELMORA_VERSION));
    return withRunTimes(header, lines);
}

BenchOutput::Pages BenchOutput::reportPages(const ReportHeader &header, const QList<Batch::LogRecord> &rows)
{
    return {tr("Velmora Bench report"), reportPageLayout(),
            [header, rows](QPagedPaintDevice *device) { paintReport(device, header, rows); }};
}

bool BenchOutput::report(Pages *pages, QString *error) const
{
    QList<Batch::LogRecord> lines;
    QList<Batch::LogRecord> rows;
    if (!readRecord(&lines, &rows, error))
        return false;
    *pages = reportPages(reportHeader(lines), rows);
    return true;
}

BenchOutput::Pages BenchOutput::labels(const LabelFormat &format, const QList<Label> &labels) const
{
    return {tr("Velmora Bench labels"), format.page,
            [format, labels](QPagedPaintDevice *device) { paintLabels(device, format, labels); }};
}

bool BenchOutput::writeReport(const QString &pdfFile, QString *error) const
{
    QList<Batch::LogRecord> lines;
    QList<Batch::LogRecord> rows;
    if (!readRecord(&lines, &rows, error))
        return false;
    const Pages pages = reportPages(reportHeader(lines), rows);
    return writeFile(csvBeside(pdfFile), reportCsv(rows), error)
           && writePdf(pdfFile, pages.title, pages.layout, pages.paint, error);
}

bool BenchOutput::writeLabels(const QString &pdfFile, const LabelFormat &format, const QSet<int> &only,
                              QString *error) const
{
    QList<Batch::LogRecord> rows;
    if (!outcomes(&rows, error))
        return false;
    if (!only.isEmpty())
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const Batch::LogRecord &row) { return !only.contains(row.row); }),
                   rows.end());
    const QList<Label> made = labelsFor(rows);
    if (made.isEmpty()) {
        *error = tr("no row done ok to make a label for");
        return false;
    }
    const Pages pages = labels(format, made);
    return writePdf(pdfFile, pages.title, pages.layout, pages.paint, error);
}

} // namespace Bench
