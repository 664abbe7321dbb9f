// The device --simulate connects COM1 to, for velmora and velmora-cli.
// Where there are pseudo-terminals it is a PtyDevice, which the program
// reaches over a real serial line as it reaches a device; on Windows, which
// has none, it is served in this program (SimulatedSerialPort) under the
// name InProcessName. VELMORA_SIMULATOR=in-process takes the in-process one
// on any system, which is how it is tried on Linux.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace BuiltInSimulator {

// What COM1 leads to when the device is served in-process: "COM1 (simulated device)".
QString inProcessName();

// Whether simulated devices are served in this program here rather than
// on pseudo-terminals.
bool inProcess();

// A device of its own, served in this program under name (a port made for
// name reaches it) for as long as what is returned lives.
std::unique_ptr<QObject> serve(const QString &name);

// Starts the device and maps COM1 to it; it runs as long as what is
// returned lives. Null, with the reason in *error, if it cannot start.
std::unique_ptr<QObject> start(QString *error);

} // namespace BuiltInSimulator
