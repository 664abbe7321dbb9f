#include "listenaddress.h"

#include <QCoreApplication>

namespace Web {

bool ListenAddress::parse(const QString &text, QString *error)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool numeric = false;
    const uint number = colon > 0 ? text.mid(colon + 1).toUInt(&numeric) : 0;
    QString host = colon > 0 ? text.left(colon) : QString();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    QHostAddress parsed;
    if (!numeric || number > 65535 || !parsed.setAddress(host)) {
        *error = QCoreApplication::translate("Web", "--listen %1: not an address and port such as 127.0.0.1:8080")
                     .arg(text);
        return false;
    }
    address = parsed;
    port = quint16(number);
    return true;
}

bool mayListen(const ListenAddress &listen, bool tls, bool insecureHttp, QString *error)
{
    if (listen.isLoopback() || tls || insecureHttp)
        return true;
    *error = QCoreApplication::translate("Web",
                                         "%1 is not the loopback: give --tls-cert and --tls-key, or --insecure-http "
                                         "to serve plain HTTP that anyone on the network can read")
                 .arg(listen.address.toString());
    return false;
}

} // namespace Web
