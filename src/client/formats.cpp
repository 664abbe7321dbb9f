#include "formats.h"

#include "values.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Client {

QString reportText(const Protocol::ParameterBlock &block)
{
    return Protocol::readReport(block).replace(QLatin1String("\r\n"), QLatin1String("\n"))
           + QLatin1Char('\n');
}

QByteArray jsonText(const Protocol::ParameterBlock &block)
{
    QJsonObject object;
    for (const Protocol::BlockField &field : Protocol::blockFields()) {
        const QString key = QLatin1String(field.key);
        const QString text = valueText(field, block);
        switch (field.type) {
        case Protocol::BlockField::HexPairs:
            break;  // the report does not show the reserved bytes either
        case Protocol::BlockField::Number:
            object.insert(key, text.toInt());
            break;
        default:
            object.insert(key, text);
        }
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace Client
