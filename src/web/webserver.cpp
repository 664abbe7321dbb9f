#include "webserver.h"

#include "recordqueries.h"
#include "rolelogin.h"

#include "line/lineexport.h"
#include "line/lineplan.h"
#include "line/lineresolve.h"
#include "line/sql.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace Web {

namespace {

const char SessionCookie[] = "velmora_session";

QString tr(const char *text)
{
    return QCoreApplication::translate("Web", text);
}

// The page files served under /static/, and their types: nothing else is.
const QHash<QString, QByteArray> &staticFiles()
{
    static const QHash<QString, QByteArray> files{
        {QStringLiteral("velmora.css"), "text/css"},
        {QStringLiteral("common.js"), "text/javascript"},
        {QStringLiteral("index.js"), "text/javascript"},
        {QStringLiteral("line.js"), "text/javascript"},
        {QStringLiteral("devices.js"), "text/javascript"},
        {QStringLiteral("chart.js"), "text/javascript"},
        {QStringLiteral("velmora.svg"), "image/svg+xml"},
    };
    return files;
}

// A whole number of a query, within [lowest, highest]; fallback where absent.
bool number(const QUrlQuery &query, const QString &key, int lowest, int highest, int fallback, int *value,
            QString *error)
{
    if (!query.hasQueryItem(key)) {
        *value = fallback;
        return true;
    }
    bool ok = false;
    const qint64 read = query.queryItemValue(key).toLongLong(&ok);
    if (!ok || read < lowest || read > highest) {
        *error = tr("%1: a whole number from %2 to %3").arg(key).arg(lowest).arg(highest);
        return false;
    }
    *value = int(read);
    return true;
}

bool oneOf(const QString &value, std::initializer_list<const char *> allowed)
{
    return value.isEmpty()
           || std::any_of(allowed.begin(), allowed.end(), [&](const char *name) { return value == QLatin1String(name); });
}

} // namespace

WebServer::WebServer(const Line::RecordAddress &address, const Options &options, QObject *parent)
    : QAbstractHttpServer(parent), m_address(address), m_options(options), m_connection(m_address)
{
    QCoreApplication::installTranslator(&m_translator);
}

WebServer::~WebServer()
{
    QCoreApplication::removeTranslator(&m_translator);
}

Line::Refusal WebServer::open(QString *error)
{
    const Line::Refusal refusal = m_connection.open(error);
    if (refusal != Line::Refusal::None)
        return refusal;
    // This role reads; a role that could change the record is not for a
    // server any browser on the network talks to.
    QSqlQuery query(m_connection.db());
    if (!query.exec(QStringLiteral("SELECT has_table_privilege('velmora.rows', 'INSERT, UPDATE, DELETE') "
                                   "OR pg_has_role('velmora_station', 'USAGE')"))
        || !query.next()) {
        *error = query.lastError().text();
        return Line::Refusal::Unreachable;
    }
    if (query.value(0).toBool()) {
        *error = tr("the role of --record can change the record: give velmora-web a role that only reads "
                    "(GRANT velmora_viewer TO ...)");
        return Line::Refusal::Unusable;
    }
    m_lastAttempt.clear();
    if (!readFollowedAttempts(m_connection.db(), &m_lastAttempt, error))
        return Line::Refusal::Unreachable;
    m_events = std::make_unique<EventHub>(
        m_address,
        [this](int lineId, const QList<int> &rows, bool onlyNewAttempts, bool *more) {
            return lineEvent(lineId, rows, onlyNewAttempts, more);
        },
        [this] {
            QList<int> ids;
            QSqlQuery lines(m_connection.db());
            if (lines.exec(QStringLiteral("SELECT id FROM velmora.lines"))) {
                while (lines.next())
                    ids << lines.value(0).toInt();
            }
            return ids;
        },
        this);
    m_events->start();
    return Line::Refusal::None;
}

bool WebServer::ensureOpen(QString *error)
{
    if (m_connection.db().isOpen())
        return true;
    return m_connection.open(error) == Line::Refusal::None;
}

