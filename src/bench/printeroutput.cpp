// Pages to a printer chosen in the system's printer dialog.
#include "pagedoutput.h"

#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrinter>

namespace Bench {

bool canPrint()
{
    return true;
}

bool printPages(QWidget *parent, const QString &title, const QPageLayout &layout, const PagePainter &paint,
                QString *error)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageLayout(layout);
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setWindowTitle(title);
    error->clear();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    paint(&printer);
    if (printer.printerState() == QPrinter::Error) {
        *error = QCoreApplication::translate("Bench::Output", "the printer %1 failed").arg(printer.printerName());
        return false;
    }
    return true;
}

} // namespace Bench
