// Velmora's command line, parsed before any window exists so that --help,
// --version and a malformed option work without a display.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct PortMapping
{
    QString comName;
    QString device;
};

struct CommandLine
{
    enum Action { Run, Exit };

    Action action = Run;
    int exitCode = 0;
    QString output;  // for stdout when exiting with 0, for stderr otherwise
    // An option unknown here may be one of Qt's own (-platform, -style), which
    // only QApplication knows: parse again once it has taken those out.
    bool unknownOption = false;

    QList<PortMapping> ports;
    bool trace = false;
    bool simulate = false;
    bool savePorts = false;    // remember ports for later runs, then start
    bool forgetPorts = false;  // forget the remembered ones, then exit
};

// arguments includes the program name, like QCoreApplication::arguments().
CommandLine parseCommandLine(const QStringList &arguments);

// The ports of this run: the saved mappings, then --port's over them; with
// --save-ports, --port's are saved too. False if saving failed.
bool applyPortOptions(const CommandLine &commandLine);
