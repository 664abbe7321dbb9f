// velmora-cli ports and scan: which serial ports there are, and which of
// them a device answers on.
#pragma once

#include "commandline.h"

// Lists the ports; returns the exit status.
int runPorts(const Request &request);
// Sends READ to each candidate port at once; 0 if a device answered, Exit::NoLine if none did.
int runScan(const Request &request);
