// A station's journal: the verdicts it could not set down in the record,
// kept on the local disk until it can. Each is on the disk before its lane
// goes on, and the next contact with the record, in this run or the next,
// sets them down before anything else. One file per record, line and
// station, in the user's state folder, held by one run at a time.
//
// A line of JSON per verdict, and one per verdict set down since; a file
// whose every verdict is set down is emptied.
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
        Batch::Attempt attempt;
        QDateTime time;  // when the verdict came
    };

    // In the user's state folder (statefolder.h).
    static QString fileName(const QString &recordIdentity, const QString &line, const QString &station);

    // Opens and locks it, creating it and its folder where needed; reads
    // the verdicts not set down yet.
    bool open(const QString &fileName, QString *error);
    QString path() const { return m_file.fileName(); }
    const std::vector<Entry> &pending() const { return m_pending; }

    bool add(const Entry &entry, QString *error);
    // The record holds it now (or has no place for it: it is reported then).
    bool settle(const QString &token, QString *error);

private:
    bool write(const QByteArray &line, QString *error);

    Batch::DurableFile m_file;
    std::vector<Entry> m_pending;
    bool m_endsInLine = true;  // false after a line cut off by a crash
};

} // namespace Line
