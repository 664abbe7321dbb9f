// An answer of velmora-web, and how every answer goes out: with the
// security headers (a strict Content-Security-Policy: no inline script, no
// other site; nosniff; not in a frame) and, for what is not a page's own
// file, no caching. JSON errors carry a message: {"error": "..."}.
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QPair>

class QTcpSocket;

namespace Web {

struct HttpReply
{
    int status = 200;
    QByteArray type = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool cacheable = false;  // a page's own file, the same for the life of the program
};

HttpReply jsonReply(const QJsonValue &value, int status = 200);
HttpReply errorReply(int status, const QString &message);

// The status line, the headers and, unless headOnly, the body.
QByteArray encodeReply(const HttpReply &reply, bool tls, bool headOnly = false);
// The headers every answer has, the event stream's too.
QByteArray securityHeaders(bool tls);

} // namespace Web
