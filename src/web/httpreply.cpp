#include "httpreply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Web {

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return status >= 500 ? "Internal Server Error" : "Error";
    }
}

} // namespace

HttpReply jsonReply(const QJsonValue &value, int status)
{
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return {status, "application/json", document.toJson(QJsonDocument::Compact), {}, false};
}

HttpReply errorReply(int status, const QString &message)
{
    return jsonReply(QJsonObject{{QStringLiteral("error"), message}}, status);
}

QByteArray securityHeaders(bool tls)
{
    QByteArray headers =
        "Content-Security-Policy: default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
        "connect-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'\r\n"
        "X-Content-Type-Options: nosniff\r\n"
        "X-Frame-Options: DENY\r\n"
        "Referrer-Policy: no-referrer\r\n";
    if (tls)
        headers += "Strict-Transport-Security: max-age=31536000\r\n";
    return headers;
}

QByteArray encodeReply(const HttpReply &reply, bool tls, bool headOnly)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) + "\r\n";
    out += securityHeaders(tls);
    out += reply.cacheable ? QByteArrayLiteral("Cache-Control: no-cache\r\n") : QByteArrayLiteral("Cache-Control: no-store\r\n");
    // Pages and messages are in the language the request asks for.
    out += "Vary: Accept-Language, Cookie\r\n";
    if (!reply.type.isEmpty())
        out += "Content-Type: " + reply.type + (reply.type.startsWith("text/") ? "; charset=utf-8" : "") + "\r\n";
    for (const auto &header : reply.headers)
        out += header.first + ": " + header.second + "\r\n";
    out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n";
    if (!headOnly)
        out += reply.body;
    return out;
}

} // namespace Web
