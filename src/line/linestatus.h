// line status: where a line stands. Rows by state, what each station and
// lane has done, the pace in devices a minute over the last minutes, the
// time that leaves, and the rows in doubt: set down as being written by a
// station that is gone, so that only its device can tell whether it holds
// the row (line resolve settles them).
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>

#include <vector>

namespace Line {

struct LineStatus
{
    QString line;
    int rows = 0;
    int free = 0, claimed = 0, writing = 0, ok = 0, failed = 0;
    int inDoubtCount() const { return int(inDoubt.size()); }

    struct Lane
    {
        QString station;
        QString lane;
        int ok = 0;
        int failed = 0;
        int writing = 0;
        bool live = false;  // its station's lease lasts
    };
    std::vector<Lane> lanes;

    struct Doubt
    {
        int row = 0;
        QString id;
        QString station;
        QString lane;
        QDateTime since;
    };
    std::vector<Doubt> inDoubt;

    double perMinute = 0;  // ok devices a minute, over the last minutes
    int left() const { return free + claimed + writing + failed - inDoubtCount(); }
    qint64 secondsLeft() const;  // -1 when there is no pace to tell by
};

bool readStatus(QSqlDatabase &db, int lineId, const QString &name, LineStatus *status, QString *error);

// As line status prints it, and as --json.
QString statusText(const LineStatus &status);
QJsonObject statusJson(const LineStatus &status);

} // namespace Line
