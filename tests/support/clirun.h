// velmora-cli run as a process by a test whose event loop keeps simulated
// devices answering meanwhile. The test target defines VELMORA_CLI_PATH.
#pragma once

#include "device/ptydevice.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStringList>

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline Run cli(const QStringList &arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(VELMORA_CLI_PATH), arguments);
    if (!finished.wait(30000))
        qWarning("velmora-cli %s did not finish", qPrintable(arguments.join(QLatin1Char(' '))));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// A simulated device that counts the frames it received.
struct Device
{
    explicit Device(DeviceOptions options = {}) : device(verbose(options))
    {
        QObject::connect(&device, &PtyDevice::logLine, [this] { ++frames; });
        device.open();
    }
    QString path() const { return device.slavePath(); }
    Run run(const QStringList &arguments) { return cli(QStringList{"--port", path()} + arguments); }
    QByteArray bytes() const { return device.model().parameters().toBytes(); }

    static DeviceOptions verbose(DeviceOptions options)
    {
        options.verbose = true;  // a log line per frame received
        return options;
    }

    PtyDevice device;
    int frames = 0;
};
