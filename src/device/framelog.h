// Frames rendered for the simulated device's log, one short line each.
#pragma once

#include "protocol/frame.h"

#include <QByteArray>
#include <QString>

namespace FrameLog {

// "aa 05 00 c0 a8 00 65 0d 55"
QString hexBytes(const QByteArray &bytes);

// What an accepted frame asks for: "SET LIP 192.168.0.101", "SET PORT 8900",
// "SET ALL LIP:10.20.30.40 MASK:... GATE:...", "READ", "RESET".
// frame.command must be set.
QString describeCommand(const Protocol::DecodedFrame &frame);

} // namespace FrameLog
