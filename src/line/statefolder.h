// Where Velmora keeps what must outlive a run on this computer and is no
// setting: a station's journal. $XDG_STATE_HOME/velmora (~/.local/state/
// velmora); on Windows, Velmora\state under %LOCALAPPDATA%.
#pragma once

#include <QString>

namespace Line {

QString stateFolder();

} // namespace Line
