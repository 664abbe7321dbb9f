// velmora-cli's command line: a command, its values, and how to reach the
// device. Everything is checked here, before the line is opened.
#pragma once

#include "client/values.h"

#include <QString>
#include <QStringList>

enum ExitCode {
    Success = 0,         // done, and verified where asked to
    DeviceRefused = 1,   // the device answered with a failure reply
    UsageError = 2,      // bad command line, value or profile: nothing was sent
    NoLine = 3,          // the port cannot be opened, or no answer after the retries
    VerifyMismatch = 4,  // --verify found a value the device does not hold
};

struct Request
{
    enum Command { Read, Set, SetAll, Reset };
    enum Format { Report, Json, Profile };

    Command command = Read;
    Format format = Report;  // read
    Client::ValueSet values; // set, set-all (a profile's values and then the arguments')
    bool verify = false;
    QString port = QStringLiteral("COM1");
    bool simulate = false;
    int timeoutMs = 1000;
    int retries = 2;
    bool trace = false;
};

struct CommandLine
{
    bool exit = false;  // nothing to run: print output, exit with exitCode
    int exitCode = Success;
    QString output;     // for stdout on Success, else a one-line error for stderr
    Request request;
};

// arguments includes the program name. Reads a profile file if one is given.
CommandLine parseCommandLine(const QStringList &arguments, bool simulatorAvailable);
