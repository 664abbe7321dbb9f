#include "devicekey.h"

#include <QRegularExpression>

namespace Web {

QList<DeviceKey> deviceKeys(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    // A label's text: its words in order, each followed by its value; a
    // scanner that drops the line breaks runs a value into the next word.
    static const QRegularExpression label(
        QStringLiteral(R"(^ID\s*(.*?)\s*LIP\s*(\S*?)\s*MAC\s*(\S*?)\s*SN\s*(.*)$)"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = label.match(text);
    if (match.hasMatch()) {
        QList<DeviceKey> keys;
        const char *const fields[] = {"mac", "sn", "lip", "id"};
        const int groups[] = {3, 4, 2, 1};
        for (int i = 0; i < 4; ++i) {
            const QString value = match.captured(groups[i]).trimmed();
            if (!value.isEmpty())
                keys.push_back({QLatin1String(fields[i]), value});
        }
        return keys;
    }
    return {{QString(), text}};
}

} // namespace Web
