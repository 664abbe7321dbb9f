// A build whose Qt has no print support: no printer to choose.
#include "pagedoutput.h"

namespace Bench {

bool canPrint()
{
    return false;
}

bool printPages(QWidget *, const QString &, const QPageLayout &, const PagePainter &, QString *error)
{
    *error = QStringLiteral("this build of Qt has no print support");
    return false;
}

} // namespace Bench
