#include "durablefile.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Batch {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
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
    // Advisory, and on the open file: held until it is closed, also by a
    // program that is killed.
    if (::flock(m_file.handle(), LOCK_EX | LOCK_NB) != 0) {
        m_file.close();
        return Opened::InUse;
    }
    struct stat held = {};
    if (::fstat(m_file.handle(), &held) != 0) {
        *error = systemError();
        return Opened::Failed;
    }
    m_device = quint64(held.st_dev);
    m_inode = quint64(held.st_ino);
    m_size = qint64(held.st_size);
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
    const int folder = ::open(QFile::encodeName(QFileInfo(m_file.fileName()).absolutePath()).constData(),
                              O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

bool DurableFile::isUnchanged(QString *why) const
{
    struct stat held = {};
    struct stat named = {};
    if (::fstat(m_file.handle(), &held) != 0) {
        *why = systemError();
        return false;
    }
    if (::stat(QFile::encodeName(m_file.fileName()).constData(), &named) != 0) {
        *why = errno == ENOENT ? QCoreApplication::translate("Batch::DurableFile", "it was deleted while in use, and what it recorded with it")
                               : systemError();
        return false;
    }
    if (quint64(named.st_dev) != m_device || quint64(named.st_ino) != m_inode) {
        *why = QCoreApplication::translate("Batch::DurableFile", "another file took its name while in use");
        return false;
    }
    if (qint64(held.st_size) != m_size) {
        *why = held.st_size < m_size ? QCoreApplication::translate("Batch::DurableFile", "it was cut short while in use, from %1 to %2 bytes")
                                           .arg(m_size).arg(qint64(held.st_size))
                                     : QCoreApplication::translate("Batch::DurableFile", "another program wrote to it while in use, from %1 to %2 bytes")
                                           .arg(m_size).arg(qint64(held.st_size));
        return false;
    }
    return true;
}

bool DurableFile::reserve(qint64 bytes, QString *error)
{
#ifdef FALLOC_FL_KEEP_SIZE
    if (::fallocate(m_file.handle(), FALLOC_FL_KEEP_SIZE, m_size, bytes) != 0 && errno != EOPNOTSUPP
        && errno != ENOSYS) {
        *error = systemError();
        return false;
    }
#else
    Q_UNUSED(bytes);
    Q_UNUSED(error);
#endif
    return true;
}

bool DurableFile::append(const QByteArray &bytes, qsizetype *written, QString *error)
{
    // Straight to the descriptor, so that a full disk says so (a short
    // write is tried again for the rest, which then fails with the reason).
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_file.handle(), data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = n < 0 ? systemError() : QCoreApplication::translate("Batch::DurableFile", "nothing could be written");
            break;
        }
        data += n;
        left -= n;
    }
    *written = bytes.size() - left;
    struct stat held = {};
    m_size = ::fstat(m_file.handle(), &held) == 0 ? qint64(held.st_size) : m_size + *written;
    if (left > 0)
        return false;
    if (::fsync(m_file.handle()) != 0) {
        *error = systemError();
        return false;
    }
    return true;
}

bool DurableFile::truncate(QString *error)
{
    if (::ftruncate(m_file.handle(), 0) != 0 || ::fsync(m_file.handle()) != 0) {
        *error = systemError();
        return false;
    }
    m_size = 0;
    return true;
}

} // namespace Batch
