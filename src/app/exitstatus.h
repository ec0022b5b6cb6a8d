#pragma once

struct CheckReport;

// The exit status of a run: one table of where the result went and how the
// run ended (README and the manual page hold it too, and
// tests/e2e/exit_status.py runs every row).
enum class Output {
    Console, // -c, and -h, -s, -p, -k, --version
    Json, // -j, -o
    Plugin, // -m
    Window, // the report window and the tray mode
};
enum class Outcome {
    Done, // printed, or shown in a window
    NoUpdates,
    Updates,
    SecurityUpdates,
    NoProducts, // what a check run as another user than the installation's owner finds
    Failed, // the check, reading a stored report, or a change of the settings
    UsageError, // the command line cannot be run; nothing was done
    NotWritten, // standard output, the report file or the metrics file
};

int exitStatus(Output output, Outcome outcome);
// The outcome of a check.
Outcome outcomeOf(const CheckReport &report);
