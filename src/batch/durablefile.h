// A file that is only ever appended to, by this program alone, where what
// append() returned from is on the disk: the record of a batch, a journal.
// Everything that differs between systems (locks, flushing to the disk,
// reserving room, telling that the file was replaced) is here, one unit per
// system, so that what is written and why reads the same on all of them.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace Batch {

class DurableFile
{
public:
    enum class Opened { Yes, InUse, Failed };

    DurableFile();
    ~DurableFile();
    DurableFile(const DurableFile &) = delete;
    DurableFile &operator=(const DurableFile &) = delete;

    // Opens for appending, creating the file, and locks it for this program:
    // InUse when another program (or another object here) holds it.
    Opened open(const QString &fileName, QString *error);
    QString fileName() const { return m_file.fileName(); }
    // What the file held when it was opened.
    QByteArray readAll(QString *error) const;
    // A file just created: its name is on the disk too once this returns.
    void syncFolder() const;

    // Whether the file at the name is still the one this object writes, as
    // long as this object left it; false with why not (deleted, replaced,
    // cut short, written by another program).
    bool isUnchanged(QString *why) const;
    // Takes the disk space for the next bytes now, without making the file
    // longer; where the file system cannot, the write itself will tell.
    bool reserve(qint64 bytes, QString *error);
    // Writes the bytes and waits until they are on the disk. On failure
    // returns false with the system's reason; *written says how many of
    // them reached the file all the same.
    bool append(const QByteArray &bytes, qsizetype *written, QString *error);
    qint64 size() const { return m_size; }
    // Empties the file, on the disk when this returns.
    bool truncate(QString *error);

private:
    QFile m_file;
    qint64 m_size = 0;  // as this object left it
    // Which file it is, where the system can tell.
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

} // namespace Batch
