#include "eventhub.h"

#include <QSqlQuery>
#include <QTcpSocket>

#include <algorithm>

namespace Web {

EventHub::EventHub(const Line::RecordAddress &address, Reader reader, LineLister lister, QObject *parent)
    : QObject(parent), m_link(address, QStringLiteral("velmora-web events")), m_reader(std::move(reader)),
      m_lister(std::move(lister))
{
    connect(&m_link, &Line::RecordLink::notificationsWaiting, this, &EventHub::newsWaiting);
    m_sendTimer.setSingleShot(true);
    connect(&m_sendTimer, &QTimer::timeout, this, &EventHub::send);
    connect(&m_checkTimer, &QTimer::timeout, this, &EventHub::check);
    connect(&m_keepAliveTimer, &QTimer::timeout, this, [this] { write(QByteArrayLiteral(":\n\n"), -1); });
}

EventHub::~EventHub() = default;

void EventHub::start()
{
    m_link.listen(QLatin1String(LinesChannel));
    for (int lineId : m_lister())
        listenTo(lineId);
    check();
    m_checkTimer.start(CheckMs);
    m_keepAliveTimer.start(KeepAliveMs);
    m_sinceSent.start();
}

void EventHub::listenTo(int lineId)
{
    if (m_lines.contains(lineId))
        return;
    m_lines.insert(lineId);
    m_link.listen(QStringLiteral("velmora_line_%1").arg(lineId));
}

void EventHub::add(QTcpSocket *socket, int lineId)
{
    m_streams.push_back({socket, lineId});
    // Dropped later, not while write() goes through the streams (an abort
    // there says disconnected at once).
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        m_streams.erase(std::remove_if(m_streams.begin(), m_streams.end(),
                                       [](const Stream &stream) {
                                           return !stream.socket
                                                  || stream.socket->state() != QAbstractSocket::ConnectedState;
                                       }),
                        m_streams.end());
    }, Qt::QueuedConnection);
}

void EventHub::newsWaiting()
{
    // The first news after a quiet while goes at once; the rest, gathered
    // in the link meanwhile, once the interval since the last has passed.
    if (!m_sendTimer.isActive())
        m_sendTimer.start(int(std::max<qint64>(0, IntervalMs - m_sinceSent.elapsed())));
}

void EventHub::takeNews()
{
    for (const Line::RecordLink::Notification &notification : m_link.takeNotifications()) {
        bool number = false;
        const int value = notification.payload.toInt(&number);
        if (!number)
            continue;
        if (notification.channel == QLatin1String(LinesChannel)) {
            listenTo(value);
            m_notified[value];
        } else if (notification.channel.startsWith(QLatin1String("velmora_line_"))) {
            m_notified[notification.channel.mid(13).toInt()].insert(value);
        }
    }
}

void EventHub::send()
{
    m_sinceSent.restart();
    takeNews();
    const QHash<int, QSet<int>> notified = std::exchange(m_notified, {});
    QSet<int> lines = std::exchange(m_readAgain, {});
    for (auto it = notified.cbegin(); it != notified.cend(); ++it)
        lines.insert(it.key());
    for (int lineId : std::as_const(lines)) {
        const bool watched = std::any_of(m_streams.cbegin(), m_streams.cend(), [&](const Stream &stream) {
            return stream.socket && (stream.lineId == 0 || stream.lineId == lineId);
        });
        if (!watched)
            continue;
        const auto rowsOf = notified.constFind(lineId);
        QList<int> rows;
        if (rowsOf != notified.cend())
            rows = QList<int>(rowsOf->cbegin(), rowsOf->cend());
        std::sort(rows.begin(), rows.end());
        bool more = false;
        const QByteArray event = m_reader(lineId, rows, rowsOf == notified.cend(), &more);
        if (more)
            m_readAgain.insert(lineId);
        if (!event.isEmpty())
            write(event, lineId);
    }
    if (!m_readAgain.isEmpty() && !m_sendTimer.isActive())
        m_sendTimer.start(IntervalMs);
}

void EventHub::write(const QByteArray &event, int lineId)
{
    for (const Stream &stream : m_streams) {
        if (!stream.socket || (lineId > 0 && stream.lineId != 0 && stream.lineId != lineId))
            continue;
        if (stream.socket->bytesToWrite() > MaxBacklogBytes) {
            stream.socket->abort();
            continue;
        }
        // Sent now, not at the socket's next write notice: that would wake
        // the event loop once more for each stream.
        stream.socket->write(event);
        stream.socket->flush();
    }
}

void EventHub::check()
{
    if (m_checking)
        return;
    m_checking = true;
    m_link.post([](QSqlDatabase &db) {
            QSqlQuery query(db);
            return query.exec(QStringLiteral("SELECT 1")) ? Line::doneAnswer() : Line::failedAnswer(db, query);
        },
        [this](const Line::RecordLink::Answer &answer) {
            m_checking = false;
            const bool was = m_listening;
            m_listening = answer.ok;
            // Back after a break: what was notified meanwhile is lost, so
            // every stream is told to read its line again.
            if (answer.ok && !was)
                write(QByteArrayLiteral("event: refresh\ndata: {}\n\n"), -1);
        },
        CheckMs);
}

} // namespace Web
