// The live feed of every browser and tool watching the record, as
// Server-Sent Events: one LISTEN for the whole process, whatever number of
// streams are open. Notifications of a line are gathered and its news read
// once, at most a few times a second (Interval), and the same event is
// written to every stream of that line. A stream whose client has gone, or
// that takes nothing in while its backlog grows, is dropped.
//
// A verdict's notification can come while an older transaction is still
// open, which holds its attempt back (readAttempts): a line whose read
// leaves attempts behind is read again after Interval, without waiting for
// a notification that may not come, and sends an event once they come.
#pragma once

#include "line/recordlink.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpSocket;

namespace Web {

class EventHub : public QObject
{
    Q_OBJECT

public:
    // A line's news is read at most once in this time.
    static constexpr int IntervalMs = 200;
    // The LISTEN connection is checked this often, and a comment written to
    // every stream, so that a break is found on either side.
    static constexpr int CheckMs = 2000;
    static constexpr int KeepAliveMs = 15000;
    // A stream with more than this waiting to be sent is a client that reads nothing.
    static constexpr qint64 MaxBacklogBytes = 1 << 20;
    static constexpr const char *LinesChannel = "velmora_lines";

    // The event for a line whose rows were notified (the rows' numbers), or
    // an empty one where there is nothing to send; onlyNewAttempts where the
    // line is read again, not for a notification. *more: read it again soon
    // (attempts are left to read, or news not yet in an event).
    using Reader = std::function<QByteArray(int lineId, const QList<int> &rows, bool onlyNewAttempts, bool *more)>;
    // The ids of every line, to listen on each.
    using LineLister = std::function<QList<int>()>;

    EventHub(const Line::RecordAddress &address, Reader reader, LineLister lister, QObject *parent = nullptr);
    ~EventHub() override;

    void start();
    // A stream on socket, its headers written: of one line, or of every line (0).
    void add(QTcpSocket *socket, int lineId);
    int streams() const { return int(m_streams.size()); }
    bool listening() const { return m_listening; }

private:
    struct Stream
    {
        QPointer<QTcpSocket> socket;
        int lineId = 0;
    };

    void newsWaiting();
    void takeNews();
    void listenTo(int lineId);
    void send();
    void check();
    void write(const QByteArray &event, int lineId);

    Line::RecordLink m_link;
    Reader m_reader;
    LineLister m_lister;
    QSet<int> m_lines;  // listened to
    QHash<int, QSet<int>> m_notified;  // rows by line, not read yet
    QSet<int> m_readAgain;  // lines whose last read left news behind
    std::vector<Stream> m_streams;
    QTimer m_sendTimer;
    QTimer m_checkTimer;
    QTimer m_keepAliveTimer;
    QElapsedTimer m_sinceSent;
    bool m_checking = false;
    bool m_listening = false;
};

} // namespace Web
