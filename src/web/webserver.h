// velmora-web's server: the pages, the API (/api/v1/...) and the event
// stream, over one connection to the record for queries and one LISTEN
// (EventHub), as the role velmora-web was started with, which can only read.
// Settling a row needs a planner's login, and runs on the connection that
// login opened, as that person's role, so the record says who did it.
//
// Qt HttpServer 6.4 is a technical preview. What this relies on, and what
// it does not do: QAbstractHttpServer hands each parsed request over with
// its socket (handleRequest), and the socket may be kept after that: the
// event streams write to it directly. Every answer is written here, not by
// QHttpServerResponder, so that each carries the same headers. The request
// is parsed whole before it is handed over: its size is checked then (a
// bundled http_parser refuses headers over 80 KiB before that).
#pragma once

#include "eventhub.h"
#include "httpreply.h"
#include "loginthrottle.h"
#include "requestlanguage.h"
#include "sessions.h"

#include "line/connection.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>

#include <memory>

class QHttpServerRequest;

namespace Web {

class WebServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    static constexpr int MaxBodyBytes = 16 * 1024;
    static constexpr int MaxHeaderBytes = 16 * 1024;
    static constexpr int MaxUrlBytes = 4096;
    static constexpr int MaxEventAttempts = 5000;
    // A stream opened again catches up on this many attempts at most.
    static constexpr int MaxResumedAttempts = 1000;

    struct Options
    {
        bool loginToView = false;
        bool tls = false;
    };

    WebServer(const Line::RecordAddress &address, const Options &options, QObject *parent = nullptr);
    ~WebServer() override;

    // Connects to the record and starts listening to it; false with why not.
    Line::Refusal open(QString *error);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    HttpReply route(const QHttpServerRequest &request, QTcpSocket *socket, bool *answered);
    HttpReply page(const QString &name) const;
    HttpReply file(const QString &name) const;
    HttpReply api(const QHttpServerRequest &request, const QStringList &path, QTcpSocket *socket, bool *answered);
    HttpReply lineApi(const QHttpServerRequest &request, int lineId, const QString &name, const QStringList &rest);
    HttpReply login(const QHttpServerRequest &request, QTcpSocket *socket, bool *answered);
    HttpReply settle(const QHttpServerRequest &request, int lineId, const QString &row);
    HttpReply sessionReply(const QHttpServerRequest &request);
    // The request's session, or nullptr.
    Session *sessionOf(const QHttpServerRequest &request);
    QByteArray cookie(const QByteArray &token) const;
    // The record's answer failed: 503 if its connection is gone (the next
    // request connects again), else 500.
    HttpReply failed(const QString &error);
    bool ensureOpen(QString *error);
    // A line's news for its streams; with onlyNewAttempts, none where no
    // attempt came and no activity is owed. *more as EventHub::Reader says.
    QByteArray lineEvent(int lineId, const QList<int> &rows, bool onlyNewAttempts, bool *more);
    // The line's events carried an activity older than their news, and the
    // next is owed once it may be read again (*more until then): so that
    // the chart and the stations end where the line is when it goes quiet.
    bool activityDue(int lineId, bool *more) const;
    // For a stream of a line that a client opens again: the attempts it
    // missed since the last event it had, or a refresh.
    QByteArray resumedEvent(int lineId, qint64 lastEventId);
    QByteArray eventOf(int lineId, const QJsonArray &changedRows, const QJsonArray &attempts, qint64 last);
    void reply(QTcpSocket *socket, const HttpReply &reply, bool headOnly = false) const;

    const Line::RecordAddress m_address;
    const Options m_options;
    Line::Connection m_connection;
    std::unique_ptr<EventHub> m_events;
    Sessions m_sessions;
    RequestTranslator m_translator;  // each answer in its request's language
    LoginThrottle m_throttle;
    // Where each line's streams are: the last attempt sent in its events,
    // or where they started (readFollowedAttempts).
    QHash<int, qint64> m_lastAttempt;
    QHash<int, QString> m_lineNames;
    // Each line's activity as its events last read it.
    static constexpr int ActivityMaxAgeMs = 2000;
    struct LineActivity
    {
        QJsonObject activity;
        QElapsedTimer read;
        bool behind = false;  // an event carried it after news it may not count
    };
    QHash<int, LineActivity> m_activity;
};

} // namespace Web
