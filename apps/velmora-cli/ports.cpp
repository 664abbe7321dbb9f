#include "ports.h"

#include "run.h"

#include "client/portscan.h"
#include "link/phrases.h"
#include "link/portlist.h"
#include "link/portlock.h"
#include "link/portmap.h"
#include "link/wiretrace.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// What ports and scan tell a person on stderr.
struct PortsText
{
    Q_DECLARE_TR_FUNCTIONS(Cli::Ports)
};

void print(const QByteArray &text)
{
    std::fputs(text.constData(), stdout);
    std::fflush(stdout);
}

QJsonObject portObject(const PortList::Port &port)
{
    return {{QStringLiteral("device"), port.device},
            {QStringLiteral("by_id"), port.stableName},
            {QStringLiteral("com"), QJsonArray::fromStringList(port.comNames)},
            {QStringLiteral("description"), port.description},
            {QStringLiteral("manufacturer"), port.manufacturer},
            {QStringLiteral("usb_id"), port.usbId},
            {QStringLiteral("serial_number"), port.serialNumber},
            {QStringLiteral("problem"), port.problem}};
}

// "/dev/ttyUSB0  COM3  /dev/serial/by-id/...  FT232R USB UART, FTDI, USB 0403:6001, serial A1B2C3: in use by ..."
QString portLine(const PortList::Port &port)
{
    QStringList parts = {port.device};
    if (!port.comNames.isEmpty())
        parts << port.comNames.join(QLatin1Char(','));
    if (!port.stableName.isEmpty())
        parts << port.stableName;
    QStringList about;
    for (const QString &text : {port.description, port.manufacturer})
        if (!text.isEmpty())
            about << text;
    if (!port.usbId.isEmpty())
        about << QStringLiteral("USB %1").arg(port.usbId);
    if (!port.serialNumber.isEmpty())
        about << QStringLiteral("serial %1").arg(port.serialNumber);
    if (!about.isEmpty())
        parts << about.join(QLatin1String(", "));
    QString line = parts.join(QLatin1String("  "));
    if (!port.problem.isEmpty())
        line += QLatin1String(": ") + Phrases::said(port.problem);
    return line;
}

QStringList givenPaths(const Request &request)
{
    QStringList paths;
    if (request.portsGiven) {
        for (const QString &port : request.ports)
            paths << PortMap::resolve(port);
    }
    return paths;
}

} // namespace

int runPorts(const Request &request)
{
    std::unique_ptr<QObject> simulator;
    if (!prepareLines(request, &simulator))
        return Exit::NoLine;
    const std::vector<PortList::Port> ports = PortList::list(givenPaths(request));
    if (request.format == Request::Json) {
        QJsonArray array;
        for (const PortList::Port &port : ports)
            array << portObject(port);
        print(QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n');
        return Exit::Success;
    }
    if (ports.empty())
        printError(PortsText::tr("no serial port found; is the adapter plugged in? (dmesg says what the system made of it)"));
    QByteArray text;
    for (const PortList::Port &port : ports)
        text += portLine(port).toLocal8Bit() + '\n';
    print(text);
    return Exit::Success;
}

int runScan(const Request &request)
{
    std::unique_ptr<QObject> simulator;
    if (!prepareLines(request, &simulator))
        return Exit::NoLine;
    // A READ frame goes to no built-in port that is not named, unless --all asks for it.
    const QStringList given = givenPaths(request);
    std::vector<Client::PortScan::Candidate> candidates;
    for (const PortList::Port &port : PortList::list(given)) {
        bool named = !port.usbId.isEmpty();
        for (const QString &com : port.comNames)
            named = named || PortMap::mappings().contains(com);
        for (const QString &path : given)
            named = named || PortLock::identify(path).sameDevice(PortLock::identify(port.device));
        if (named || request.scanAll)
            candidates.push_back({PortList::displayName(port), port.device});
    }
    if (candidates.empty()) {
        printError(PortsText::tr("no USB serial adapter or mapped COM port to scan; --all scans every serial port"));
        return Exit::NoLine;
    }
    std::unique_ptr<WireTrace> trace;
    if (request.trace)
        trace = WireTrace::toStandardError();
    Client::PortScan scan;
    QObject::connect(&scan, &Client::PortScan::finished, &QCoreApplication::quit);
    scan.start(candidates, request.timeoutMs, trace.get());
    QCoreApplication::exec();

    bool answered = false;
    QJsonArray array;
    QByteArray text;
    for (const Client::PortScan::Outcome &outcome : scan.outcomes()) {
        QJsonObject object = {{QStringLiteral("port"), outcome.candidate.name},
                              {QStringLiteral("device"), outcome.candidate.device},
                              {QStringLiteral("answered"), bool(outcome.block)}};
        QString line = outcome.candidate.name + QLatin1String(": ");
        if (outcome.block) {
            answered = true;
            const QString lip = Client::valueText(*Protocol::blockField(u"lip"), *outcome.block);
            const QString mac = Client::valueText(*Protocol::blockField(u"mac"), *outcome.block);
            object.insert(QStringLiteral("lip"), lip);
            object.insert(QStringLiteral("mac"), mac);
            object.insert(QStringLiteral("sn"), outcome.block->serialNumber);
            line += QStringLiteral("LIP %1, MAC %2, SN %3").arg(lip, mac).arg(outcome.block->serialNumber);
        } else {
            object.insert(QStringLiteral("problem"), outcome.problem);
            line += Phrases::said(outcome.problem);
        }
        array << object;
        text += line.toLocal8Bit() + '\n';
    }
    print(request.format == Request::Json ? QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n' : text);
    return answered ? Exit::Success : Exit::NoLine;
}
