// A station's journal: each "writing" state the record committed, on the
// local disk before the device is written, and the verdicts the station
// could not set down in the record, kept until it can. Each is on the disk
// before its lane goes on; a "writing" state is settled once its verdict is
// in the record, and the next contact with the record, in this run or the
// next, checks what is left before anything else. One file per record,
// line and station, in the user's state folder, held by one run at a time.
//
// A line of JSON per entry, and one per claim settled since; a file with
// nothing left to settle is emptied. Files of verdicts only, as older
// versions wrote them, are read as they are.
#pragma once

#include "batch/durablefile.h"
#include "batch/record.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace Line {

class Journal
{
public:
    struct Entry
    {
        QString token;  // of the claim the verdict settles
        Batch::Attempt attempt;  // result Writing: the "writing" state, before the device is written
        QDateTime time;  // when the verdict came, or the "writing" state was committed
        QString station;  // empty in older files: the journal's own
        bool isVerdict() const { return attempt.result != Batch::Result::Writing; }
    };

    // In the user's state folder (statefolder.h).
    static QString fileName(const QString &recordIdentity, const QString &line, const QString &station);

    // Opens and locks it, creating it and its folder where needed; reads
    // what is not settled yet.
    bool open(const QString &fileName, QString *error);
    QString path() const { return m_file.fileName(); }
    const std::vector<Entry> &pending() const { return m_pending; }
    // The verdicts among them.
    int verdicts() const;

    bool add(const Entry &entry, QString *error);
    // The record holds the claim's verdict now (or has no place for it: it
    // is reported then): its entries are done with.
    bool settle(const QString &token, QString *error);

private:
    bool write(const QByteArray &line, QString *error);

    Batch::DurableFile m_file;
    std::vector<Entry> m_pending;
    bool m_endsInLine = true;  // false after a line cut off by a crash
};

} // namespace Line
