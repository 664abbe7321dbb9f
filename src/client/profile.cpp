#include "profile.h"

namespace Client {

bool parseProfile(const QString &text, const QString &fileName, ValueSet *values, QString *error)
{
    QStringView rest = text;
    if (rest.startsWith(QChar(0xfeff)))  // a byte-order mark, as some editors save one
        rest = rest.mid(1);
    int number = 0;
    for (QStringView line : rest.split(QLatin1Char('\n'))) {
        ++number;
        line = line.trimmed();  // also the '\r' of a CRLF file
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        Value value;
        QString problem;
        if (!parseAssignment(line.toString(), Writer::SetAll, &value, &problem)) {
            // One pass: a file name with "%2" in it must not take the line's place.
            *error = QStringLiteral("%1:%2: %3").arg(fileName, QString::number(number), problem);
            return false;
        }
        if (values->contains(value.field)) {
            *error = QStringLiteral("%1:%2: %3 is given twice")
                         .arg(fileName, QString::number(number), QLatin1String(value.field->key));
            return false;
        }
        values->insert(value);
    }
    return true;
}

QString profileText(const Protocol::ParameterBlock &block)
{
    QString text;
    for (const Protocol::BlockField &field : Protocol::blockFields())
        text += QLatin1String(field.key) + QLatin1String(" = ") + valueText(field, block) + QLatin1Char('\n');
    return text;
}

} // namespace Client
