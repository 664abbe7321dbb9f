// What a device held after a write, as the record keeps it: a JSON object
// of every key of the block, written as the log writes values
// ({"lip": "10.0.0.5", "mac": "02:56:4d:00:00:01", ...}).
#pragma once

#include "protocol/parameterblock.h"

#include <QByteArray>

#include <optional>

namespace Line {

QByteArray blockJson(const Protocol::ParameterBlock &block);
// nullopt for an empty or unreadable object.
std::optional<Protocol::ParameterBlock> blockFromJson(const QByteArray &json);

} // namespace Line
