#include "inputrules.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

// [0-9] rather than \d: \d also matches non-ASCII digits, which the conversion
// to payload bytes does not read.

namespace InputRules {

namespace {

QValidator *rule(const char *pattern, QObject *parent)
{
    return new QRegularExpressionValidator(QRegularExpression(QLatin1String(pattern)), parent);
}

} // namespace

QValidator *octet(QObject *parent)
{
    return rule("((25[0-5])|(2[0-4][0-9])|(1[0-9][0-9])|([1-9][0-9])|([0-9]))", parent);
}

QValidator *hexPair(QObject *parent)
{
    return rule("[0-9a-fA-F]{2}", parent);
}

QValidator *serialNumber(QObject *parent)
{
    return rule("((23[0-0])|(2[0-4][0-9])|(1[0-9][0-9])|([0-9][0-9])|([0-9]))", parent);
}

QValidator *number16(QObject *parent)
{
    return rule("((6553[0-5])|(655[0-2][0-9])|(65[0-4][0-9]{2})|(6[0-4][0-9]{3})"
                "|([1-5][0-9]{4})|([1-9][0-9]{0,3})|([0-9]))",
                parent);
}

} // namespace InputRules
