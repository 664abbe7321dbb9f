// For tests of a line's shared record: velmora-cli run as a station or a
// line command, a plan of rows no other subnet's plan shares, and the
// simulated devices of a station's lanes, served by the test's process.
#pragma once

#include "device/ptydevice.h"

#include <QProcess>
#include <QStringList>

#include <memory>
#include <vector>

// velmora-cli (or another program) as a station, or for a line command,
// while the test's event loop keeps the devices answering.
struct Station
{
    Station(const QStringList &arguments, const QProcessEnvironment &environment,
            const QString &program = QStringLiteral(VELMORA_CLI_PATH))
    {
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += QString::fromLocal8Bit(process.readAllStandardError()); });
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
    }
    bool finished() const { return process.state() == QProcess::NotRunning; }

    // err first: a process still running when a test fails is killed in
    // QProcess's destructor, and its last output still lands in err.
    QString err;
    QProcess process;
};

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// A command run to its end.
inline Run runToEnd(const QStringList &arguments, const QProcessEnvironment &environment,
                    const QString &program = QStringLiteral(VELMORA_CLI_PATH))
{
    Station command(arguments, environment, program);
    if (!command.process.waitForFinished(60000))
        qWarning("%s %s did not finish", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))));
    return {command.process.exitCode(), QString::fromLocal8Bit(command.process.readAllStandardOutput()), command.err};
}

// n rows D-1.. with lip 10.<subnet>.x.y and mac 02:<subnet>:..: no two alike,
// in a line or across lines of other subnets.
inline QByteArray linePlan(int rows, int subnet)
{
    QByteArray text = "id,lip,mac\n";
    for (int n = 1; n <= rows; ++n)
        text += QStringLiteral("D-%1,10.%2.%3.%4,02:%5:00:00:%6:%7\n")
                    .arg(n).arg(subnet).arg(n / 250).arg(n % 250 + 1)
                    .arg(subnet, 2, 16, QLatin1Char('0')).arg(n / 256, 2, 16, QLatin1Char('0'))
                    .arg(n % 256, 2, 16, QLatin1Char('0')).toUtf8();
    return text;
}

// Simulated devices for the stations' lanes.
struct Devices
{
    explicit Devices(int count, const DeviceOptions &options = {})
    {
        for (int i = 0; i < count; ++i) {
            devices.push_back(std::make_unique<PtyDevice>(options));
            devices.back()->open();
        }
    }
    // "--port PATH" for each of count devices from first.
    QStringList ports(int first, int count) const
    {
        QStringList arguments;
        for (int i = first; i < first + count; ++i)
            arguments << QStringLiteral("--port") << devices[size_t(i)]->slavePath();
        return arguments;
    }
    std::vector<std::unique_ptr<PtyDevice>> devices;
};
