// The names of lines and stations: letters, digits and . _ -, at most 64,
// beginning with a letter or a digit. They stand in messages, file names
// and the record's rows, and are checked before they reach any of them.
#pragma once

#include <QString>

#include <optional>

namespace Line {

constexpr int MaxNameCharacters = 64;

// False with why not, naming what (--line, --station) was given.
bool checkName(const QString &name, const QString &what, QString *error);

// The host name, as a station is named unless --station names it.
QString defaultStationName();

// The station's name: given (by --station), or else the host name; false
// with why it cannot be one.
bool stationName(const std::optional<QString> &given, QString *station, QString *error);

} // namespace Line
