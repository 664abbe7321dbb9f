// Tells when the last program that opened a pseudo-terminal's slave has
// closed it, whether it closed it itself or was killed.
//
// The simulated device holds its slave open, so its line outlives every
// program that uses it, and so does the exclusive mode (TIOCEXCL) the serial
// library sets on opening: a program killed before it could clear it would
// keep every later one out, as only root passes it. A serial device's line
// drops that mode with its last user; the simulated one does so on
// lastClosed().
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

class SlaveUsers : public QObject
{
    Q_OBJECT

public:
    explicit SlaveUsers(QObject *parent = nullptr);
    ~SlaveUsers() override;

    // Watches the slave at path, which this process holds open once itself;
    // false where this system cannot tell (lastClosed() then never comes).
    bool watch(const QString &path);

signals:
    void lastClosed();

private:
    void readEvents();
    int openCount() const;

    int m_descriptor = -1;
    quint64 m_device = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
