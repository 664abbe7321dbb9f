// velmora-web started by a test, on a free port of 127.0.0.1, and HTTP
// requests to it answered through the test's event loop.
#pragma once

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

struct WebServerProcess
{
    WebServerProcess(const QStringList &arguments, const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += QString::fromLocal8Bit(process.readAllStandardError()); });
        process.start(QStringLiteral(VELMORA_WEB_PATH), arguments);
    }
    ~WebServerProcess()
    {
        process.terminate();
        process.waitForFinished(10000);
        // What it warned of, where a test fails on it.
        if (!err.isEmpty())
            qInfo("velmora-web said: %s", qPrintable(err));
    }
    // The address it serves, once it says so; empty where it stopped instead.
    QString waitForAddress()
    {
        static const QRegularExpression serving(QStringLiteral(" on (https?://\\S+/)"));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            output += QString::fromLocal8Bit(process.readAllStandardOutput());
            const QRegularExpressionMatch match = serving.match(output);
            if (match.hasMatch())
                return base = match.captured(1);
            if (process.state() == QProcess::NotRunning && !process.waitForReadyRead(0))
                return {};
            process.waitForReadyRead(100);
        }
        return {};
    }

    QProcess process;
    QString output;
    QString err;
    QString base;
};

struct Answer
{
    int status = 0;
    QByteArray body;
    QList<QNetworkReply::RawHeaderPair> headers;
    QByteArray header(const QByteArray &name) const
    {
        for (const auto &pair : headers) {
            if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
                return pair.second;
        }
        return {};
    }
    QJsonObject object() const { return QJsonDocument::fromJson(body).object(); }
    QJsonArray array() const { return QJsonDocument::fromJson(body).array(); }
};

// A request answered in full; method GET, POST (with a JSON body) or HEAD.
inline Answer request(QNetworkAccessManager &network, const QString &url, const QByteArray &method = "GET",
                      const QByteArray &body = {}, const QList<QPair<QByteArray, QByteArray>> &headers = {})
{
    QNetworkRequest request{QUrl(url)};
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    for (const auto &header : headers)
        request.setRawHeader(header.first, header.second);
    std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, method, body));
    QElapsedTimer timer;
    timer.start();
    while (!reply->isFinished() && timer.elapsed() < 20000)
        QTest::qWait(5);
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
            reply->rawHeaderPairs()};
}
