#pragma once

// The whole run of the program: mode choice, application object, settings,
// log, the switches, product discovery and one check in the chosen mode.
// Returns the exit status (always 0).
int korvaneMain(int &argc, char **argv);

void initLogging();
void logArgs();
void printUsage();
