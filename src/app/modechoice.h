#pragma once

#include <QString>

struct RunOptions;

// What a run does, chosen from its options and its surroundings alone.
enum class Mode {
    Refused, // the command line cannot be run
    Version, // --version
    Usage, // -h
    Stored, // -f: a stored report, without a check
    ShowProxy, // -s, after -p or -k
    Console, // the check, on standard output
    Window, // the check in the report window
    Tray, // the check in the tray mode
};

// What the run finds around it.
struct Environment
{
    bool display = false; // there is a display to show windows on
    bool windows = false; // this is korvane-desktop, or it is installed beside
};

struct ModeChoice
{
    Mode mode = Mode::Console;
    // Why a run that would show a window runs in console mode instead (for
    // the log); empty when it does not.
    QString consoleReason;
    bool tellNow = false; // the reason is said on standard error too, at once
};

ModeChoice chooseMode(const RunOptions &options, const Environment &environment);
