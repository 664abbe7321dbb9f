#include "stationplace.h"

#include "names.h"

namespace Line {

bool checkStationPlace(const QString &record, const QString &line, const std::optional<QString> &station,
                       StationPlace *place, QString *error)
{
    if (!place->address.parse(record, error) || !checkName(line, QStringLiteral("--line"), error)
        || !stationName(station, &place->station, error))
        return false;
    place->record = record;
    place->line = line;
    return true;
}

} // namespace Line
