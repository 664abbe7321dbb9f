// velmora-cli's command line: a command, its values, and how to reach the
// device. Everything is checked here, before the line is opened.
#pragma once

#include "batch/batchrun.h"
#include "batch/plan.h"
#include "client/values.h"
#include "shell/exitstatus.h"

#include <QMap>
#include <QString>
#include <QStringList>


struct Request
{
    enum Command { Read, Set, SetAll, Reset, GeneratePlan, RunBatch, ListPorts, Scan, Line };
    enum LineCommand { LineInit, LineLoad, LineStatus, LineExport, LineResolve };
    enum Format { Report, Json, Profile };

    Command command = Read;
    Format format = Report;  // read
    Client::ValueSet values; // set, set-all (a profile's values and then the arguments')
    bool verify = false;
    QString port = QStringLiteral("COM1");
    QStringList ports = {port};  // batch: a lane each
    bool portsGiven = false;     // ports, scan: --port was given
    QMap<QString, QString> mappings;  // COMn=DEVICE given, over the saved ones
    bool simulate = false;
    int timeoutMs = 1000;
    int retries = 2;
    bool trace = false;

    // batch
    QString planFile;
    Batch::Plan plan;  // read and checked
    QString logFile;
    Batch::Waiting waiting = Batch::Waiting::Prompt;
    int portWaitSeconds = 30;

    // scan
    bool scanAll = false;

    // batch --record, line
    QString record;  // the shared record's address, as given (checked)
    QString lineName;
    QString station;  // batch: the host name unless given
    int recordWaitSeconds = 0;  // batch: how long to wait for the record at the start
    Batch::PlanChecks checks;  // line load, as batch checks a plan
    // line
    LineCommand lineCommand = LineStatus;
    QStringList allowReuse;  // line load
    bool watch = false;      // line status
    QString outFile;         // line export; stdout when empty
    int resolveRow = 0;      // line resolve
    bool resolveAsOk = false;
};

struct CommandLine
{
    bool exit = false;  // nothing to run: print output, exit with exitCode
    int exitCode = Exit::Success;
    QString output;     // for stdout on Success, else error lines for stderr
    Request request;
};

// arguments includes the program name. Reads a profile file or a batch's
// plan if one is given; plan's rows are the output.
CommandLine parseCommandLine(const QStringList &arguments);