HttpReply WebServer::failed(const QString &error)
{
    QSqlQuery alive(m_connection.db());
    if (!alive.exec(QStringLiteral("SELECT 1"))) {
        m_connection.db().close();
        return errorReply(503, tr("the record cannot be reached"));
    }
    qWarning("velmora-web: %s", qPrintable(error));
    return errorReply(500, tr("the record could not answer: %1").arg(error));
}

void WebServer::reply(QTcpSocket *socket, const HttpReply &reply, bool headOnly) const
{
    socket->write(encodeReply(reply, m_options.tls, headOnly));
}

void WebServer::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    reply(socket, errorReply(404, tr("no such page")));
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    qsizetype headerBytes = 0;
    for (const auto &header : request.headers())
        headerBytes += header.first.size() + header.second.size() + 4;
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    const AnsweringIn answering(m_translator, requestLanguage(request.value("Cookie"), request.value("Accept-Language")));
    if (request.url().toEncoded().size() > MaxUrlBytes)
        reply(socket, errorReply(414, tr("the address is too long")));
    else if (headerBytes > MaxHeaderBytes)
        reply(socket, errorReply(431, tr("the headers are too large")));
    else if (request.body().size() > MaxBodyBytes)
        reply(socket, errorReply(413, tr("the request is too large")));
    else {
        bool answered = false;
        const HttpReply answer = route(request, socket, &answered);
        if (!answered)
            reply(socket, answer, head);
    }
    return true;
}

HttpReply WebServer::route(const QHttpServerRequest &request, QTcpSocket *socket, bool *answered)
{
    QStringList path;
    for (const QString &part : request.url().path(QUrl::FullyEncoded).split(QLatin1Char('/'), Qt::SkipEmptyParts))
        path << QUrl::fromPercentEncoding(part.toUtf8());
    const auto method = request.method();
    const bool get = method == QHttpServerRequest::Method::Get || method == QHttpServerRequest::Method::Head;
    if (path.value(0) == QLatin1String("api") && path.value(1) == QLatin1String("v1"))
        return api(request, path.mid(2), socket, answered);
    if (!get)
        return path.isEmpty() || path.value(0) == QLatin1String("lines") || path.value(0) == QLatin1String("devices")
                       || path.value(0) == QLatin1String("static")
                   ? errorReply(405, tr("only GET here"))
                   : errorReply(404, tr("no such page"));
    if (path.isEmpty())
        return page(QStringLiteral("index.html"));
    if (path.size() == 2 && path[0] == QLatin1String("lines"))
        return page(QStringLiteral("line.html"));
    if (path.size() == 1 && path[0] == QLatin1String("devices"))
        return page(QStringLiteral("devices.html"));
    if (path.size() == 2 && path[0] == QLatin1String("static"))
        return file(path[1]);
    return errorReply(404, tr("no such page"));
}

HttpReply WebServer::page(const QString &name) const
{
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return errorReply(404, tr("no such page"));
    return {200, "text/html", translatedPage(file.readAll(), m_translator.language()),
            {{"Content-Language", languageTag(m_translator.language()).toLatin1()}}, true};
}

HttpReply WebServer::file(const QString &name) const
{
    const auto found = staticFiles().constFind(name);
    QFile file(QStringLiteral(":/web/") + name);
    if (found == staticFiles().constEnd() || !file.open(QIODevice::ReadOnly))
        return errorReply(404, tr("no such file"));
    return {200, found.value(), file.readAll(), {}, true};
}

Session *WebServer::sessionOf(const QHttpServerRequest &request)
{
    for (const QByteArray &part : request.value("Cookie").split(';')) {
        const QByteArray trimmed = part.trimmed();
        const QByteArray prefix = QByteArray(SessionCookie) + '=';
        if (trimmed.startsWith(prefix))
            return m_sessions.find(trimmed.mid(prefix.size()));
    }
    return nullptr;
}

QByteArray WebServer::cookie(const QByteArray &token) const
{
    return QByteArray(SessionCookie) + '=' + token + "; Path=/; HttpOnly; SameSite=Strict"
           + (m_options.tls ? "; Secure" : "") + (token.isEmpty() ? "; Max-Age=0" : "");
}

