#pragma once

#include <QString>

#include <optional>

// The console program (korvane) links no GUI library; a run that shows a
// window is handed over to the desktop program beside it (korvane-desktop,
// its own package) with the same arguments. The desktop program tells when it
// has opened the display: Qt aborts a program whose display refuses it, so
// the console program runs the check itself when its child ends before that.
namespace Handover {

constexpr const char *kDesktopProgram = "korvane-desktop";

// Whether the desktop program is installed beside this one.
bool desktopInstalled();

// Runs the desktop program as a child and returns its exit status, once it
// has told that its check starts. Nothing when it could not be started, ended
// before its check started, or did not start it within the time limit (then
// it is stopped); *reason then says why.
std::optional<int> runDesktop(char **argv, QString *reason, int startLimitMs = 30000);

// In the desktop program, before anything else: the descriptor on which the
// console program that started it waits, or -1. The variable that names it is
// removed, and the descriptor is closed on exec, so that the programs this one
// starts see neither. Only a pipe above standard error is taken: standard
// output may be a pipe too.
int takeStartedDescriptor();
// Tells the console program on that descriptor (-1: none) that the
// application object exists and the check starts.
void signalStarted(int descriptor);

} // namespace Handover
