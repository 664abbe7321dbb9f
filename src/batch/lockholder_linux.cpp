#include "lockholder.h"

#include <QFile>

#include <sys/sysmacros.h>
#include <unistd.h>

namespace LockHolder {

QString describe(quint64 device, quint64 inode)
{
    // "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234567 0 EOF", the device in hex.
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return {};
    const QByteArray file = QStringLiteral("%1:%2:%3")
                                .arg(major(dev_t(device)), 2, 16, QLatin1Char('0'))
                                .arg(minor(dev_t(device)), 2, 16, QLatin1Char('0'))
                                .arg(inode)
                                .toLatin1();
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(5) != file || fields.at(1) == "->")
            continue;
        const qint64 pid = fields.at(4).toLongLong();
        if (pid <= 0 || pid == ::getpid())
            continue;
        QFile name(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString program = name.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(name.readAll().trimmed()) : QString();
        return program.isEmpty() ? QStringLiteral("process %1").arg(pid) : QStringLiteral("%1 (process %2)").arg(program).arg(pid);
    }
    return {};
}

} // namespace LockHolder
