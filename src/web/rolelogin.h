// A person's login to velmora-web with their PostgreSQL role and password,
// checked by connecting to the record as that role: the server keeps no
// list of users or passwords of its own. The password is handed to libpq
// for that one connection (never ~/.pgpass, never the server's own).
#pragma once

#include "line/recordaddress.h"

#include <QString>

namespace Web {

struct RoleLogin
{
    bool ok = false;
    bool planner = false;     // a member of velmora_planner: may settle rows
    bool unreachable = false; // the record could not be asked: not the person's fault
    QString error;
    QString connection;       // a planner's open connection's name, kept for settling
};

// With keepIfPlanner, a planner's connection stays open under a new name.
RoleLogin loginAs(const Line::RecordAddress &address, const QString &role, const QString &password,
                  bool keepIfPlanner);

} // namespace Web
