// velmora-cli batch: the plan's rows given to devices on one or more ports,
// each recorded in the log, progress on stderr, until the plan is done, q
// is answered or SIGINT or SIGTERM comes.
#pragma once

#include "commandline.h"

class StopSignals;

// Runs the event loop until the batch is done; returns the exit status.
// stopSignals were installed (if catching) before anything else was done:
// a signal caught since stops the batch before its first device.
int runBatch(const Request &request, StopSignals &stopSignals, bool catching);
