// Where velmora-bench keeps what it remembers: ~/.config/Velmora/velmora-bench.conf.
#pragma once

#include <QSettings>

namespace Bench {

inline QSettings settings()
{
    return QSettings(QStringLiteral("Velmora"), QStringLiteral("velmora-bench"));
}

} // namespace Bench
