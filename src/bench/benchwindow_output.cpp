// What is made of a run afterwards, from its log: the report QA signs and
// the devices' labels.
#include "benchwindow.h"

#include "labeldialog.h"
#include "labels.h"
#include "pagedoutput.h"
#include "report.h"
#include "resultfilter.h"
#include "runsession.h"

#include "line/linewatcher.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QSysInfo>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QSaveFile>
#include <QStatusBar>
#include <QTableView>

#include <algorithm>
#include <iterator>

namespace Bench {

namespace {

QPageLayout reportPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

// The CSV copy beside the PDF: report.pdf, report.csv.
QString csvBeside(const QString &pdfFile)
{
    const QFileInfo pdf(pdfFile);
    return pdf.dir().filePath(pdf.completeBaseName() + QStringLiteral(".csv"));
}

// A PDF to write, named after the plan: plan.report.pdf, plan.labels.pdf.
QString choosePdf(QWidget *parent, const QString &title, const QString &planFile, const QString &suffix)
{
    const QFileInfo plan(planFile);
    return QFileDialog::getSaveFileName(parent, title, plan.dir().filePath(plan.completeBaseName() + suffix),
                                        QCoreApplication::translate("Bench::BenchWindow", "PDF (*.pdf)"));
}

bool writeFile(const QString &fileName, const QByteArray &bytes, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace

// The log's lines, and what became of each row of the plan in the end.
bool BenchWindow::readRecord(QList<Batch::LogRecord> *lines, QList<Batch::LogRecord> *rows, QString *error) const
{
    const Batch::Plan &plan = m_session ? m_session->plan() : planTable->plan();
    if (!m_session && !planTable->isValid()) {
        *error = planTable->rowCount() == 0 ? tr("open a plan first") : tr("the plan has problems: mend them first");
        return false;
    }
    lines->clear();
    if (isLine()) {
        // The line as the record holds it now, every station's rows.
        *rows = m_watcher->outcomes();
        std::copy_if(rows->begin(), rows->end(), std::back_inserter(*lines),
                     [](const Batch::LogRecord &row) { return row.result.has_value(); });
        return true;
    }
    if (QFileInfo::exists(m_logFile) && !Batch::readLogFile(m_logFile, lines, error))
        return false;
    *rows = Batch::rowOutcomes(plan, *lines);
    return true;
}

ReportHeader BenchWindow::reportHeader(const QList<Batch::LogRecord> &lines) const
{
    ReportHeader header;
    header.planFile = QDir::toNativeSeparators(QFileInfo(planTable->fileName()).absoluteFilePath());
    header.logFile = isLine() ? tr("line %1 of %2").arg(m_place.line, m_place.address.shown())
                              : QDir::toNativeSeparators(QFileInfo(m_logFile).absoluteFilePath());
    header.station = isLine() ? m_place.station : QSysInfo::machineHostName();
    header.operatorName = operatorName();
    header.software = QStringLiteral("velmora-bench %1").arg(QStringLiteral(VELMORA_VERSION));
    return withRunTimes(header, lines);
}

bool BenchWindow::writeReport(const QString &pdfFile, QString *error)
{
    QList<Batch::LogRecord> lines;
    QList<Batch::LogRecord> rows;
    if (!readRecord(&lines, &rows, error))
        return false;
    const ReportHeader header = reportHeader(lines);
    return writeFile(csvBeside(pdfFile), reportCsv(rows), error)
           && writePdf(pdfFile, tr("Velmora Bench report"), reportPageLayout(),
                       [&](QPagedPaintDevice *device) { paintReport(device, header, rows); }, error);
}

bool BenchWindow::writeLabels(const QString &pdfFile, const LabelFormat &format, const QSet<int> &only, QString *error)
{
    QList<Batch::LogRecord> lines;
    QList<Batch::LogRecord> rows;
    if (!readRecord(&lines, &rows, error))
        return false;
    if (!only.isEmpty())
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const Batch::LogRecord &row) { return !only.contains(row.row); }),
                   rows.end());
    const QList<Label> labels = labelsFor(rows);
    if (labels.isEmpty()) {
        *error = tr("no row done ok to make a label for");
        return false;
    }
    return writePdf(pdfFile, tr("Velmora Bench labels"), format.page,
                    [&](QPagedPaintDevice *device) { paintLabels(device, format, labels); }, error);
}

