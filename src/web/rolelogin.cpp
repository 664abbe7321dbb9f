#include "rolelogin.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace Web {

RoleLogin loginAs(const Line::RecordAddress &address, const QString &role, const QString &password,
                  bool keepIfPlanner)
{
    RoleLogin login;
    // A role's name as PostgreSQL makes it without quotes; nothing to quote
    // in the connection string. An empty password would let libpq look for
    // another one.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]{0,62}$"));
    if (!plainName.match(role).hasMatch() || password.isEmpty()) {
        login.error = QCoreApplication::translate("Web", "wrong role or password");
        return login;
    }
    const QString name = QStringLiteral("velmora-web-login-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool keep = false;
    {
        QSqlDatabase db = address.connection(name, QStringLiteral("velmora-web"));
        // Later keywords win: this role, and no password file.
        db.setConnectOptions(db.connectOptions() + QStringLiteral(";user=") + role
                             + QStringLiteral(";passfile=/dev/null"));
        db.setPassword(password);
        if (!db.open()) {
            const QString reason = db.lastError().databaseText();
            // libpq says which: a refused password, or a server out of reach.
            login.unreachable = !reason.contains(QLatin1String("password"))
                                && !reason.contains(QLatin1String("role"))
                                && !reason.contains(QLatin1String("authentication"));
            login.error = login.unreachable ? QCoreApplication::translate("Web", "the record cannot be reached")
                                            : QCoreApplication::translate("Web", "wrong role or password");
        } else {
            db.setPassword(QString());
            QSqlQuery query(db);
            if (query.exec(QStringLiteral(
                    "SELECT pg_has_role(session_user, 'velmora_planner', 'MEMBER'), "
                    "pg_has_role(session_user, 'velmora_viewer', 'MEMBER') "
                    "OR pg_has_role(session_user, 'velmora_station', 'MEMBER')"))
                && query.next()) {
                login.planner = query.value(0).toBool();
                login.ok = login.planner || query.value(1).toBool();
                if (!login.ok)
                    login.error = QCoreApplication::translate("Web", "%1 is not a role of this record").arg(role);
            } else {
                login.error = query.lastError().text();
            }
            keep = login.ok && login.planner && keepIfPlanner;
            if (!keep)
                db.close();
        }
    }
    if (keep)
        login.connection = name;
    else
        QSqlDatabase::removeDatabase(name);
    return login;
}

} // namespace Web
