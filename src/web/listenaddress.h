// Where velmora-web listens: ADDR:PORT as --listen gives it (127.0.0.1:8080,
// [::1]:8080), and whether that is the loopback only, where plain HTTP is
// safe, as nobody else on the network can read it.
#pragma once

#include <QHostAddress>
#include <QString>

namespace Web {

struct ListenAddress
{
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 8080;

    // False with why not.
    bool parse(const QString &text, QString *error);
    bool isLoopback() const { return address.isLoopback(); }
};

// Whether the server may start: anything but the loopback without TLS is
// refused unless plain HTTP was asked for. False with why not.
bool mayListen(const ListenAddress &listen, bool tls, bool insecureHttp, QString *error);

} // namespace Web
