// velmora-web's API against a record on a PostgreSQL server of the test's
// own: each route answers as the line commands do, pages over many rows,
// refuses what it must with a JSON error, streams the verdicts stations
// record, and lets only a planner with the session's CSRF token settle a row.
#include "linestations.h"
#include "pgserver.h"
#include "webserverprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int ManyRows = 10000;
const QString Hostile = u"<img src=x onerror=alert(1)>"_s;

// The ids from first on of the attempts in a stream's line events so far,
// in order, and how many line events there were.
QList<qint64> streamedAttempts(const QByteArray &stream, qint64 first, int *events = nullptr)
{
    QList<qint64> ids;
    int count = 0;
    for (const QByteArray &line : stream.split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line.mid(6)).object();
        if (!line.startsWith("data: ") || !event.contains(u"attempts"_s))
            continue;
        ++count;
        for (const QJsonValue &attempt : event.value(u"attempts"_s).toArray()) {
            if (const qint64 id = attempt.toObject().value(u"attempt"_s).toInteger(); id >= first)
                ids << id;
        }
    }
    if (events)
        *events = count;
    return ids;
}

// The ok devices of the last hour in the last line event's activity.
int lastActivityOk(const QByteArray &stream)
{
    int ok = -1;
    for (const QByteArray &line : stream.split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line.mid(6)).object();
        if (!line.startsWith("data: ") || !event.contains(u"activity"_s))
            continue;
        ok = 0;
        for (const QJsonValue &minute : event.value(u"activity"_s).toObject().value(u"ok_per_minute"_s).toArray())
            ok += minute.toInt();
    }
    return ok;
}

} // namespace

class tst_WebApi : public QObject
{
    Q_OBJECT

private:
    QString admin() const { return m_server.url(QLatin1String(PgServer::Admin)); }
    QString api(const QString &path) const { return m_web->base + u"api/v1/"_s + path; }
    Answer get(const QString &path) { return request(m_network, api(path)); }

