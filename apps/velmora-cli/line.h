// velmora-cli line: the shared record of a production line, made, loaded,
// watched, exported and settled from a shell.
#pragma once

#include "commandline.h"

#include "line/connection.h"

class StopSignals;

// Returns the exit status; line status --watch runs until a stop signal.
int runLine(const Request &request, StopSignals &stopSignals);
