#pragma once

#include <QByteArray>

struct DownloadSettings;

// What the desktop program adds to the start-up of the console program (it
// gives these to korvaneMain): the desktop application object, and the run
// of the report window or the tray mode.

// Creates the desktop application object on the platform given (empty: Qt's
// own choice), which lives until the process ends, and makes messages show
// as message boxes.
void createDesktopApplication(int &argc, char **argv, const QByteArray &platform);
// The report window, or with tray the tray mode, downloading as the settings
// say; returns when it is over.
void runDesktopMode(bool tray, const DownloadSettings &settings);