HttpReply WebServer::api(const QHttpServerRequest &request, const QStringList &path, QTcpSocket *socket,
                         bool *answered)
{
    const auto method = request.method();
    const bool get = method == QHttpServerRequest::Method::Get || method == QHttpServerRequest::Method::Head;
    const bool post = method == QHttpServerRequest::Method::Post;
    const QString first = path.value(0);
    // Changes come as JSON, which a page of another site cannot send here
    // without asking first (and is never answered).
    if (post && !request.value("Content-Type").startsWith("application/json"))
        return errorReply(415, tr("send JSON (Content-Type: application/json)"));
    if (path.size() == 1 && first == QLatin1String("login"))
        return post ? login(request, socket, answered) : errorReply(405, tr("POST to log in"));
    if (path.size() == 1 && first == QLatin1String("session"))
        return get ? sessionReply(request) : errorReply(405, tr("only GET here"));
    if (path.size() == 1 && first == QLatin1String("logout")) {
        if (!post)
            return errorReply(405, tr("POST to log out"));
        Session *session = sessionOf(request);
        if (session && request.value("X-CSRF-Token") != session->csrf)
            return errorReply(403, tr("the request lacks this session's CSRF token"));
        for (const QByteArray &part : request.value("Cookie").split(';')) {
            if (part.trimmed().startsWith(QByteArray(SessionCookie) + '='))
                m_sessions.close(part.trimmed().mid(int(sizeof SessionCookie)));
        }
        HttpReply out = jsonReply(QJsonObject{{QStringLiteral("logged_in"), false}});
        out.headers.push_back({"Set-Cookie", cookie({})});
        return out;
    }
    if (m_options.loginToView && !sessionOf(request))
        return errorReply(401, tr("log in to see the record"));
    if (path.size() == 1 && first == QLatin1String("server") && get)
        return jsonReply(QJsonObject{{QStringLiteral("streams"), m_events ? m_events->streams() : 0},
                                     {QStringLiteral("listening"), m_events && m_events->listening()}});
    QString error;
    if (!ensureOpen(&error))
        return errorReply(503, tr("the record cannot be reached"));
    const QUrlQuery query = request.query();
    if (path.size() == 1 && first == QLatin1String("events") && get) {
        int lineId = 0;
        if (query.hasQueryItem(QStringLiteral("line"))) {
            lineId = findLine(m_connection.db(), query.queryItemValue(QStringLiteral("line")), &error);
            if (lineId < 0)
                return failed(error);
            if (lineId == 0)
                return errorReply(404, tr("no such line"));
        }
        *answered = true;
        socket->write("HTTP/1.1 200 OK\r\n" + securityHeaders(m_options.tls)
                      + "Content-Type: text/event-stream\r\nCache-Control: no-store\r\n\r\nretry: 2000\n\n");
        bool isId = false;
        const qint64 lastEventId = request.value("Last-Event-ID").trimmed().toLongLong(&isId);
        if (lineId > 0 && isId && lastEventId >= 0)
            socket->write(resumedEvent(lineId, lastEventId));
        m_events->add(socket, lineId);
        return {};
    }
    if (path.size() == 1 && first == QLatin1String("lines")) {
        if (!get)
            return errorReply(405, tr("only GET here"));
        QJsonArray lines;
        return readLines(m_connection.db(), &lines, &error) ? jsonReply(lines) : failed(error);
    }
    if (path.size() == 1 && first == QLatin1String("devices")) {
        if (!get)
            return errorReply(405, tr("only GET here"));
        const QString key = query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
        if (key.trimmed().isEmpty() || key.size() > 1000)
            return errorReply(400, tr("q: a device's id, LIP, MAC, SN or its label's text"));
        QJsonArray devices;
        return findDevices(m_connection.db(), key, &devices, &error)
                   ? jsonReply(QJsonObject{{QStringLiteral("devices"), devices}})
                   : failed(error);
    }
    if (path.size() >= 2 && first == QLatin1String("lines")) {
        const int lineId = findLine(m_connection.db(), path[1], &error);
        if (lineId < 0)
            return failed(error);
        if (lineId == 0)
            return errorReply(404, tr("no such line: %1").arg(path[1]));
        if (path.size() == 5 && path[2] == QLatin1String("rows") && path[4] == QLatin1String("settle"))
            return post ? settle(request, lineId, path[3]) : errorReply(405, tr("POST to settle a row"));
        if (!get)
            return errorReply(405, tr("only GET here"));
        return lineApi(request, lineId, path[1], path.mid(2));
    }
    return errorReply(404, tr("no such route"));
}

