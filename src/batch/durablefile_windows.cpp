#include "durablefile.h"

#include <QCoreApplication>

#include <io.h>
#include <windows.h>

namespace Batch {

namespace {

HANDLE nativeHandle(const QFile &file)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
}

} // namespace

DurableFile::DurableFile() = default;
DurableFile::~DurableFile() = default;

DurableFile::Opened DurableFile::open(const QString &fileName, QString *error)
{
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::Append | QIODevice::Unbuffered)) {
        *error = m_file.errorString();
        return Opened::Failed;
    }
    // Windows locks are mandatory, so the lock is on a byte far past the end
    // of any file: reading and appending stay free, a second lock fails.
    OVERLAPPED farPastTheEnd = {};
    farPastTheEnd.Offset = 0xFFFFFFFE;
    farPastTheEnd.OffsetHigh = 0x7FFFFFFF;
    if (!::LockFileEx(nativeHandle(m_file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &farPastTheEnd)) {
        m_file.close();
        return Opened::InUse;
    }
    m_size = m_file.size();
    return Opened::Yes;
}

QByteArray DurableFile::readAll(QString *error) const
{
    QFile reader(m_file.fileName());
    if (!reader.open(QIODevice::ReadOnly)) {
        *error = reader.errorString();
        return {};
    }
    return reader.read(m_size);
}

void DurableFile::syncFolder() const
{
    // NTFS puts a new file's name on the disk with the file's own metadata.
}

bool DurableFile::isUnchanged(QString *why) const
{
    // Open here, the file can be neither deleted nor renamed (it is not
    // shared for deleting); only its length can change behind our back.
    LARGE_INTEGER length = {};
    if (!::GetFileSizeEx(nativeHandle(m_file), &length)) {
        *why = qt_error_string();
        return false;
    }
    if (length.QuadPart != m_size) {
        *why = length.QuadPart < m_size
                   ? QCoreApplication::translate("Batch::DurableFile", "it was cut short while in use, from %1 to %2 bytes").arg(m_size).arg(length.QuadPart)
                   : QCoreApplication::translate("Batch::DurableFile", "another program wrote to it while in use, from %1 to %2 bytes")
                         .arg(m_size).arg(length.QuadPart);
        return false;
    }
    return true;
}

bool DurableFile::reserve(qint64, QString *)
{
    // No room is taken ahead here; a full disk fails the write itself.
    return true;
}

bool DurableFile::append(const QByteArray &bytes, qsizetype *written, QString *error)
{
    const qint64 n = m_file.write(bytes);
    *written = n > 0 ? qsizetype(n) : 0;
    m_size += *written;
    if (n != bytes.size()) {
        *error = m_file.errorString();
        return false;
    }
    if (!::FlushFileBuffers(nativeHandle(m_file))) {
        *error = qt_error_string();
        return false;
    }
    return true;
}

bool DurableFile::truncate(QString *error)
{
    if (!m_file.resize(0) || !::FlushFileBuffers(nativeHandle(m_file))) {
        *error = m_file.errorString();
        return false;
    }
    m_size = 0;
    return true;
}

} // namespace Batch
