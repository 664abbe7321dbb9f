// A plan: one row per device, each with the values it is to get. Read from a
// CSV file whose first line names the columns: the set-all keys, and "id"
// for a name of the device. The whole plan is checked before any device is
// touched, and every error names the file, the line and the column.
#pragma once

#include "client/values.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace Batch {

struct PlanRow
{
    int number = 0;  // counted from 1, in the order of the file
    int line = 0;    // where it starts in the file
    QString id;
    Client::ValueSet values;  // one per key of the plan
};

struct Plan
{
    std::vector<const Protocol::BlockField *> fields;  // the plan's keys, in block order
    std::vector<PlanRow> rows;

    int size() const { return int(rows.size()); }
    const PlanRow &row(int number) const { return rows.at(size_t(number - 1)); }
    // "row 12 (A-12)", or "row 12" for a row without an id.
    QString rowName(int number) const;
    // "device 3 of 50 (id A-3)": the device a row is for, as a lane asks for it.
    QString deviceName(int number) const;
};

struct PlanChecks
{
    bool allowDuplicates = false;    // the same lip, mac or sn in two rows
    bool allowOddAddresses = false;  // a network or broadcast lip, a gateway elsewhere, a mask with gaps
};

constexpr int MaxErrors = 20;
// An id is a name for a label, not a place for data.
constexpr int MaxIdCharacters = 64;

// On failure returns false with every error found, "FILE:LINE:COLUMN: ..."
// (up to maxErrors of them, then one line that says how many more).
bool readPlan(const QByteArray &bytes, const QString &fileName, const PlanChecks &checks, Plan *plan,
              QStringList *errors, int maxErrors = MaxErrors);

} // namespace Batch
