#pragma once

// The exit statuses of a run (README and the manual page hold the table of
// mode and outcome).
namespace ExitStatus {
enum : int {
    Success = 0,
    Failure = 1, // the check, or a change of the settings, failed
    Usage = 2, // the command line cannot be run; nothing was done
    PluginUnknown = 3, // -m: the UNKNOWN state, also for a usage error
    UpdatesAvailable = 100, // -j
};
} // namespace ExitStatus
