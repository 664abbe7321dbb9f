#include "names.h"

#include "client/values.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>

namespace Line {

namespace {

// What is wrong with a name, in its reader's language.
struct NamesText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Names)
};

} // namespace

bool checkName(const QString &name, const QString &what, QString *error)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$"));
    if (valid.match(name).hasMatch())
        return true;
    *error = NamesText::tr("%1 %2: a name is 1 to %3 letters, digits and . _ -, beginning with a letter or a digit")
                 .arg(what, Client::shown(name.isEmpty() ? QStringLiteral("\"\"") : name))
                 .arg(MaxNameCharacters);
    return false;
}

QString defaultStationName()
{
    return QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
}

bool stationName(const std::optional<QString> &given, QString *station, QString *error)
{
    if (given) {
        *station = *given;
        return checkName(*given, QStringLiteral("--station"), error);
    }
    *station = defaultStationName();
    if (checkName(*station, NamesText::tr("station (the host name)"), error))
        return true;
    *error += NamesText::tr("; give --station NAME");
    return false;
}

} // namespace Line
