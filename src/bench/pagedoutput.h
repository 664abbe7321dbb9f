// Pages painted to a PDF file or to a printer the person chooses in the
// system's printer dialog. Which of the two a build has depends on its Qt:
// the PDF writer where Qt has it, the printer where it has print support.
#pragma once

#include <QPageLayout>
#include <QString>

#include <functional>

class QPagedPaintDevice;
class QWidget;

namespace Bench {

// Paints every page; the device is set up with the layout asked for.
using PagePainter = std::function<void(QPagedPaintDevice *device)>;

bool canWritePdf();
// False with the reason in *error.
bool writePdf(const QString &fileName, const QString &title, const QPageLayout &layout, const PagePainter &paint,
              QString *error);

bool canPrint();
// Asks for the printer, then prints. False with the reason in *error, or
// with *error empty where the person cancelled.
bool printPages(QWidget *parent, const QString &title, const QPageLayout &layout, const PagePainter &paint,
                QString *error);

} // namespace Bench
