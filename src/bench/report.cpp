#include "report.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>
#include <QtGui/qtguiglobal.h>

#if QT_CONFIG(pdf)
#include <QPageSize>
#include <QPdfWriter>
#endif

namespace Bench {

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString cell(const QString &text)
{
    return QStringLiteral("<td>%1</td>").arg(escaped(text));
}

} // namespace

QString reportHtml(const PlanTable &table, const ReportHeading &heading)
{
    const PlanTable::Counts counts = table.counts();
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head><body>")
                       .arg(escaped(QFileInfo(heading.planFile).fileName()));
    html += QStringLiteral("<h1>Velmora Bench: %1</h1>").arg(escaped(QFileInfo(heading.planFile).fileName()));
    html += QStringLiteral("<p>Plan: %1<br>Record: %2<br>Date: %3<br>Ports: %4</p>")
                .arg(escaped(heading.planFile), escaped(heading.logFile),
                     escaped(heading.date.toString(Qt::ISODate)), escaped(heading.ports.join(QLatin1String(", "))));
    html += QStringLiteral("<p><b>%1 rows: %2 ok, %3 mismatch, %4 refused, %5 no answer, %6 skipped, %7 left</b></p>")
                .arg(counts.done() + counts.left).arg(counts.ok).arg(counts.mismatch).arg(counts.refused)
                .arg(counts.noAnswer).arg(counts.skipped).arg(counts.left);

    int idColumn = -1;
    for (int column = 0; column < table.keyColumns(); ++column) {
        if (table.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() == QLatin1String("id"))
            idColumn = column;
    }
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
                           "<tr><th>Row</th><th>Id</th><th>Values asked</th><th>Values read back</th>"
                           "<th>Result</th><th>Time</th></tr>");
    for (int row = 0; row < table.rowCount(); ++row) {
        const int planRow = table.planRow(row);
        if (planRow == 0)
            continue;  // a blank line of the file
        QStringList asked;
        for (int column = 0; column < table.keyColumns(); ++column) {
            if (column != idColumn)
                asked << QStringLiteral("%1=%2").arg(table.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                                                     table.index(row, column).data().toString().trimmed());
        }
        const RowOutcome &outcome = table.outcome(planRow);
        QString result = table.index(row, table.resultColumn()).data().toString();
        if (!outcome.result)
            result = QStringLiteral("not done");
        const QString time = outcome.earlier ? QStringLiteral("earlier run")
                             : outcome.time.isValid() ? outcome.time.toString(Qt::ISODate) : QString();
        html += QStringLiteral("<tr>") + cell(QString::number(planRow))
                + cell(idColumn >= 0 ? table.index(row, idColumn).data().toString() : QString())
                + cell(asked.join(QLatin1String(", "))) + cell(table.index(row, table.holdsColumn()).data().toString())
                + cell(result) + cell(time) + QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table></body></html>");
    return html;
}

bool canWritePdf()
{
    return QT_CONFIG(pdf);
}

bool writeReport(const QString &html, const QString &fileName, QString *error)
{
    const bool pdf = fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (pdf && !canWritePdf()) {
        *error = QStringLiteral("cannot write %1: this build writes reports as HTML only").arg(fileName);
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (pdf) {
#if QT_CONFIG(pdf)
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setTitle(QStringLiteral("Velmora Bench report"));
        writer.setCreator(QStringLiteral("velmora-bench"));
        QTextDocument document;
        document.setHtml(html);
        document.setPageSize(writer.pageLayout().paintRectPixels(writer.resolution()).size());
        document.print(&writer);
#endif
    } else {
        file.write(html.toUtf8());
    }
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace Bench