HttpReply WebServer::lineApi(const QHttpServerRequest &request, int lineId, const QString &name,
                             const QStringList &rest)
{
    QSqlDatabase &db = m_connection.db();
    const QUrlQuery query = request.query();
    QString error;
    if (rest.isEmpty()) {
        QJsonObject status;
        return readLineStatus(db, lineId, name, &status, &error) ? jsonReply(status) : failed(error);
    }
    if (rest.size() != 1)
        return errorReply(404, tr("no such route"));
    const QString what = rest[0];
    if (what == QLatin1String("rows")) {
        RowFilter filter;
        filter.search = query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded).trimmed().left(200);
        filter.state = query.queryItemValue(QStringLiteral("state"));
        filter.result = query.queryItemValue(QStringLiteral("result"));
        filter.station = query.queryItemValue(QStringLiteral("station"), QUrl::FullyDecoded);
        if (!oneOf(filter.state, {"free", "claimed", "writing", "ok", "failed"}))
            return errorReply(400, tr("state: free, claimed, writing, ok or failed"));
        if (!oneOf(filter.result, {"ok", "mismatch", "refused", "no-answer", "skipped"}))
            return errorReply(400, tr("result: ok, mismatch, refused, no-answer or skipped"));
        if (!number(query, QStringLiteral("offset"), 0, 10000000, 0, &filter.offset, &error)
            || !number(query, QStringLiteral("limit"), 1, RowFilter::MaxLimit, 50, &filter.limit, &error))
            return errorReply(400, error);
        QJsonObject page;
        return readRows(db, lineId, filter, &page, &error) ? jsonReply(page) : failed(error);
    }
    if (what == QLatin1String("attempts")) {
        int limit = 0;
        if (!number(query, QStringLiteral("limit"), 1, 5000, 1000, &limit, &error))
            return errorReply(400, error);
        qint64 after = 0;
        QDateTime since;
        if (query.hasQueryItem(QStringLiteral("since"))) {
            since = QDateTime::fromString(query.queryItemValue(QStringLiteral("since"), QUrl::FullyDecoded),
                                          Qt::ISODateWithMs);
            if (!since.isValid())
                return errorReply(400, tr("since: a time such as 2026-12-09T05:00:00Z"));
        } else if (query.hasQueryItem(QStringLiteral("after"))) {
            bool ok = false;
            after = query.queryItemValue(QStringLiteral("after")).toLongLong(&ok);
            if (!ok || after < 0)
                return errorReply(400, tr("after: an attempt's id, a whole number"));
        }
        QJsonArray attempts;
        if (!readAttempts(db, lineId, after, since, limit, &attempts, &error))
            return failed(error);
        const qint64 last = attempts.isEmpty() ? after
                                               : attempts.last().toObject().value(QStringLiteral("attempt")).toInteger();
        return jsonReply(QJsonObject{{QStringLiteral("attempts"), attempts}, {QStringLiteral("last"), last}});
    }
    if (what == QLatin1String("activity")) {
        QJsonObject activity;
        return readLineActivity(db, lineId, &activity, &error) ? jsonReply(activity) : failed(error);
    }
    if (what == QLatin1String("export.csv")) {
        Line::LineInfo line;
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        if (!Line::readLine(db, name, &line, &error) || !Line::exportLine(db, line, &out, &error))
            return failed(error);
        return {200, "text/csv", out.data(),
                {{"Content-Disposition", "attachment; filename=\"" + name.toUtf8() + ".csv\""}}, false};
    }
    return errorReply(404, tr("no such route"));
}

