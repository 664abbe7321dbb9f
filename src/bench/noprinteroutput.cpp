// A build whose Qt has no print support: no printer to choose.
#include "pagedoutput.h"

#include <QCoreApplication>

namespace Bench {

bool canPrint()
{
    return false;
}

bool printPages(QWidget *, const QString &, const QPageLayout &, const PagePainter &, QString *error)
{
    *error = QCoreApplication::translate("Bench::Output", "this build of Qt has no print support");
    return false;
}

} // namespace Bench
