// Where a station works: the record, the line of it and the station's own
// name, as --record, --line and --station give them (the station the host
// name unless given), each checked before anything is sent anywhere.
#pragma once

#include "recordaddress.h"

#include <optional>

namespace Line {

// --record-wait's longest: how long a station started with its record may
// wait for it to be reachable.
constexpr int MaxRecordWaitSeconds = 24 * 3600;

struct StationPlace
{
    QString record;  // as given, to be given again
    RecordAddress address;
    QString line;
    QString station;
};

// False with the first reason there is in *error, which never quotes a password.
bool checkStationPlace(const QString &record, const QString &line, const std::optional<QString> &station,
                       StationPlace *place, QString *error);

} // namespace Line
