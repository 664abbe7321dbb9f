#include "inputrules.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace InputRules {

namespace {

QValidator *rule(const char *pattern, QObject *parent)
{
    return new QRegularExpressionValidator(QRegularExpression(QLatin1String(pattern)), parent);
}

} // namespace

QValidator *octet(QObject *parent)
{
    return rule("((25[0-5])|(2[0-4]\\d)|(1\\d\\d)|([1-9]\\d)|(\\d))", parent);
}

QValidator *hexPair(QObject *parent)
{
    return rule("[0-9a-fA-F]{2}", parent);
}

QValidator *serialNumber(QObject *parent)
{
    return rule("((23[0-0])|(2[0-4]\\d)|(1\\d\\d)|(\\d\\d)|(\\d))", parent);
}

QValidator *number16(QObject *parent)
{
    return rule("((6553[0-5])|(655[0-2]\\d)|(65[0-4]\\d{2})|(6[0-4]\\d{3})"
                "|([1-5]\\d{4})|([1-9]\\d{0,3})|(\\d))",
                parent);
}

} // namespace InputRules
