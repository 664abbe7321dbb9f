// Carries out a checked request against the device and prints the outcome:
// results on stdout, diagnostics on stderr prefixed "velmora-cli: ".
#pragma once

#include "commandline.h"

#include <QObject>

#include <memory>

// Runs the event loop until the request is done; returns the exit status.
int runRequest(const Request &request);

// Each line of message on stderr, prefixed with the program's name.
void printError(const QString &message);

// Where the request asks for it (--simulate): a simulated device that COM1
// opens, kept alive by what is returned. Before that, the port mappings saved
// for every program are applied. False after printing why the device could
// not start.
bool prepareLines(const Request &request, std::unique_ptr<QObject> *simulator);
