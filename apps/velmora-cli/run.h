// Carries out a checked request against the device and prints the outcome:
// results on stdout, diagnostics on stderr prefixed "velmora-cli: ".
#pragma once

#include "commandline.h"

// Runs the event loop until the request is done; returns the exit status.
int runRequest(const Request &request);

// One line on stderr, prefixed with the program's name.
void printError(const QString &message);