HttpReply WebServer::sessionReply(const QHttpServerRequest &request)
{
    // Not an error without one: a page asks on every load.
    Session *session = sessionOf(request);
    if (!session)
        return jsonReply(QJsonObject{{QStringLiteral("logged_in"), false}});
    return jsonReply(QJsonObject{{QStringLiteral("logged_in"), true},
                                 {QStringLiteral("role"), session->role},
                                 {QStringLiteral("planner"), session->planner},
                                 {QStringLiteral("csrf"), QString::fromLatin1(session->csrf)}});
}

HttpReply WebServer::login(const QHttpServerRequest &request, QTcpSocket *socket, bool *answered)
{
    const QHostAddress from = request.remoteAddress();
    if (const qint64 wait = m_throttle.refusedFor(from)) {
        HttpReply refused = errorReply(429, tr("too many failed logins: try again in %1 minutes").arg((wait + 59) / 60));
        refused.headers.push_back({"Retry-After", QByteArray::number(wait)});
        return refused;
    }
    const QJsonObject body = QJsonDocument::fromJson(request.body()).object();
    const QString role = body.value(QStringLiteral("role")).toString();
    const QString password = body.value(QStringLiteral("password")).toString();
    const RoleLogin login = loginAs(m_address, role, password, true);
    if (!login.ok) {
        if (login.unreachable)
            return errorReply(503, login.error);
        // Answered later, and later after each failure.
        *answered = true;
        const int delay = m_throttle.failed(from);
        QTimer::singleShot(delay, this, [this, socket = QPointer<QTcpSocket>(socket), error = login.error] {
            if (socket)
                reply(socket, errorReply(401, error));
        });
        return {};
    }
    m_throttle.succeeded(from);
    const QByteArray token = m_sessions.open(role, login.planner, login.connection);
    const Session *session = m_sessions.find(token);
    HttpReply out = jsonReply(QJsonObject{{QStringLiteral("logged_in"), true},
                                          {QStringLiteral("role"), role},
                                          {QStringLiteral("planner"), login.planner},
                                          {QStringLiteral("csrf"), QString::fromLatin1(session->csrf)}});
    out.headers.push_back({"Set-Cookie", cookie(token)});
    return out;
}

HttpReply WebServer::settle(const QHttpServerRequest &request, int lineId, const QString &rowText)
{
    Session *session = sessionOf(request);
    if (!session)
        return errorReply(401, tr("log in as a planner to settle a row"));
    if (request.value("X-CSRF-Token").isEmpty() || request.value("X-CSRF-Token") != session->csrf)
        return errorReply(403, tr("the request lacks this session's CSRF token"));
    if (!session->planner)
        return errorReply(403, tr("%1 is not a planner (velmora_planner)").arg(session->role));
    bool isNumber = false;
    const int row = rowText.toInt(&isNumber);
    const QString as = QJsonDocument::fromJson(request.body()).object().value(QStringLiteral("as")).toString();
    if (!isNumber || row < 1)
        return errorReply(400, tr("row: a row's number"));
    if (as != QLatin1String("ok") && as != QLatin1String("free"))
        return errorReply(400, tr("as: ok (the device holds the row) or free (it does not)"));
    QSqlDatabase db = QSqlDatabase::database(session->connection);
    QString error;
    if (!db.isOpen() && !db.open())
        return errorReply(503, tr("the record cannot be reached"));
    if (!Line::resolveRow(db, lineId, row, as == QLatin1String("ok") ? Line::Settle::Ok : Line::Settle::Free, &error))
        return errorReply(409, error);
    return jsonReply(QJsonObject{{QStringLiteral("row"), row}, {QStringLiteral("as"), as},
                                 {QStringLiteral("by"), session->role}});
}

