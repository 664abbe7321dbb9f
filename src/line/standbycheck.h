// Whether the record's server keeps what it commits on a standby before it
// answers. A station writes a device only once its "writing" state is
// committed; after a failover to a standby that was behind, that state may
// be gone, and the row could be given to a second device.
#pragma once

#include <QString>

class QSqlDatabase;

namespace Line {

// Empty when the server has no standby, or its standbys are synchronous;
// else a warning for the person, one line. Nothing when it cannot tell.
QString standbyWarning(QSqlDatabase &db);

} // namespace Line
