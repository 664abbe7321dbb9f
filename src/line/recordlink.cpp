#include "recordlink.h"

#include "pghandle.h"
#include "socketcut.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QUuid>

#include <libpq-fe.h>

#include <future>
#include <tuple>
#include <utility>

namespace Line {

namespace {

RecordLink::Answer failed(QSqlDatabase &db, const QString &error, const QString &sqlState, bool outage)
{
    RecordLink::Answer answer;
    answer.error = error.simplified();
    answer.sqlState = sqlState;
    PGconn *connection = pgConnection(db);
    answer.connectionLost = outage || !db.isOpen() || !connection || PQstatus(connection) != CONNECTION_OK;
    return answer;
}

} // namespace

RecordLink::Answer failedAnswer(QSqlDatabase &db, const QString &error, const QString &sqlState)
{
    return failed(db, error, sqlState, !sqlState.isEmpty() && meansOutage(sqlState));
}

RecordLink::Answer failedAnswer(QSqlDatabase &db, const QSqlQuery &query)
{
    // A statement the server never answered fails with no code of the
    // server's, whatever the driver says of it ("Unable to prepare
    // statement"), and the connection may still look good to libpq.
    const QString sqlState = query.lastError().nativeErrorCode();
    return failed(db, query.lastError().text(), sqlState, meansOutage(sqlState));
}

RecordLink::Answer doneAnswer(const QVariantList &values)
{
    RecordLink::Answer answer;
    answer.ok = true;
    answer.values = values;
    return answer;
}

// Lives in the link's thread, and owns the connection there.
class RecordLink::Worker : public QObject
{
public:
    Worker(const RecordAddress &address, const QString &applicationName,
           std::shared_ptr<std::atomic<qintptr>> socket, std::shared_ptr<std::atomic<bool>> closing)
        : m_address(address), m_applicationName(applicationName),
          m_name(QStringLiteral("velmora-link-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
          m_socket(std::move(socket)), m_closing(std::move(closing))
    {
    }

    Answer run(const Job &job)
    {
        if (m_closing->load())
            return {false, false, QStringLiteral("closing"), {}, {}};
        if (!m_db.isOpen() && !connect()) {
            Answer answer;
            answer.connectionLost = true;
            answer.error = m_error;
            return answer;
        }
        Answer answer = job(m_db);
        if (!answer.ok && answer.connectionLost)
            disconnect();
        return answer;
    }

    void listen(const QString &channel)
    {
        m_channels << channel;
        if (m_db.isOpen())
            m_db.driver()->subscribeToNotification(channel);
    }

    void close()
    {
        disconnect();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }

    std::function<void(const QString &, const QString &)> notified;

private:
    bool connect()
    {
        if (!m_db.isValid()) {
            m_db = m_address.connection(m_name, m_applicationName);
            // The driver lives as long as the database, through every reconnection.
            QObject::connect(m_db.driver(), &QSqlDriver::notification, this,
                             [this](const QString &name, QSqlDriver::NotificationSource, const QVariant &payload) {
                                 if (notified)
                                     notified(name, payload.toString());
                             });
        }
        if (!m_db.open()) {
            m_error = m_db.lastError().databaseText().simplified();
            if (m_error.isEmpty())
                m_error = m_db.lastError().text().simplified();
            return false;
        }
        quietNotices(m_db);
        if (PGconn *connection = pgConnection(m_db))
            m_socket->store(PQsocket(connection));
        for (const QString &channel : std::as_const(m_channels))
            m_db.driver()->subscribeToNotification(channel);
        return true;
    }

    void disconnect()
    {
        m_socket->store(-1);
        if (m_db.isValid())
            m_db.close();
    }

    const RecordAddress m_address;
    const QString m_applicationName;
    const QString m_name;
    std::shared_ptr<std::atomic<qintptr>> m_socket;
    std::shared_ptr<std::atomic<bool>> m_closing;
    QSqlDatabase m_db;
    QString m_error;
    QStringList m_channels;
};

RecordLink::RecordLink(const RecordAddress &address, const QString &applicationName, QObject *parent)
    : QObject(parent), m_socket(std::make_shared<std::atomic<qintptr>>(-1)),
      m_closing(std::make_shared<std::atomic<bool>>(false)), m_inbox(std::make_shared<Inbox>())
{
    quietDriverWarnings();
    auto forward = [this, inbox = m_inbox](const QString &channel, const QString &payload) {
        std::lock_guard<std::mutex> lock(inbox->mutex);
        inbox->waiting.push_back({channel, payload});
        if (!std::exchange(inbox->told, true))
            QMetaObject::invokeMethod(this, &RecordLink::notificationsWaiting, Qt::QueuedConnection);
    };
    std::promise<std::pair<QEventLoop *, Worker *>> started;
    std::future<std::pair<QEventLoop *, Worker *>> ready = started.get_future();
    m_thread = std::thread([&started, address, applicationName, forward, socket = m_socket, closing = m_closing] {
        QEventLoop loop;
        Worker worker(address, applicationName, socket, closing);
        worker.notified = forward;
        started.set_value({&loop, &worker});
        loop.exec();
    });
    std::tie(m_loop, m_worker) = ready.get();
}

RecordLink::~RecordLink()
{
    m_closing->store(true);
    cut();
    QMetaObject::invokeMethod(m_loop, [loop = m_loop, worker = m_worker] {
        worker->close();
        loop->quit();
    }, Qt::QueuedConnection);
    m_thread.join();
}

void RecordLink::cut()
{
    const qintptr socket = m_socket->load();
    if (socket >= 0)
        cutSocket(socket);
}

void RecordLink::deadlinePassed()
{
    cut();
    emit stalled();
}

void RecordLink::post(Job job, std::function<void(const Answer &)> done, int deadlineMs)
{
    // Started when the job begins: it cuts the connection if the job still
    // waits then, and the answer comes all the same. Only this thread
    // touches it; the worker passes the pointer on.
    auto *deadline = new QTimer(this);
    deadline->setSingleShot(true);
    deadline->setInterval(deadlineMs);
    connect(deadline, &QTimer::timeout, this, &RecordLink::deadlinePassed);
    QMetaObject::invokeMethod(m_worker, [this, worker = m_worker, job = std::move(job), done = std::move(done), deadline] {
        QMetaObject::invokeMethod(this, [deadline] { deadline->start(); }, Qt::QueuedConnection);
        Answer answer = worker->run(job);
        QMetaObject::invokeMethod(this, [done, answer = std::move(answer), deadline] {
            delete deadline;
            done(answer);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

QList<RecordLink::Notification> RecordLink::takeNotifications()
{
    std::lock_guard<std::mutex> lock(m_inbox->mutex);
    m_inbox->told = false;
    return std::exchange(m_inbox->waiting, {});
}

void RecordLink::listen(const QString &channel)
{
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, channel] { worker->listen(channel); }, Qt::QueuedConnection);
}

} // namespace Line
