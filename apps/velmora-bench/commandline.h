// velmora-bench's command line, for fixtures and desktop shortcuts:
//   velmora-bench [PLAN.csv] [--log LOG.csv] [--port PORT]... [--simulate N]
//                 [--auto | --no-prompt] [--start] [--quit-when-done]
//   velmora-bench --record URL --line NAME [--station NAME] [--port PORT]... ...
#pragma once

#include "batch/batchrun.h"
#include "line/stationplace.h"

#include <QString>
#include <QStringList>

struct BenchOptions
{
    QString planFile;
    QString logFile;  // empty: PLAN.log.csv beside the plan
    std::optional<Line::StationPlace> line;  // a line of a shared record, in place of a plan
    QStringList ports;
    int simulate = 0;
    Batch::Waiting waiting = Batch::Waiting::Prompt;
    bool waitingGiven = false;
    bool start = false;
    bool quitWhenDone = false;
    int recordWaitSeconds = 0;  // --record: how long to wait for it at the start
};

struct BenchCommandLine
{
    bool exit = false;  // --help, --version or an error: print output, exit with exitCode
    int exitCode = 0;
    QString output;     // for stdout when exitCode is 0, else an error for stderr
    BenchOptions options;
};

// arguments includes the program name.
BenchCommandLine parseBenchCommandLine(const QStringList &arguments);
