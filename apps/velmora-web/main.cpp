// velmora-web: the lines of a record in a browser, a device's record by its
// MAC, and an HTTP API for the factory's systems, served beside the
// database. It reads the record as a role that can only read, and listens
// on the loopback unless told otherwise.
#include "line/recordaddress.h"
#include "shell/exitstatus.h"
#include "shell/stopsignals.h"
#include "shell/translations.h"
#include "web/listenaddress.h"
#include "web/webserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// What velmora-web says on its command line, in the system's language.
struct MainText
{
    Q_DECLARE_TR_FUNCTIONS(Web::Main)
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-web"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    Translations::install();
    StopSignals stopSignals;
    stopSignals.install();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        MainText::tr("Serves a line's record to browsers and to the factory's systems: every line live, a device's record "
           "by its MAC, LIP, SN or id, and an HTTP API (/api/v1/). The password of --record's role comes from "
           "~/.pgpass, PGPASSFILE or PGPASSWORD; the role should be a member of velmora_viewer, which can only read."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption record(QStringLiteral("record"), MainText::tr("The record: a libpq URI or key=value string."),
                                    QStringLiteral("URL"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    MainText::tr("The address and port to listen on (default 127.0.0.1:8080; port 0 takes a free one)."),
                                    QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:8080"));
    const QCommandLineOption tlsCert(QStringLiteral("tls-cert"), MainText::tr("Serve HTTPS with this certificate (PEM)."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption tlsKey(QStringLiteral("tls-key"), MainText::tr("The certificate's private key (PEM)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption insecure(QStringLiteral("insecure-http"),
                                      MainText::tr("Serve plain HTTP on an address other than the loopback."));
    const QCommandLineOption loginToView(QStringLiteral("login-to-view"),
                                         MainText::tr("Viewing needs a login too (any role of the record)."));
    parser.addOptions({record, listen, tlsCert, tlsKey, insecure, loginToView});
    parser.process(app);

    QString error;
    Web::ListenAddress where;
    Line::RecordAddress address;
    if (!parser.isSet(record)) {
        print(stderr, MainText::tr("velmora-web: --record is needed"));
        return Exit::UsageError;
    }
    if (!address.parse(parser.value(record), &error) || !where.parse(parser.value(listen), &error)) {
        print(stderr, QStringLiteral("velmora-web: ") + error);
        return Exit::UsageError;
    }
    const bool tls = parser.isSet(tlsCert) || parser.isSet(tlsKey);
    QSslCertificate certificate;
    QSslKey key;
    if (tls) {
        QFile certFile(parser.value(tlsCert));
        QFile keyFile(parser.value(tlsKey));
        if (certFile.open(QIODevice::ReadOnly))
            certificate = QSslCertificate(&certFile, QSsl::Pem);
        if (keyFile.open(QIODevice::ReadOnly))
            key = QSslKey(&keyFile, QSsl::Rsa, QSsl::Pem);
        if (key.isNull() && keyFile.seek(0))
            key = QSslKey(&keyFile, QSsl::Ec, QSsl::Pem);
        if (certificate.isNull() || key.isNull()) {
            print(stderr, MainText::tr("velmora-web: --tls-cert and --tls-key need a PEM certificate and its key"));
            return Exit::UsageError;
        }
    }
    if (!Web::mayListen(where, tls, parser.isSet(insecure), &error)) {
        print(stderr, QStringLiteral("velmora-web: ") + error);
        return Exit::UsageError;
    }

    Web::WebServer server(address, {parser.isSet(loginToView), tls});
    const Line::Refusal refusal = server.open(&error);
    if (refusal != Line::Refusal::None) {
        print(stderr, QStringLiteral("velmora-web: ") + error);
        return Line::exitStatusFor(refusal);
    }
    if (tls)
        server.sslSetup(certificate, key);
    const quint16 port = server.listen(where.address, where.port);
    if (port == 0) {
        print(stderr, MainText::tr("velmora-web: cannot listen on %1:%2").arg(where.address.toString()).arg(where.port));
        return Exit::UsageError;
    }
    const QString host = where.address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(where.address.toString())
                             : where.address.toString();
    if (!where.isLoopback() && !tls)
        print(stderr, MainText::tr("velmora-web: warning: serving plain HTTP beyond the loopback (--insecure-http): "
                         "logins and the record can be read on the network"));
    print(stdout, MainText::tr("velmora-web: serving the record at %1 on %2://%3:%4/")
                      .arg(address.shown(), tls ? QStringLiteral("https") : QStringLiteral("http"), host)
                      .arg(port));

    int exitStatus = Exit::Success;
    QObject::connect(&stopSignals, &StopSignals::received, &app, [&](int signal) {
        exitStatus = StopSignals::exitStatus(signal);
        QCoreApplication::quit();
    });
    stopSignals.poll();
    QCoreApplication::exec();
    return exitStatus;
}
