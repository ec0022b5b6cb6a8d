#pragma once

// The whole run of the program: mode choice, application object, settings,
// log, the switches, product discovery and one check in the chosen mode.
// Returns the exit status: 0, or that of the -j or -m report.
int korvaneMain(int &argc, char **argv);

void initLogging();
void logArgs();
void printUsage();
