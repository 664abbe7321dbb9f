// The record's tables, functions and grants in the schema "velmora", and
// their version. line init makes them, and brings a record made by an
// earlier version up to this one; every program refuses a record of a newer
// version than its own, which it might misread.
//
// Who may do what is the database's to enforce, not the programs':
// - velmora_station may read, and change rows only through the functions
//   that claim a row, set down "writing" and a verdict, and renew its lease:
//   it can neither delete nor rewrite a row, nor make one ok twice;
// - velmora_planner may load lines and settle rows in doubt as well;
// - velmora_viewer may only read (velmora-web connects as one);
// - the one who runs line init owns it all.
// Roles are granted these as usual: GRANT velmora_station TO bench3;
#pragma once

#include <QString>

class QSqlDatabase;

namespace Line {

constexpr int SchemaVersion = 4;

// 0 where there is no record yet; -1 with the reason where it cannot be read.
int schemaVersion(QSqlDatabase &db, QString *error);
// Makes or migrates the schema in one transaction; true with what it did in
// *done, false with why not. Refuses a newer version (*newer set). upTo
// stops at an earlier version, for testing the migrations after it.
bool initSchema(QSqlDatabase &db, QString *done, QString *error, bool *newer, int upTo = SchemaVersion);
// The message for a record this program must not touch.
QString newerSchemaMessage(int version);

} // namespace Line
