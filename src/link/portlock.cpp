#include "portlock.h"

#include "phrases.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#endif

namespace PortLock {

namespace {

#ifdef Q_OS_UNIX
// Where the serial library keeps the lock file of the port at path: LCK..
// and the path below /dev/ with '/' as '_', in the first of its lock
// folders that has it; empty where none has.
QString libraryLockFile(const QString &path)
{
    const QString name = QStringLiteral("LCK..")
                         + QString(path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path)
                               .replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                               "/var/lock/lockdev", "/run/lock"}) {
        const QString file = QLatin1String(folder) + QLatin1Char('/') + name;
        if (QFileInfo::exists(file))
            return file;
    }
    return QString();
}
#endif

} // namespace

bool Identity::sameDevice(const Identity &other) const
{
    if (deviceNumber != 0 || other.deviceNumber != 0)
        return deviceNumber == other.deviceNumber;
    return canonicalPath == other.canonicalPath;
}

Identity identify(const QString &path)
{
    Identity identity;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    identity.canonicalPath = canonical.isEmpty() ? path : canonical;
#ifdef Q_OS_UNIX
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISCHR(status.st_mode))
        identity.deviceNumber = quint64(status.st_rdev);
#endif
    return identity;
}

bool claim(int descriptor, const QString &path, QString *error)
{
#ifdef Q_OS_UNIX
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        *error = inUse(path);
        return false;
    }
#ifdef TIOCEXCL
    // Keeps out programs that take no lock at all (root passes it anyway).
    ::ioctl(descriptor, TIOCEXCL);
#endif
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(path);
    Q_UNUSED(error);
#endif
    return true;
}

QString flockHolder(const QString &path)
{
#ifdef Q_OS_LINUX
    // /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 00:19:5 0 EOF", the file
    // as the major:minor (hex) of its file system and its inode.
    struct stat status{};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && locks.open(QIODevice::ReadOnly)) {
        const QByteArray file = QByteArray::number(major(status.st_dev), 16).rightJustified(2, '0') + ':'
                                + QByteArray::number(minor(status.st_dev), 16).rightJustified(2, '0') + ':'
                                + QByteArray::number(quint64(status.st_ino));
        for (const QByteArray &line : locks.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 6 || fields.at(1) != "FLOCK" || fields.at(5) != file)
                continue;
            const QByteArray pid = fields.at(4);
            QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
            const QByteArray name = comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
            return name.isEmpty() ? QStringLiteral("pid %1").arg(QString::fromLatin1(pid))
                                  : QStringLiteral("%1 (pid %2)").arg(QString::fromLocal8Bit(name), QString::fromLatin1(pid));
        }
    }
#else
    Q_UNUSED(path);
#endif
    return {};
}

QString holderOf(const QString &path)
{
    if (const QString holder = flockHolder(path); !holder.isEmpty())
        return holder;
#ifdef Q_OS_UNIX
    // The serial library's own lock file, by the name the port was opened under.
    qint64 pid = 0;
    QString host;
    QString application;
    // A lock file whose process has gone is stale: the library takes it over.
    if (const QString file = libraryLockFile(path);
        !file.isEmpty() && QLockFile(file).getLockInfo(&pid, &host, &application)
        && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
        return application.isEmpty() ? QStringLiteral("pid %1").arg(pid)
                                     : QStringLiteral("%1 (pid %2)").arg(application).arg(pid);
#else
    Q_UNUSED(path);
#endif
    return Phrases::kept(Phrases::Phrase::AnotherProgram);
}

void clearOrphanedLock(const QString &path)
{
#ifdef Q_OS_UNIX
    const QString file = libraryLockFile(path);
    if (file.isEmpty())
        return;
    // The library creates a lock file, locks it with flock and then writes
    // its pid. A file with no pid whose flock nobody holds was left by a
    // program killed in between; the library would refuse the port for 30 s.
    // So would it for the ".rmlock" beside it, which a program taking over a
    // stale lock file holds while it removes it, left empty by one killed
    // then. removeStaleLockFile() unlinks a file only while it can take its
    // flock.
    for (const QString &lock : {file + QLatin1String(".rmlock"), file}) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (QFileInfo::exists(lock) && !QLockFile(lock).getLockInfo(&pid, &host, &application))
            QLockFile(lock).removeStaleLockFile();
    }
#else
    Q_UNUSED(path);
#endif
}

QString inUse(const QString &path)
{
    return Phrases::kept(Phrases::Phrase::InUseBy).arg(holderOf(path));
}

} // namespace PortLock
