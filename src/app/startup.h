#pragma once

#include <QString>
#include <QStringList>

// What the desktop program brings to a run: the desktop application object
// and the windows. The console program has none, and hands a run that shows
// windows over to the desktop program (app/handover.h).
struct DesktopFrontEnd
{
    void (*createApplication)(int &argc, char **argv);
    void (*run)(bool tray);
    // Where the console program that handed the run over waits for its start
    // (app/handover.h); -1 when none did.
    int startedDescriptor;
};

// The whole run of the program: mode choice, application object, settings,
// log, the switches, product discovery and one check in the chosen mode.
// Returns the exit status (app/exitstatus.h).
int korvaneMain(int &argc, char **argv, const DesktopFrontEnd *desktop);

// Where and how much the -l and -v switches log, and why a -v value was not
// taken as it stands (empty when it was).
struct LogSwitches
{
    QString path;
    int level;
    QString problem;
};
LogSwitches logSwitches(const QStringList &arguments, const QString &defaultPath);

void initLogging();
void logArgs();
void printUsage();
// The status to end with: the given one, unless standard output could not be
// written (then one line on standard error says so).
int outputStatus(int status, bool plugin);
