#include "sql.h"

namespace Line {

QString arrayLiteral(const QStringList &texts)
{
    QString literal = QStringLiteral("{");
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0)
            literal += QLatin1Char(',');
        QString text = texts.at(i);
        literal += QLatin1Char('"')
                   + text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""))
                   + QLatin1Char('"');
    }
    return literal + QLatin1Char('}');
}

} // namespace Line
