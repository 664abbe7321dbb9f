// A station's connection to the record, in a thread of its own: Qt SQL's
// calls block, and a call to a server behind a broken network can block for
// as long as the break lasts (its packets are taken up and never answered).
// Everything else stays on the event loop. Jobs go to the thread one at a
// time and their answers come back as events; a job that outlives its
// deadline has its connection cut under it, so that it fails at once and
// the next job connects again.
#pragma once

#include "recordaddress.h"

#include <QObject>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QEventLoop;
class QSqlDatabase;
class QSqlQuery;

namespace Line {

class RecordLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultDeadlineMs = 6000;

    struct Answer
    {
        bool ok = false;
        bool connectionLost = false;  // the job may or may not have been done
        QString error;
        QString sqlState;  // PostgreSQL's code for the error, where it gave one
        QVariantList values;  // of the job's own choosing
    };
    // Runs in the link's thread, on an open connection.
    using Job = std::function<Answer(QSqlDatabase &db)>;

    RecordLink(const RecordAddress &address, const QString &applicationName, QObject *parent = nullptr);
    // Cuts a job waiting on the network, drops the jobs not begun, and ends the thread.
    ~RecordLink() override;

    // done runs on this object's thread, once, unless the link is destroyed first.
    void post(Job job, std::function<void(const Answer &)> done, int deadlineMs = DefaultDeadlineMs);
    // From the next connection on, PostgreSQL's notifications on channel
    // wait in the link to be taken.
    void listen(const QString &channel);

    struct Notification
    {
        QString channel;
        QString payload;
    };
    // The notifications waiting, oldest first. They are gathered in the
    // link's thread, so that a flood of them (a line at full speed sends
    // hundreds a second) wakes this thread once until they are taken, not
    // once each: an event loop watching many sockets polls them all at
    // every wake.
    QList<Notification> takeNotifications();

signals:
    // The first notification since they were last taken has come.
    void notificationsWaiting();
    // A job outlived its deadline: the record is not answering (its
    // connection was cut, and the job's answer follows).
    void stalled();

private:
    class Worker;
    void cut();
    void deadlinePassed();

    // Not a QThread: joining this one waits for the thread's very end, the
    // destructors of its thread keys included (the TLS library frees its
    // state in one), where QThread::wait() returns before them. A process
    // that leaves while they still run frees that memory twice, or hangs.
    std::thread m_thread;
    // The thread's event loop and the worker, both living in that thread.
    QEventLoop *m_loop = nullptr;
    Worker *m_worker = nullptr;
    std::shared_ptr<std::atomic<qintptr>> m_socket;  // of the open connection, or -1
    std::shared_ptr<std::atomic<bool>> m_closing;
    struct Inbox
    {
        std::mutex mutex;
        QList<Notification> waiting;
        bool told = false;  // notificationsWaiting() sent since the last take
    };
    std::shared_ptr<Inbox> m_inbox;
};

// An answer from a failure: connectionLost when the connection is gone, or
// the server's code means an outage (meansOutage()).
RecordLink::Answer failedAnswer(QSqlDatabase &db, const QString &error, const QString &sqlState);
// The same for a failed query, where no code at all means no answer came.
RecordLink::Answer failedAnswer(QSqlDatabase &db, const QSqlQuery &query);
// A job done, with its values.
RecordLink::Answer doneAnswer(const QVariantList &values = {});

} // namespace Line
