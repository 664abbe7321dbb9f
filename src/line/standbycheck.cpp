#include "standbycheck.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>

namespace Line {

namespace {

// A line's record as a person is told of it, in their language.
struct RecordText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Record)
};

} // namespace

QString standbyWarning(QSqlDatabase &db)
{
    // sync_state is hidden from a role without pg_read_all_stats: the
    // settings tell then whether any standby can be synchronous.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT count(*), count(*) FILTER (WHERE sync_state IN ('sync', 'quorum')), "
            "count(*) FILTER (WHERE sync_state IS NOT NULL), current_setting('synchronous_standby_names'), "
            "current_setting('synchronous_commit') FROM pg_stat_replication"))
        || !query.next())
        return {};
    const int standbys = query.value(0).toInt();
    const int synchronous = query.value(1).toInt();
    const int seen = query.value(2).toInt();
    const QString names = query.value(3).toString().trimmed();
    const QString commit = query.value(4).toString();
    if (standbys == 0)
        return {};
    const bool settingsAllow = !names.isEmpty() && commit != QLatin1String("off") && commit != QLatin1String("local");
    if (settingsAllow && (seen < standbys || synchronous > 0))
        return {};
    // English says "1 standby" and "2 standbys"; %n would say "standby(s)".
    const QString servers = standbys == 1 ? RecordText::tr("1 standby") : RecordText::tr("%1 standbys").arg(standbys);
    return RecordText::tr("the record's server has %1 and no synchronous one: a failover may lose rows set "
                          "down as being written, and their rows could go to two devices; make one synchronous "
                          "(synchronous_standby_names, synchronous_commit = on; see docs/line.md)")
        .arg(servers);
}

} // namespace Line
