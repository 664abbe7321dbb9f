#include "slaveusers.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

SlaveUsers::SlaveUsers(QObject *parent) : QObject(parent) {}

SlaveUsers::~SlaveUsers()
{
    m_notifier.reset();
#ifdef Q_OS_LINUX
    if (m_descriptor >= 0)
        ::close(m_descriptor);
#endif
}

bool SlaveUsers::watch(const QString &path)
{
#ifdef Q_OS_LINUX
    struct stat node{};
    if (::stat(QFile::encodeName(path).constData(), &node) != 0 || !S_ISCHR(node.st_mode))
        return false;
    m_device = quint64(node.st_rdev);
    // Closes of the device node, by any name and by any process; a process's
    // descriptors are closed when it dies, so a kill is seen too.
    m_descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_descriptor < 0)
        return false;
    if (::inotify_add_watch(m_descriptor, QFile::encodeName(path).constData(), IN_CLOSE) < 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SlaveUsers::readEvents);
    return true;
#else
    Q_UNUSED(path);
    return false;
#endif
}

void SlaveUsers::readEvents()
{
#ifdef Q_OS_LINUX
    // The events say that a descriptor closed, not how many are left (like
    // ones are merged): the processes' descriptors tell that.
    alignas(inotify_event) char buffer[4096];
    bool closed = false;
    while (::read(m_descriptor, buffer, sizeof buffer) > 0)
        closed = true;
    if (closed && openCount() <= 1)
        emit lastClosed();
#endif
}

int SlaveUsers::openCount() const
{
    int count = 0;
#ifdef Q_OS_LINUX
    // Every descriptor of every process this user may look into; processes
    // of others are not seen, and their use of the line is not guarded.
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &process : processes) {
        const QString folder = QStringLiteral("/proc/%1/fd").arg(process);
        for (const QString &descriptor : QDir(folder).entryList(QDir::Files | QDir::System)) {
            struct stat node{};
            const QByteArray file = QFile::encodeName(folder + QLatin1Char('/') + descriptor);
            count += ::stat(file.constData(), &node) == 0 && S_ISCHR(node.st_mode) && quint64(node.st_rdev) == m_device;
        }
    }
#endif
    return count;
}
