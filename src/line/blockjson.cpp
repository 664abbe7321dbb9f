#include "blockjson.h"

#include "client/values.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Line {

QByteArray blockJson(const Protocol::ParameterBlock &block)
{
    QJsonObject held;
    for (const Protocol::BlockField &field : Protocol::blockFields())
        held.insert(QLatin1String(field.key), Client::valueText(field, block));
    return QJsonDocument(held).toJson(QJsonDocument::Compact);
}

std::optional<Protocol::ParameterBlock> blockFromJson(const QByteArray &json)
{
    if (json.isEmpty())
        return std::nullopt;
    const QJsonObject held = QJsonDocument::fromJson(json).object();
    Client::ValueSet values;
    for (const Protocol::BlockField &field : Protocol::blockFields()) {
        Client::Value value;
        QString ignored;
        if (!Client::parseFieldValue(field, held.value(QLatin1String(field.key)).toString(), Client::Writer::SetAll,
                                     &value, &ignored))
            return std::nullopt;
        values.insert(value);
    }
    return values.appliedTo({});
}

} // namespace Line
