#pragma once

// The steps of a run after the switches: discovery of the installed products,
// then one check presented in the chosen mode.

// How console mode presents the check: the text report (-c), one JSON
// document (-j) or a monitoring plugin's output (-m).
enum class ReportFormat { Text, Json, Plugin };

void discoverInstalledProducts();
// Returns the exit status: for the text report 0, or 1 when the check failed;
// the format's own otherwise.
int runConsoleMode(ReportFormat format);
void runDesktopMode(bool tray);
