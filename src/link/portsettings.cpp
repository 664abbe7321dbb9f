#include "portsettings.h"

#include "portmap.h"

#include <QCoreApplication>
#include <QSettings>

#include <cstdio>

namespace PortSettings {

namespace {

const QString Group = QStringLiteral("ports");

// Named here, not taken from the application: velmora and velmora-cli share it.
QSettings openSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmora"),
                     QStringLiteral("velmora"));
}

// Why a saved entry is not a mapping; empty if it is one.
QString entryProblem(const QString &comName, const QVariant &value)
{
    if (PortMap::portNumber(comName) == 0)
        return QStringLiteral("not a port of the list, COM%1 to COM%2")
            .arg(PortMap::FirstPort).arg(PortMap::LastPort);
    // A hand-written "a, b" reads back as a list, whose toString() is empty.
    if (value.toString().isEmpty())
        return QStringLiteral("expected one device path");
    return QString();
}

bool written(QSettings &settings)
{
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

void applySaved()
{
    QStringList problems;
    const Mappings saved = load(&problems);
    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        PortMap::setSavedDevice(it.key(), it.value());
    for (const QString &problem : problems) {
        const QString line = QCoreApplication::applicationName() + QLatin1String(": ") + problem;
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    }
}

Mappings load(QStringList *problems)
{
    QSettings settings = openSettings();
    settings.beginGroup(Group);
    Mappings result;
    for (const QString &comName : settings.childKeys()) {
        const QVariant value = settings.value(comName);
        const QString problem = entryProblem(comName, value);
        if (problem.isEmpty())
            result.insert(comName, value.toString());
        else if (problems)
            *problems << QStringLiteral("%1: ignoring the saved port mapping %2=%3: %4")
                             .arg(settings.fileName(), comName,
                                  value.toStringList().join(QLatin1String(", ")), problem);
    }
    return result;
}

bool save(const Mappings &mappings)
{
    QSettings settings = openSettings();
    settings.beginGroup(Group);
    for (auto it = mappings.cbegin(); it != mappings.cend(); ++it)
        settings.setValue(it.key(), it.value());
    return written(settings);
}

bool forget()
{
    QSettings settings = openSettings();
    settings.remove(Group);
    return written(settings);
}

QString fileName()
{
    return openSettings().fileName();
}

} // namespace PortSettings
