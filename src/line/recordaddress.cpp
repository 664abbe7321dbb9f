#include "recordaddress.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlDatabase>

#include <libpq-fe.h>

#include <memory>

namespace Line {

namespace {

// What is wrong with a --record, in its reader's language.
struct AddressText
{
    Q_DECLARE_TR_FUNCTIONS(Line::RecordAddress)
};

// Connecting gives up after this, rather than waiting for TCP's own time-out
// on a server that does not answer; a query on a connection whose packets
// go nowhere fails after tcp_user_timeout.
const char *const Defaults[][2] = {{"connect_timeout", "5"}, {"tcp_user_timeout", "5000"}, {"keepalives_idle", "5"},
                                   {"keepalives_interval", "2"}, {"keepalives_count", "3"}};

// A password written into the address itself: user:secret@ in a URI,
// password= in a key=value string.
bool holdsPassword(const QString &text)
{
    static const QRegularExpression uri(QStringLiteral("^postgres(ql)?://[^/@?]*:[^/@?]*@"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression keyValue(QStringLiteral("(^|[\\s?&])password\\s*="),
                                             QRegularExpression::CaseInsensitiveOption);
    return uri.match(text).hasMatch() || keyValue.match(text).hasMatch();
}

QString quoted(QString value)
{
    return QLatin1Char('\'') + value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"))
           + QLatin1Char('\'');
}

} // namespace

bool RecordAddress::parse(const QString &text, QString *error)
{
    const QString passwordHint = AddressText::tr("the password goes in ~/.pgpass, PGPASSFILE or PGPASSWORD, "
                                                "never on the command line");
    if (holdsPassword(text)) {
        *error = AddressText::tr("--record: the address holds a password; %1").arg(passwordHint);
        return false;
    }
    char *message = nullptr;
    const std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption *)> options(
        PQconninfoParse(text.toUtf8().constData(), &message), PQconninfoFree);
    if (!options) {
        *error = QStringLiteral("--record: %1").arg(message ? QString::fromUtf8(message).trimmed()
                                                            : QStringLiteral("out of memory"));
        PQfreemem(message);
        return false;
    }
    m_options.clear();
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option) {
        if (!option->val)
            continue;
        if (qstrcmp(option->dispchar, "*") == 0) {
            *error = AddressText::tr("--record: the address holds %1; %2").arg(QString::fromUtf8(option->keyword), passwordHint);
            return false;
        }
        const QString value = QString::fromUtf8(option->val);
        // Qt's driver reads ';' as the separator of its own options.
        if (value.contains(QLatin1Char(';'))) {
            *error = AddressText::tr("--record: %1 holds a ';', which cannot be passed on").arg(QString::fromUtf8(option->keyword));
            return false;
        }
        m_options.append({QString::fromUtf8(option->keyword), value});
    }
    return true;
}

QString RecordAddress::value(const char *keyword) const
{
    for (const auto &option : m_options) {
        if (option.first == QLatin1String(keyword))
            return option.second;
    }
    return {};
}

QString RecordAddress::shown() const
{
    const QString user = value("user");
    const QString host = value("host").isEmpty() ? value("hostaddr") : value("host");
    QString text = user.isEmpty() ? QString() : user + QLatin1Char('@');
    text += host.isEmpty() ? QStringLiteral("localhost") : host;
    if (!value("port").isEmpty())
        text += QLatin1Char(':') + value("port");
    return text + QLatin1Char('/') + (value("dbname").isEmpty() ? (user.isEmpty() ? QStringLiteral("(default)") : user)
                                                                  : value("dbname"));
}

QString RecordAddress::identity() const
{
    const QString host = value("host").isEmpty() ? value("hostaddr") : value("host");
    return QStringLiteral("%1:%2/%3").arg(host, value("port"), value("dbname"));
}

QSqlDatabase RecordAddress::connection(const QString &name, const QString &applicationName) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    QStringList options;
    for (const auto &option : m_options) {
        if (option.first != QLatin1String("options"))
            options << option.first + QLatin1Char('=') + quoted(option.second);
    }
    // The server sends no warnings from the connection's start on: one sent
    // while Qt's driver still sets the connection up would reach libpq's own
    // notice printer ("WARNING:  terminating connection due to immediate
    // shutdown command"), before the program can turn notices away. The
    // address's own options (or PGOPTIONS) follow, and may say otherwise.
    const QString given = value("options").isEmpty() ? QString::fromLocal8Bit(qgetenv("PGOPTIONS")) : value("options");
    options << QStringLiteral("options=") + quoted(QStringLiteral("-c client_min_messages=error ") + given);
    for (const auto &pair : Defaults) {
        if (value(pair[0]).isEmpty())
            options << QLatin1String(pair[0]) + QLatin1Char('=') + QLatin1String(pair[1]);
    }
    if (value("application_name").isEmpty())
        options << QStringLiteral("application_name=") + quoted(applicationName);
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return db;
}

} // namespace Line
