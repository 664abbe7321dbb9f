// The language velmora-bench speaks, as chosen under View → Language and
// remembered for the bench PC: a locale name ("zh_CN", "en"), or empty for
// the system's. It takes effect when the bench starts.
#pragma once

#include "settings.h"

namespace Bench {

inline QString benchLanguage()
{
    return settings().value(QStringLiteral("language")).toString();
}

inline void setBenchLanguage(const QString &language)
{
    QSettings stored = settings();
    if (language.isEmpty())
        stored.remove(QStringLiteral("language"));
    else
        stored.setValue(QStringLiteral("language"), language);
}

} // namespace Bench
