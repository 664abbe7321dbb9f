// velmora-cli batch: the plan's rows given to devices on one or more ports,
// each recorded in the log, progress on stderr, until the plan is done, q
// is answered or SIGINT or SIGTERM comes.
#pragma once

#include "commandline.h"

// Runs the event loop until the batch is done; returns the exit status.
int runBatch(const Request &request);
