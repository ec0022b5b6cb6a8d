#pragma once

#include <QByteArray>
#include <QString>

struct DownloadSettings;
struct RunOptions;

// What the desktop program brings to a run: the desktop application object
// and the windows. The console program has none, and hands a run that shows
// windows over to the desktop program (app/handover.h).
struct DesktopFrontEnd
{
    // The platform is the one Qt is to be told to use; empty: Qt's choice.
    void (*createApplication)(int &argc, char **argv, const QByteArray &platform);
    void (*run)(bool tray, const DownloadSettings &settings);
    // The descriptor on which the console program that started this one
    // waits for the check to start; -1 when none did (app/handover.h).
    int startedDescriptor = -1;
};

// The whole run of the program: the options read once, the mode chosen, and
// the run in that mode: the application object, settings, log, the settings
// switches, product discovery and one check. Returns the exit status
// (app/exitstatus.h).
int korvaneMain(int &argc, char **argv, const DesktopFrontEnd *desktop);

// Where and how much -l and -v make the run log, and why a -v value was not
// taken as it stands (empty when it was).
struct LogSwitches
{
    QString path;
    int level;
    QString problem;
};
LogSwitches logSwitches(const RunOptions &options, const QString &defaultPath);
