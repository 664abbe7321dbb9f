#include "statefolder.h"

#include <QDir>
#include <QStandardPaths>

namespace Line {

QString stateFolder()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/Velmora/state");
#else
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    return (state.isEmpty() ? QDir::homePath() + QLatin1String("/.local/state") : state) + QLatin1String("/velmora");
#endif
}

} // namespace Line