    bool load(const QString &line, const QByteArray &plan)
    {
        const QString file = m_folder.filePath(line + u".csv"_s);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(plan) != plan.size())
            return false;
        out.close();
        const Run loaded = runToEnd({u"line"_s, u"load"_s, file, u"--record"_s, admin(), u"--line"_s, line},
                                    m_server.environment());
        if (loaded.exitCode != 0)
            qWarning("%s", qPrintable(loaded.err));
        return loaded.exitCode == 0;
    }

    // A row set down as being written by a station whose lease has run out.
    void putInDoubt(const QString &line, int row)
    {
        QString error;
        m_server.query(u"INSERT INTO velmora.stations VALUES ('gone', 'x', 'host', 1, now(), now() - interval '1 hour') "
                       "ON CONFLICT DO NOTHING"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        m_server.query(u"UPDATE velmora.rows SET state = 'writing', station = 'gone', lane = 'p1', token = '%1-%2' "
                       "WHERE row = %2 AND line_id = (SELECT id FROM velmora.lines WHERE name = '%1')"_s.arg(line).arg(row),
                       &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        qputenv("PGPASSFILE", QFile::encodeName(m_server.passFile()));
        QCOMPARE(runToEnd({u"line"_s, u"init"_s, u"--record"_s, admin()}, m_server.environment()).exitCode, 0);
        QVERIFY2(m_server.addRole(u"viewer"_s, {u"velmora_viewer"_s}, &error), qPrintable(error));
        QVERIFY2(m_server.addRole(u"bench1"_s, {u"velmora_station"_s}, &error), qPrintable(error));
        QVERIFY2(m_server.addRole(u"bench2"_s, {u"velmora_station"_s}, &error), qPrintable(error));
        QVERIFY2(m_server.addRole(u"planner"_s, {u"velmora_planner"_s}, &error), qPrintable(error));
        m_server.query(u"ALTER ROLE planner PASSWORD 'planner-pw'; ALTER ROLE bench1 PASSWORD 'bench-pw'"_s, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(load(u"many"_s, linePlan(ManyRows, 1)));
        QByteArray small = linePlan(6, 2);
        small.replace("D-6,", Hostile.toUtf8() + ',');
        QVERIFY(load(u"small"_s, small));
        m_web = std::make_unique<WebServerProcess>(
            QStringList{u"--record"_s, m_server.url(u"viewer"_s), u"--listen"_s, u"127.0.0.1:0"_s}, m_server.environment());
        QVERIFY2(!m_web->waitForAddress().isEmpty(), qPrintable(m_web->err));
    }

    void statusAsLineStatusSays_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("many") << u"many"_s;
        QTest::newRow("small") << u"small"_s;
    }
    void statusAsLineStatusSays()
    {
        QFETCH(QString, line);
        const Run cli = runToEnd({u"line"_s, u"status"_s, u"--json"_s, u"--record"_s, admin(), u"--line"_s, line},
                                 m_server.environment());
        const Answer answer = get(u"lines/"_s + line);
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.object(), QJsonDocument::fromJson(cli.out.toUtf8()).object());
        const QJsonArray lines = get(u"lines"_s).array();
        QCOMPARE(lines.size(), 2);
    }

    void exportAsLineExportWrites()
    {
        const Run cli = runToEnd({u"line"_s, u"export"_s, u"--record"_s, admin(), u"--line"_s, u"small"_s},
                                 m_server.environment());
        const Answer answer = get(u"lines/small/export.csv"_s);
        QCOMPARE(answer.status, 200);
        QCOMPARE(QString::fromUtf8(answer.body), cli.out);
    }

    // Every row once, in order, a page at a time; a filter counted by the server.
    void paging()
    {
        int seen = 0;
        for (int offset = 0; offset < ManyRows; offset += 500) {
            const QJsonObject page = get(u"lines/many/rows?limit=500&offset=%1"_s.arg(offset)).object();
            QCOMPARE(page.value(u"total"_s).toInt(), ManyRows);
            const QJsonArray rows = page.value(u"rows"_s).toArray();
            QCOMPARE(rows.size(), 500);
            for (const QJsonValue &row : rows)
                QCOMPARE(row.toObject().value(u"row"_s).toInt(), ++seen);
        }
        QCOMPARE(seen, ManyRows);
        const QJsonObject found = get(u"lines/many/rows?q=D-9999"_s).object();
        QCOMPARE(found.value(u"total"_s).toInt(), 1);
        QCOMPARE(found.value(u"rows"_s).toArray().first().toObject().value(u"id"_s).toString(), u"D-9999"_s);
        QCOMPARE(get(u"lines/many/rows?state=ok"_s).object().value(u"total"_s).toInt(), 0);
        QCOMPARE(get(u"lines/many/rows?q=%25"_s).object().value(u"total"_s).toInt(), 0);  // a letter, not a wildcard
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("status");
        QTest::newRow("no such line") << u"api/v1/lines/nope"_s << QByteArray("GET") << 404;
        QTest::newRow("no such line's rows") << u"api/v1/lines/nope/rows"_s << QByteArray("GET") << 404;
        QTest::newRow("limit 0") << u"api/v1/lines/many/rows?limit=0"_s << QByteArray("GET") << 400;
        QTest::newRow("limit too large") << u"api/v1/lines/many/rows?limit=100000"_s << QByteArray("GET") << 400;
        QTest::newRow("offset a word") << u"api/v1/lines/many/rows?offset=abc"_s << QByteArray("GET") << 400;
        QTest::newRow("no such state") << u"api/v1/lines/many/rows?state=lost"_s << QByteArray("GET") << 400;
        QTest::newRow("since no time") << u"api/v1/lines/many/attempts?since=yesterday"_s << QByteArray("GET") << 400;
        QTest::newRow("after negative") << u"api/v1/lines/many/attempts?after=-1"_s << QByteArray("GET") << 400;
        QTest::newRow("devices without q") << u"api/v1/devices"_s << QByteArray("GET") << 400;
        QTest::newRow("no such route") << u"api/v1/everything"_s << QByteArray("GET") << 404;
        QTest::newRow("an older version") << u"api/v0/lines"_s << QByteArray("GET") << 404;
        QTest::newRow("a source file") << u"static/webserver.cpp"_s << QByteArray("GET") << 404;
        QTest::newRow("up the tree") << u"static/%2E%2E/%2E%2E/etc/passwd"_s << QByteArray("GET") << 404;
        QTest::newRow("a system file") << u"etc/passwd"_s << QByteArray("GET") << 404;
        QTest::newRow("a change to lines") << u"api/v1/lines"_s << QByteArray("DELETE") << 405;
        QTest::newRow("settle, not logged in") << u"api/v1/lines/small/rows/1/settle"_s << QByteArray("POST") << 401;
    }
    void refusals()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, method);
        QFETCH(int, status);
        const Answer answer = request(m_network, m_web->base + path, method, method == "POST" ? "{}" : "");
        QCOMPARE(answer.status, status);
        QVERIFY2(!answer.object().value(u"error"_s).toString().isEmpty(), answer.body.constData());
        QVERIFY(answer.header("Content-Security-Policy").contains("default-src 'self'"));
        QCOMPARE(answer.header("X-Content-Type-Options"), QByteArray("nosniff"));
        QCOMPARE(answer.header("Cache-Control"), QByteArray("no-store"));
    }

    // Pages and messages in the language asked for: the page's switch (a
    // cookie), else Accept-Language by weight, else English. The status and
    // the JSON's fields never change with it.
    void languages_data()
    {
        QTest::addColumn<QByteArray>("acceptLanguage");
        QTest::addColumn<QByteArray>("cookie");
        QTest::addColumn<bool>("chinese");
        QTest::newRow("a Chinese browser") << QByteArray("zh-CN,zh;q=0.9,en;q=0.8") << QByteArray() << true;
        QTest::newRow("by weight") << QByteArray("en;q=0.1, zh;q=0.9") << QByteArray() << true;
        QTest::newRow("Traditional has none: the next") << QByteArray("zh-TW, zh-Hans;q=0.5") << QByteArray() << true;
        QTest::newRow("no catalogue") << QByteArray("de, fr;q=0.5") << QByteArray() << false;
        QTest::newRow("switched to English") << QByteArray("zh-CN") << QByteArray("velmora_lang=en") << false;
        QTest::newRow("switched to Chinese") << QByteArray("en") << QByteArray("a=b; velmora_lang=zh_CN") << true;
        QTest::newRow("a switch to nothing") << QByteArray("en") << QByteArray("velmora_lang=../x") << false;
    }
    void languages()
    {
        QFETCH(QByteArray, acceptLanguage);
        QFETCH(QByteArray, cookie);
        QFETCH(bool, chinese);
        QList<QPair<QByteArray, QByteArray>> headers{{"Accept-Language", acceptLanguage}};
        if (!cookie.isEmpty())
            headers.append({"Cookie", cookie});
        const Answer error = request(m_network, api(u"lines/nope"_s), "GET", {}, headers);
        QCOMPARE(error.status, 404);
        QCOMPARE(error.object().keys(), QStringList{u"error"_s});
        QCOMPARE(error.object().value(u"error"_s).toString(), chinese ? u"没有此产线：nope"_s : u"no such line: nope"_s);
        QCOMPARE(error.header("Vary"), QByteArray("Accept-Language, Cookie"));

        const Answer page = request(m_network, m_web->base + u"lines/nope"_s, "GET", {}, headers);
        QCOMPARE(page.status, 200);
        const QString html = QString::fromUtf8(page.body);
        QVERIFY2(html.contains(chinese ? u"<html lang=\"zh-CN\">"_s : u"<html lang=\"en\">"_s), page.body.left(200).constData());
        QVERIFY(html.contains(chinese ? u"<h1>产线 <span"_s : u"<h1>Line <span"_s));
        QVERIFY2(!html.contains(u"{{"_s), "every text of the page translated");
        // The page's texts for its script are still JSON.
        const qsizetype texts = html.indexOf(u"id=\"texts\">"_s) + 11;
        const QJsonObject json = QJsonDocument::fromJson(html.mid(texts, html.indexOf(u"</script>"_s, texts) - texts).toUtf8()).object();
        QCOMPARE(json.value(u"live"_s).toString(), chinese ? u"实时"_s : u"live"_s);
        // And the phrases of the devices' outcomes the record keeps in English.
        QCOMPARE(json.value(u"@phrases"_s)[u"line failed during %1: %2"_s].toString(),
                 chinese ? u"%1 期间线路故障：%2"_s : QString());
    }

    void devicesByKey_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");
        // linePlan's row 3 of subnet 2: D-3, 10.2.0.4, 02:02:00:00:00:03.
        QTest::newRow("mac") << u"02:02:00:00:00:03"_s << 3;
        QTest::newRow("mac in capitals, with dashes") << u"02-02-00-00-00-03"_s << 3;
        QTest::newRow("lip") << u"10.2.0.4"_s << 3;
        QTest::newRow("id, of a row of each line") << u"D-3"_s << -3;
        QTest::newRow("label, as scanned") << u"ID D-3\nLIP 10.2.0.4\nMAC 02:02:00:00:00:03\nSN "_s << 3;
        QTest::newRow("label, line breaks lost") << u"ID D-3LIP 10.2.0.4MAC 02:02:00:00:00:03SN "_s << 3;
        QTest::newRow("hostile id, as letters") << Hostile << 6;
        QTest::newRow("unknown") << u"02:ff:ff:ff:ff:ff"_s << 0;
    }
    void devicesByKey()
    {
        QFETCH(QString, typed);
        QFETCH(int, row);
        const Answer answer = get(u"devices?q="_s + QString::fromLatin1(QUrl::toPercentEncoding(typed)));
        QCOMPARE(answer.status, 200);
        const QJsonArray devices = answer.object().value(u"devices"_s).toArray();
        QCOMPARE(devices.size(), row < 0 ? 2 : row ? 1 : 0);
        if (row < 0) {
            QCOMPARE(devices.first().toObject().value(u"line"_s).toString(), u"many"_s);
            QCOMPARE(devices.last().toObject().value(u"row"_s).toInt(), -row);
        } else if (row) {
            QCOMPARE(devices.first().toObject().value(u"row"_s).toInt(), row);
            QCOMPARE(devices.first().toObject().value(u"line"_s).toString(), u"small"_s);
        }
    }

    // A station provisions the small line while a stream is open: its
    // verdicts come as events, whose activity ends counting them all when
    // the line goes quiet, at the line's pace; the attempts route gives them all since any id;
    // a client that goes away mid-stream leaves nothing behind.
    void streamAndAttempts()
    {
        QNetworkRequest streamRequest{QUrl(api(u"events?line=small"_s))};
        std::unique_ptr<QNetworkReply> stream(m_network.get(streamRequest));
        QByteArray events;
        connect(stream.get(), &QNetworkReply::readyRead, this, [&] { events += stream->readAll(); });
        QTRY_COMPARE_WITH_TIMEOUT(get(u"server"_s).object().value(u"streams"_s).toInt(), 1, 10000);
        QCOMPARE(stream->header(QNetworkRequest::ContentTypeHeader).toString(), u"text/event-stream"_s);

        Devices bench(2);
        Station station(QStringList{u"batch"_s, u"--record"_s, m_server.url(u"bench2"_s), u"--line"_s, u"small"_s, u"--station"_s,
                         u"s1"_s, u"--no-prompt"_s} + bench.ports(0, 2), m_server.environment());
        QTRY_VERIFY_WITH_TIMEOUT(events.contains("\"result\":\"ok\""), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(station.finished(), 60000);
        QVERIFY2(station.process.exitCode() == 0, qPrintable(station.err));
        QTRY_VERIFY_WITH_TIMEOUT(events.contains("\"ok\":6"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(lastActivityOk(events), 6, 10000);
        // The line's one station keeps the line's pace.
        const double linePace = get(u"lines/small"_s).object().value(u"devices_per_minute"_s).toDouble();
        const QJsonArray stations = get(u"lines/small/activity"_s).object().value(u"stations"_s).toArray();
        QCOMPARE(stations.size(), 1);
        const double stationPace = stations.first().toObject().value(u"per_minute"_s).toDouble();
        QVERIFY2(linePace > 0 && qAbs(stationPace - linePace) <= linePace * 0.05,
                 qPrintable(u"the station's %1 a minute, the line's %2"_s.arg(stationPace).arg(linePace)));

        QJsonArray all;
        qint64 last = 0;
        for (;;) {
            const QJsonObject page = get(u"lines/small/attempts?limit=4&after=%1"_s.arg(last)).object();
            const QJsonArray attempts = page.value(u"attempts"_s).toArray();
            if (attempts.isEmpty())
                break;
            for (const QJsonValue &attempt : attempts)
                all.append(attempt);
            last = page.value(u"last"_s).toInteger();
        }
        int ok = 0;
        for (const QJsonValue &attempt : std::as_const(all))
            ok += attempt.toObject().value(u"result"_s).toString() == QLatin1String("ok");
        QCOMPARE(ok, 6);
        QCOMPARE(all.size(), get(u"lines/small/attempts?since=2000-01-01T00:00:00Z"_s).object()
                                 .value(u"attempts"_s).toArray().size());

        // Of another client: a client opens at most 6 connections to a server.
        QNetworkAccessManager other;
        std::vector<std::unique_ptr<QNetworkReply>> gone;
        for (int i = 0; i < 5; ++i)
            gone.emplace_back(other.get(streamRequest));
        QTRY_COMPARE_WITH_TIMEOUT(get(u"server"_s).object().value(u"streams"_s).toInt(), 6, 10000);
        // Whatever the streams, the server holds one connection for its queries and one to listen.
        QCOMPARE(m_server.query(u"SELECT string_agg(application_name, ', ' ORDER BY application_name) FROM pg_stat_activity "
                                "WHERE application_name LIKE 'velmora-web%'"_s),
                 u"velmora-web, velmora-web events"_s);
        for (auto &reply : gone)
            reply->abort();
        stream->abort();
        QTRY_COMPARE_WITH_TIMEOUT(get(u"server"_s).object().value(u"streams"_s).toInt(), 0, 10000);
    }

    // A station's role may log in but not settle; a planner may, with the
    // session's CSRF token only, and the record says who settled the row.
    void settling()
    {
        putInDoubt(u"many"_s, 7);
        const QString settle = api(u"lines/many/rows/7/settle"_s);
        QNetworkAccessManager bench;
        QCOMPARE(request(bench, api(u"login"_s), "POST", R"({"role":"bench1","password":"bench-pw"})").status, 200);
        const QByteArray benchCsrf = request(bench, api(u"session"_s)).object().value(u"csrf"_s).toString().toLatin1();
        QCOMPARE(request(bench, settle, "POST", R"({"as":"ok"})", {{"X-CSRF-Token", benchCsrf}}).status, 403);

        QNetworkAccessManager planner;
        const Answer login = request(planner, api(u"login"_s), "POST", R"({"role":"planner","password":"planner-pw"})");
        QCOMPARE(login.status, 200);
        QVERIFY(login.object().value(u"planner"_s).toBool());
        const QByteArray cookie = login.header("Set-Cookie");
        QVERIFY2(cookie.contains("HttpOnly") && cookie.contains("SameSite=Strict") && cookie.contains("Path=/")
                     && !cookie.contains("Secure"),
                 cookie.constData());
        const QByteArray csrf = login.object().value(u"csrf"_s).toString().toLatin1();
        QCOMPARE(request(planner, settle, "POST", R"({"as":"ok"})").status, 403);
        QCOMPARE(request(planner, settle, "POST", R"({"as":"ok"})", {{"X-CSRF-Token", "forged"}}).status, 403);
        QCOMPARE(request(planner, settle, "POST", R"({"as":"maybe"})", {{"X-CSRF-Token", csrf}}).status, 400);
        const Answer settled = request(planner, settle, "POST", R"({"as":"ok"})", {{"X-CSRF-Token", csrf}});
        QCOMPARE(settled.status, 200);
        QCOMPARE(request(planner, settle, "POST", R"({"as":"ok"})", {{"X-CSRF-Token", csrf}}).status, 409);
        QCOMPARE(m_server.query(u"SELECT detail FROM velmora.attempts WHERE row = 7 ORDER BY id DESC LIMIT 1"_s),
                 u"settled by planner: the device holds this row"_s);
        QCOMPARE(get(u"lines/many/rows?q=D-7&state=ok"_s).object().value(u"total"_s).toInt(), 1);
    }

    // Failed logins from one address are answered later and later, then refused.
    void loginThrottling()
    {
        QNetworkAccessManager guesser;
        for (int i = 0; i < 5; ++i)
            QCOMPARE(request(guesser, api(u"login"_s), "POST", R"({"role":"planner","password":"guess"})").status, 401);
        const Answer refused = request(guesser, api(u"login"_s), "POST", R"({"role":"planner","password":"planner-pw"})");
        QCOMPARE(refused.status, 429);
        QVERIFY(refused.header("Retry-After").toInt() > 0);
    }

    void startRefusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("beyond the loopback, plain") << QStringList{u"--listen"_s, u"0.0.0.0:0"_s} << 2 << u"--insecure-http"_s;
        QTest::newRow("not an address") << QStringList{u"--listen"_s, u"localhost"_s} << 2 << u"not an address"_s;
        QTest::newRow("a role that writes") << QStringList{u"--record-role"_s, u"bench2"_s} << 2 << u"only reads"_s;
        QTest::newRow("half of TLS") << QStringList{u"--tls-cert"_s, u"/nonexistent"_s} << 2 << u"PEM"_s;
    }
    void startRefusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QString role = u"viewer"_s;
        if (arguments.first() == QLatin1String("--record-role")) {
            role = arguments.last();
            arguments.clear();
        }
        const Run run = runToEnd(QStringList{u"--record"_s, m_server.url(role)} + arguments, m_server.environment(),
                                 QStringLiteral(VELMORA_WEB_PATH));
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    // Beyond the loopback it serves over TLS, or plain with --insecure-http
    // and says so; with --login-to-view the record needs a login, and the
    // session's cookie is Secure under TLS.
    void beyondTheLoopback_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain, insecure") << false;
        QTest::newRow("TLS") << true;
    }
    void beyondTheLoopback()
    {
        QFETCH(bool, tls);
        QStringList arguments{u"--record"_s, m_server.url(u"viewer"_s), u"--listen"_s, u"0.0.0.0:0"_s, u"--login-to-view"_s};
        QTemporaryDir folder;
        const QString certificate = folder.filePath(u"web.crt"_s), key = folder.filePath(u"web.key"_s);
        if (tls) {
            QProcess openssl;
            openssl.setProcessChannelMode(QProcess::MergedChannels);
            openssl.start(u"openssl"_s, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                                         "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate});
            QVERIFY(openssl.waitForFinished());
            QVERIFY2(openssl.exitCode() == 0, openssl.readAll().constData());
            arguments << u"--tls-cert"_s << certificate << u"--tls-key"_s << key;
            QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
            trusting.addCaCertificates(certificate);
            QSslConfiguration::setDefaultConfiguration(trusting);
        } else {
            arguments << u"--insecure-http"_s;
        }
        WebServerProcess web(arguments, m_server.environment());
        const QString base = web.waitForAddress();
        QVERIFY2(base.startsWith(tls ? u"https://"_s : u"http://"_s), qPrintable(web.err));
        QTRY_COMPARE(web.err.contains(u"--insecure-http"_s), !tls);
        QNetworkAccessManager network;
        const QString lines = QString(base).replace(u"0.0.0.0"_s, u"127.0.0.1"_s) + u"api/v1/lines"_s;
        QCOMPARE(request(network, lines).status, 401);
        const Answer login = request(network, QString(lines).replace(u"lines"_s, u"login"_s), "POST",
                                     R"({"role":"bench1","password":"bench-pw"})");
        QCOMPARE(login.status, 200);
        const QByteArray cookie = login.header("Set-Cookie");
        QVERIFY2(cookie.contains("; HttpOnly; SameSite=Strict"), cookie.constData());
        QCOMPARE(cookie.contains("; Secure"), tls);
        QCOMPARE(request(network, lines).status, 200);
    }

    // An attempt whose transaction began first, so that its id is lower,
    // commits after a later one was read, and without a notification of its
    // own: following the line by the API and by the stream, each comes
    // once, in the order committed; a stream opened again with the id of
    // the first gets the second.
    void attemptCommittedLateComesOnce()
    {
        const QString lineId = m_server.query(u"SELECT id FROM velmora.lines WHERE name = 'many'"_s);
        qint64 last = get(u"lines/many/attempts?limit=5000"_s).object().value(u"last"_s).toInteger();
        QList<qint64> followed;
        const auto follow = [&] {
            const QJsonObject page = get(u"lines/many/attempts?after=%1"_s.arg(last)).object();
            for (const QJsonValue &attempt : page.value(u"attempts"_s).toArray())
                followed << attempt.toObject().value(u"attempt"_s).toInteger();
            last = page.value(u"last"_s).toInteger();
            return followed.size();
        };
        QNetworkRequest streamRequest{QUrl(api(u"events?line=many"_s))};
        std::unique_ptr<QNetworkReply> stream(m_network.get(streamRequest));
        QByteArray events;
        connect(stream.get(), &QNetworkReply::readyRead, this, [&] { events += stream->readAll(); });
        QTRY_COMPARE_WITH_TIMEOUT(get(u"server"_s).object().value(u"streams"_s).toInt(), 1, 10000);

        const QString insert = u"INSERT INTO velmora.attempts (line_id, row, time, station, lane, token, result) "
                               "VALUES (%1, %2, now(), 'raw', 'p1', 'late-%2', 'mismatch') RETURNING id"_s.arg(lineId);
        qint64 older = 0;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"older"_s);
            db.setConnectOptions(u"host=%1 port=%2 dbname=velmora user=%3"_s.arg(m_server.socketFolder())
                                     .arg(m_server.port()).arg(QLatin1String(PgServer::Admin)));
            QVERIFY2(db.open() && db.transaction(), qPrintable(db.lastError().text()));
            QSqlQuery query(db);
            QVERIFY2(query.exec(insert.arg(1)) && query.next(), qPrintable(query.lastError().text()));
            older = query.value(0).toLongLong();

            QString error;
            const qint64 later = m_server.query(u"WITH a AS (%1) SELECT id, pg_notify('velmora_line_%2', '2') FROM a"_s
                                                    .arg(insert.arg(2), lineId), &error).toLongLong();
            QVERIFY2(error.isEmpty() && later > older, qPrintable(error));
            follow();
            int sent = 0;  // the event of the later one's notification, sent before the first commits
            QTRY_VERIFY_WITH_TIMEOUT((streamedAttempts(events, older, &sent), sent >= 1), 10000);
            QVERIFY(db.commit());
            QTRY_VERIFY_WITH_TIMEOUT(follow() >= 2, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(streamedAttempts(events, older).size() >= 2, 10000);
            QCOMPARE(followed, (QList<qint64>{older, later}));
            QCOMPARE(streamedAttempts(events, older), (QList<qint64>{older, later}));
        }
        QSqlDatabase::removeDatabase(u"older"_s);
        // Nothing again: not by the API, nor in the stream's next event.
        QCOMPARE(follow(), 2);
        int sent = 0;
        int sentBefore = 0;
        streamedAttempts(events, older, &sentBefore);
        m_server.query(u"SELECT pg_notify('velmora_line_%1', '3')"_s.arg(lineId));
        QTRY_VERIFY_WITH_TIMEOUT((streamedAttempts(events, older, &sent), sent > sentBefore), 10000);
        QCOMPARE(streamedAttempts(events, older).size(), 2);

        streamRequest.setRawHeader("Last-Event-ID", QByteArray::number(followed.first()));
        std::unique_ptr<QNetworkReply> resumed(m_network.get(streamRequest));
        QByteArray resumedEvents;
        connect(resumed.get(), &QNetworkReply::readyRead, this, [&] { resumedEvents += resumed->readAll(); });
        QTRY_VERIFY_WITH_TIMEOUT(!streamedAttempts(resumedEvents, 0).isEmpty(), 10000);
        QCOMPARE(streamedAttempts(resumedEvents, 0), QList<qint64>{followed.last()});
        resumed->abort();
        stream->abort();
        QTRY_COMPARE_WITH_TIMEOUT(get(u"server"_s).object().value(u"streams"_s).toInt(), 0, 10000);
    }

    void cleanupTestCase()
    {
        m_web.reset();
        m_server.stop();
    }

private:
    PgServer m_server;
    QTemporaryDir m_folder;
    std::unique_ptr<WebServerProcess> m_web;
    QNetworkAccessManager m_network;
};

QTEST_MAIN(tst_WebApi)
#include "tst_web_api.moc"
