// Pages to a PDF file, through Qt's PDF writer where this build's Qt has one.
#include "pagedoutput.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QtGui/qtguiglobal.h>

#if QT_CONFIG(pdf)
#include <QPdfWriter>
#endif

namespace Bench {

bool canWritePdf()
{
    return QT_CONFIG(pdf);
}

bool writePdf(const QString &fileName, const QString &title, const QPageLayout &layout, const PagePainter &paint,
              QString *error)
{
#if QT_CONFIG(pdf)
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QCoreApplication::translate("Bench::Output", "cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("velmora-bench"));
        writer.setPageLayout(layout);
        paint(&writer);
    }
    if (!file.commit()) {
        *error = QCoreApplication::translate("Bench::Output", "cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
#else
    Q_UNUSED(title);
    Q_UNUSED(layout);
    Q_UNUSED(paint);
    *error = QCoreApplication::translate("Bench::Output", "cannot write %1: this build of Qt has no PDF writer; print instead").arg(fileName);
    return false;
#endif
}

} // namespace Bench
