// The rows of a plan that count up from its first row (velmora-cli plan).
// A value steps by one per row as a number of its bytes: an address's last
// octet carries into the octet before it (192.168.0.255, then 192.168.1.0),
// a MAC counts as one 48-bit number, sn, port, t1 and mode count up to their
// maximum. An id counts up the number it ends with. Fixed keys
// repeat the first row's value.
#pragma once

#include <QString>
#include <QStringList>

namespace Batch {

constexpr int MaxGeneratedRows = 100000;

// assignments are "key=value" for the set-all keys and id. On success the
// plan as CSV (a header line, then count rows, lines ended by '\n'); on
// failure false with one line in *error, and nothing in *csv.
bool generatePlan(const QStringList &assignments, const QStringList &fixedKeys, int count, QString *csv,
                  QString *error);

} // namespace Batch
