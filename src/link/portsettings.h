// Port mappings remembered between runs, in the user's configuration
// (~/.config/Velmora/velmora.conf on Linux, group [ports], COMn=DEVICE).
// Every program of Velmora reads the same file, so COM3 means the same
// device in all of them.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace PortSettings {

// COMn -> device path.
using Mappings = QMap<QString, QString>;

// At a program's start, before its own --port options: puts the saved
// mappings into PortMap. An entry that is not one is skipped with a line on
// stderr; nothing here stops the program.
void applySaved();

// The saved mappings; problems gets a line for each entry skipped.
Mappings load(QStringList *problems = nullptr);
// Adds the mappings to the saved ones, replacing those of the same ports.
// False if the file could not be written.
bool save(const Mappings &mappings);
// Removes every saved mapping. False if the file could not be written.
bool forget();

QString fileName();

} // namespace PortSettings
