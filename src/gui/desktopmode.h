#pragma once

// What the desktop program adds to the start-up of the console program (it
// gives these to korvaneMain): the desktop application object, and the run
// of the report window or the tray mode.

// Creates the desktop application object, which lives until the process
// ends, and makes messages show as message boxes.
void createDesktopApplication(int &argc, char **argv);
// The report window, or with tray the tray mode; returns when it is over.
void runDesktopMode(bool tray);
