// What a station was told the record holds, checked against what it holds
// now. A failover to a standby that was behind loses commits the station
// has acted on: the "writing" state of a device already written, and
// perhaps its verdict. They are set down again where the row is still free
// for them; where another station has written the row meanwhile, the row
// is in doubt on both devices, and recorded so. Runs in the link's thread.
#pragma once

#include "journal.h"
#include "recordlink.h"

#include <optional>
#include <vector>

namespace Line {

// One claim's: its "writing" state, its verdict, or both.
struct WriteCheck
{
    std::optional<Journal::Entry> writing;
    std::optional<Journal::Entry> verdict;
    bool verdictSetDown = false;  // the record said it has the verdict
    QString token() const { return writing ? writing->token : verdict->token; }
    const Journal::Entry &entry() const { return writing ? *writing : *verdict; }
};

struct WriteChecked
{
    enum Outcome { Held, Restored, Doubt, Gone } outcome = Held;
    QString verdict;  // "yes" or "lost" where a verdict was set down
    QString otherStation, otherLane;  // Doubt: who the row was given to meanwhile
    QDateTime otherAt;
};

// A verdict set down: "yes", or "lost" where the row is no longer the claim's.
RecordLink::Answer sendVerdict(QSqlDatabase &db, const QString &token, const Batch::Attempt &attempt,
                               const QDateTime &time);

// Each check's outcome, in checks' order.
RecordLink::Answer checkWrites(QSqlDatabase &db, int lineId, const QString &station,
                               const std::vector<WriteCheck> &checks, std::vector<WriteChecked> *checked);

} // namespace Line