QSet<int> BenchWindow::selectedRows() const
{
    QSet<int> rows;
    for (const QModelIndex &shown : planView->selectionModel()->selectedIndexes()) {
        if (const int row = planTable->planRow(resultFilter->mapToSource(shown).row()); row > 0)
            rows.insert(row);
    }
    return rows;
}

// The operator is asked once; the name is remembered for every report after.
bool BenchWindow::askOperator()
{
    if (!operatorName().isEmpty())
        return true;
    bool given = false;
    const QString name = QInputDialog::getText(this, tr("Report"), tr("Operator, as the report names who ran the bench:"),
                                               QLineEdit::Normal, QString(), &given).trimmed();
    if (!given || name.isEmpty())
        return false;
    setOperatorName(name);
    return true;
}

void BenchWindow::exportReport()
{
    if (!askOperator())
        return;
    const QString chosen = choosePdf(this, tr("Export the report"), planTable->fileName(), QStringLiteral(".report.pdf"));
    if (chosen.isEmpty())
        return;
    QString error;
    if (!writeReport(chosen, &error)) {
        QMessageBox::warning(this, tr("Export the report"), error);
        return;
    }
    statusBar()->showMessage(tr("Wrote %1 and %2").arg(chosen, csvBeside(chosen)), 10000);
}

void BenchWindow::printReport()
{
    QList<Batch::LogRecord> lines;
    QList<Batch::LogRecord> rows;
    QString error;
    if (!askOperator())
        return;
    if (!readRecord(&lines, &rows, &error)) {
        QMessageBox::warning(this, tr("Print the report"), error);
        return;
    }
    const ReportHeader header = reportHeader(lines);
    if (!printPages(this, tr("Velmora Bench report"), reportPageLayout(),
                    [&](QPagedPaintDevice *device) { paintReport(device, header, rows); }, &error)
        && !error.isEmpty())
        QMessageBox::warning(this, tr("Print the report"), error);
}

void BenchWindow::printLabels()
{
    QList<Batch::LogRecord> lines;
    QList<Batch::LogRecord> rows;
    QString error;
    if (!readRecord(&lines, &rows, &error)) {
        QMessageBox::warning(this, tr("Print labels"), error);
        return;
    }
    const QSet<int> selected = selectedRows();
    const auto okOf = [&](bool onlySelected) {
        QList<Batch::LogRecord> chosen;
        for (const Batch::LogRecord &row : rows) {
            if (!onlySelected || selected.contains(row.row))
                chosen << row;
        }
        return labelsFor(chosen);
    };
    LabelDialog dialog(int(okOf(false).size()), int(okOf(true).size()), canWritePdf(), canPrint(), this);
    dialog.setObjectName(QStringLiteral("labelDialog"));
    const int output = dialog.exec();
    if (output != LabelDialog::ToPdf && output != LabelDialog::ToPrinter)
        return;
    const LabelFormat &format = labelFormats().at(dialog.format());
    const QList<Label> labels = okOf(dialog.selectedOnly());
    if (output == LabelDialog::ToPrinter) {
        if (!printPages(this, tr("Velmora Bench labels"), format.page,
                        [&](QPagedPaintDevice *device) { paintLabels(device, format, labels); }, &error)
            && !error.isEmpty())
            QMessageBox::warning(this, tr("Print labels"), error);
        return;
    }
    const QString chosen = choosePdf(this, tr("Save the labels as"), planTable->fileName(), QStringLiteral(".labels.pdf"));
    if (chosen.isEmpty())
        return;
    if (!writeLabels(chosen, format, dialog.selectedOnly() ? selected : QSet<int>(), &error)) {
        QMessageBox::warning(this, tr("Print labels"), error);
        return;
    }
    statusBar()->showMessage(tr("Wrote %n label(s) to %1", nullptr, int(labels.size())).arg(chosen), 10000);
}

} // namespace Bench
