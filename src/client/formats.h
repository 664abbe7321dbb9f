// What velmora-cli read prints: the window's report, JSON, or a profile
// (profile.h).
#pragma once

#include "protocol/parameterblock.h"

#include <QByteArray>
#include <QString>

namespace Client {

// The window's nine-line report, each line ended by '\n'.
QString reportText(const Protocol::ParameterBlock &block);

// The report's values as one JSON object on one line: addresses and the MAC
// as strings ("00:1e:ce:00:79:01"), the rest as numbers.
QByteArray jsonText(const Protocol::ParameterBlock &block);

} // namespace Client
