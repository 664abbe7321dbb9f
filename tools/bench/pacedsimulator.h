// A velmora-sim --baud 115200 process beside the benchmark, as a real device
// is a box of its own: its pacing does not share the event loop of the
// program that is timed.
#pragma once

#include <QCoreApplication>
#include <QProcess>

#include <memory>

// Started and serving; the terminal it serves on in *path. nullptr if it did not start.
inline std::unique_ptr<QProcess> startPacedSimulator(QString *path)
{
    auto sim = std::make_unique<QProcess>();
    sim->start(QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-sim"),
               {QStringLiteral("--baud"), QStringLiteral("115200")});
    if (!sim->waitForReadyRead(10000))
        return nullptr;
    // "Simulated device on /dev/pts/5"
    *path = QString::fromLocal8Bit(sim->readLine().trimmed()).section(QLatin1Char(' '), -1);
    return sim;
}
