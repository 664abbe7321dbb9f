// line status: where a line stands. Rows by state, what each station and
// lane has done, the pace in devices a minute over the last minutes, the
// time that leaves, and the rows in doubt: set down as being written by a
// station that is gone, so that only its device can tell whether it holds
// the row, or written on two devices, the record having lost the first
// writing in a failover (line resolve settles them).
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
    int inDoubtCount() const;  // rows, however many entries each has

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
        // On two devices: the station the record gave the row to after
        // losing this one's writing.
        QString otherStation;
        QString otherLane;
        QDateTime otherSince;
        bool onTwoDevices() const { return otherSince.isValid(); }
    };
    std::vector<Doubt> inDoubt;
    // Rows in doubt among those being written (by a station that is gone),
    // and among those failed (their device may hold them all the same).
    int writingInDoubt = 0, failedInDoubt = 0;

    double perMinute = 0;  // ok devices a minute, over the last minutes
    int left() const { return free + claimed + writing + failed - writingInDoubt - failedInDoubt; }
    qint64 secondsLeft() const;  // -1 when there is no pace to tell by
};

bool readStatus(QSqlDatabase &db, int lineId, const QString &name, LineStatus *status, QString *error);

// Ok devices a minute: okCount of them over the last PaceWindowSeconds, the
// first of them secondsSinceFirst ago (a line or station that began in the
// window is not taken as idle for the rest of it).
constexpr int PaceWindowSeconds = 300;
double pace(int okCount, double secondsSinceFirst);

// As line status prints it, and as --json.
QString statusText(const LineStatus &status);
QJsonObject statusJson(const LineStatus &status);

} // namespace Line