QByteArray WebServer::lineEvent(int lineId, const QList<int> &rows, bool onlyNewAttempts, bool *more)
{
    QString error;
    if (!ensureOpen(&error))
        return {};
    QJsonArray attempts;
    const qint64 after = m_lastAttempt.value(lineId, 0);
    if (!readAttempts(m_connection.db(), lineId, after, {}, MaxEventAttempts, &attempts, &error, more)) {
        failed(error);
        return {};
    }
    if (onlyNewAttempts && attempts.isEmpty() && !activityDue(lineId, more))
        return {};
    QJsonArray changed;
    if (!rows.isEmpty() && !readRowsNamed(m_connection.db(), lineId, rows, &changed, &error)) {
        failed(error);
        return {};
    }
    const qint64 last =
        attempts.isEmpty() ? after : attempts.last().toObject().value(QStringLiteral("attempt")).toInteger();
    const QByteArray event = eventOf(lineId, changed, attempts, last);
    if (!event.isEmpty())
        m_lastAttempt.insert(lineId, last);
    if (m_activity.value(lineId).behind)
        *more = true;
    return event;
}

bool WebServer::activityDue(int lineId, bool *more) const
{
    const auto activity = m_activity.constFind(lineId);
    if (activity == m_activity.cend() || !activity->behind)
        return false;
    if (activity->read.hasExpired(ActivityMaxAgeMs))
        return true;
    *more = true;
    return false;
}

QByteArray WebServer::resumedEvent(int lineId, qint64 lastEventId)
{
    // The attempts after the client's last one up to where the line's
    // streams are: the next event goes on from there. Where the client is
    // further behind than MaxResumedAttempts, it reads them itself.
    const qint64 upTo = m_lastAttempt.value(lineId, 0);
    if (lastEventId == upTo || upTo == 0)  // 0: the events to come carry every attempt of the line
        return {};
    QString error;
    QJsonArray read;
    if (!readAttempts(m_connection.db(), lineId, lastEventId, {}, MaxResumedAttempts, &read, &error)) {
        failed(error);
        return QByteArrayLiteral("event: refresh\ndata: {}\n\n");
    }
    QJsonArray missed;
    for (const QJsonValue &attempt : std::as_const(read)) {
        missed.append(attempt);
        if (attempt.toObject().value(QStringLiteral("attempt")).toInteger() == upTo)
            return eventOf(lineId, {}, missed, upTo);
    }
    // Not among them: more than that to catch up on, or the client's id is
    // not behind this line's streams (another server gave it), so the
    // events to come would not follow on from it.
    return QByteArrayLiteral("event: refresh\ndata: {}\n\n");
}

QByteArray WebServer::eventOf(int lineId, const QJsonArray &changedRows, const QJsonArray &attempts, qint64 last)
{
    QString error;
    QSqlDatabase &db = m_connection.db();
    QString name = m_lineNames.value(lineId);
    if (name.isEmpty()) {
        QSqlQuery query(db);
        if (!Line::run(query, QStringLiteral("SELECT name FROM velmora.lines WHERE id = ?"), {lineId}, &error)
            || !query.next())
            return {};
        name = query.value(0).toString();
        m_lineNames.insert(lineId, name);
    }
    QJsonObject status;
    if (!readLineStatus(db, lineId, name, &status, &error)) {
        failed(error);
        return {};
    }
    // The activity is read over all the line's attempts, and changes little
    // between two events: they carry the last read for a while.
    LineActivity &activity = m_activity[lineId];
    if (!activity.read.isValid() || activity.read.hasExpired(ActivityMaxAgeMs)) {
        if (!readLineActivity(db, lineId, &activity.activity, &error)) {
            m_activity.remove(lineId);
            failed(error);
            return {};
        }
        activity.read.start();
        activity.behind = false;
    } else {
        activity.behind = true;
    }
    const QJsonObject event{{QStringLiteral("line"), name},
                            {QStringLiteral("status"), status},
                            {QStringLiteral("activity"), activity.activity},
                            {QStringLiteral("rows"), changedRows},
                            {QStringLiteral("attempts"), attempts}};
    return "event: line\nid: " + QByteArray::number(last) + "\ndata: "
           + QJsonDocument(event).toJson(QJsonDocument::Compact) + "\n\n";
}

} // namespace Web
