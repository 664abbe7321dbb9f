#include "line.h"

#include "run.h"

#include "line/connection.h"
#include "line/lineexport.h"
#include "line/lineload.h"
#include "line/lineplan.h"
#include "line/lineresolve.h"
#include "line/linestatus.h"
#include "line/schema.h"
#include "line/standbycheck.h"
#include "shell/stopsignals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>
#include <QTimer>

#include <cstdio>

using Line::Refusal;

namespace {

// What the line commands tell a person; their JSON and CSV stay as they are.
struct LineText
{
    Q_DECLARE_TR_FUNCTIONS(Cli::Line)
};

// line status --watch shows the line again this often.
constexpr int WatchIntervalMs = 2000;

void printOut(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int init(Line::Connection &connection)
{
    QString done;
    QString error;
    bool newer = false;
    if (!Line::initSchema(connection.db(), &done, &error, &newer)) {
        printError(error);
        return newer ? Exit::UsageError : Exit::NoLine;
    }
    printOut(done + QLatin1Char('\n'));
    return Exit::Success;
}

int load(Line::Connection &connection, const Request &request)
{
    Line::LoadRequest load{request.lineName, request.planFile, request.plan, request.checks, request.allowReuse};
    QString done;
    QStringList errors;
    if (!Line::loadLine(connection.db(), load, &done, &errors)) {
        printError(errors.join(QLatin1Char('\n')));
        return Exit::UsageError;
    }
    printOut(done + QLatin1Char('\n'));
    return Exit::Success;
}

// Every line, or the one named.
bool lineNames(QSqlDatabase &db, const Request &request, QStringList *names, QString *error)
{
    if (!request.lineName.isEmpty()) {
        *names = {request.lineName};
        return true;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT name FROM velmora.lines ORDER BY id"))) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        *names << query.value(0).toString();
    return true;
}

bool printStatus(QSqlDatabase &db, const Request &request, QString *error)
{
    QStringList names;
    if (!lineNames(db, request, &names, error))
        return false;
    QString text;
    QJsonArray lines;
    for (const QString &name : std::as_const(names)) {
        const int id = Line::lineId(db, name, error);
        Line::LineStatus status;
        if (id == 0 || !Line::readStatus(db, id, name, &status, error))
            return false;
        text += Line::statusText(status);
        lines.append(Line::statusJson(status));
    }
    if (request.format == Request::Json)
        text = QString::fromUtf8((request.lineName.isEmpty() ? QJsonDocument(lines)
                                                             : QJsonDocument(lines.first().toObject()))
                                     .toJson(QJsonDocument::Compact))
               + QLatin1Char('\n');
    else if (names.isEmpty())
        text = LineText::tr("the record has no line yet: load one with velmora-cli line load") + QLatin1Char('\n');
    // --watch: each time under the time it was taken.
    if (request.watch && request.format != Request::Json)
        text = QStringLiteral("-- %1\n").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))) + text;
    printOut(text);
    return true;
}

int status(Line::Connection &connection, const Request &request, StopSignals &stopSignals)
{
    QString error;
    if (!printStatus(connection.db(), request, &error)) {
        printError(error);
        return Exit::UsageError;
    }
    const QString standby = Line::standbyWarning(connection.db());
    if (!standby.isEmpty())
        printError(LineText::tr("warning: %1").arg(standby));
    if (!request.watch)
        return Exit::Success;
    int exitStatus = Exit::Success;
    QTimer again;
    // A failure is an outage when the record cannot be reached again at
    // once; it is waited for, and said once.
    QDateTime unreachableSince;
    QObject::connect(&again, &QTimer::timeout, [&] {
        if (unreachableSince.isNull() && printStatus(connection.db(), request, &error))
            return;
        connection.db().close();
        QString reason;
        if (connection.open(&reason) == Refusal::Unreachable) {
            if (unreachableSince.isNull()) {
                unreachableSince = QDateTime::currentDateTime();
                printError(LineText::tr("record unreachable since %1; waiting")
                               .arg(unreachableSince.toString(QStringLiteral("HH:mm:ss"))));
            }
            return;
        }
        if (!unreachableSince.isNull()) {
            unreachableSince = QDateTime();
            printError(LineText::tr("record reachable again"));
        }
        if (!printStatus(connection.db(), request, &error)) {
            printError(error);
            exitStatus = Exit::UsageError;
            QCoreApplication::quit();
        }
    });
    QObject::connect(&stopSignals, &StopSignals::received, [&](int signal) {
        exitStatus = StopSignals::exitStatus(signal);
        QCoreApplication::quit();
    });
    stopSignals.poll();
    again.start(WatchIntervalMs);
    QCoreApplication::exec();
    return exitStatus;
}

int exportLine(Line::Connection &connection, const Request &request)
{
    Line::LineInfo line;
    QString error;
    if (!Line::readLine(connection.db(), request.lineName, &line, &error)) {
        printError(error);
        return Exit::UsageError;
    }
    if (request.outFile.isEmpty()) {
        QFile out;
        out.open(stdout, QIODevice::WriteOnly);
        if (!Line::exportLine(connection.db(), line, &out, &error)) {
            printError(error);
            return Exit::UsageError;
        }
        return Exit::Success;
    }
    // Whole or not at all: a spreadsheet never opens half an export.
    QSaveFile out(request.outFile);
    if (!out.open(QIODevice::WriteOnly) || !Line::exportLine(connection.db(), line, &out, &error) || !out.commit()) {
        printError(QStringLiteral("%1: %2").arg(request.outFile, error.isEmpty() ? out.errorString() : error));
        return Exit::UsageError;
    }
    return Exit::Success;
}

int resolve(Line::Connection &connection, const Request &request)
{
    QString error;
    const int id = Line::lineId(connection.db(), request.lineName, &error);
    if (id == 0 || !Line::resolveRow(connection.db(), id, request.resolveRow,
                                     request.resolveAsOk ? Line::Settle::Ok : Line::Settle::Free, &error)) {
        printError(error);
        return Exit::UsageError;
    }
    printOut((request.resolveAsOk ? LineText::tr("line %1, row %2: ok") : LineText::tr("line %1, row %2: free for another device"))
                 .arg(request.lineName).arg(request.resolveRow) + QLatin1Char('\n'));
    return Exit::Success;
}

} // namespace

int runLine(const Request &request, StopSignals &stopSignals)
{
    Line::RecordAddress address;
    QString error;
    address.parse(request.record, &error);  // checked on the command line
    Line::Connection connection(address);
    const Refusal refusal = connection.open(&error, request.lineCommand != Request::LineInit);
    if (refusal != Refusal::None) {
        printError(error);
        return Line::exitStatusFor(refusal);
    }
    switch (request.lineCommand) {
    case Request::LineInit:
        return init(connection);
    case Request::LineLoad:
        return load(connection, request);
    case Request::LineStatus:
        return status(connection, request, stopSignals);
    case Request::LineExport:
        return exportLine(connection, request);
    case Request::LineResolve:
        return resolve(connection, request);
    }
    return Exit::UsageError;
}
