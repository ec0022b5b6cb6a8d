#pragma once

#include <QString>

// The login autostart entry "Korvane.desktop", which makes the desktop run
// korvane_alert (the tray check) when the user logs on.
namespace Utils {

// Writes the entry (replacing an older one only once the new one is complete);
// creates the missing folders readable by the owner only. Shows an error box
// and returns false when it cannot.
bool createStartupLaunchEntry();
// Deletes the entry; a missing entry is fine.
void removeStartupLaunchEntry();
// Whether the entry is there.
bool startupEntryInPlace();
// Creates or removes the entry for the "Check for updates when you log on"
// choice, and stores as checkAtLogin whether it is in place then (an entry
// that could not be written or removed keeps the choice from taking effect).
// Returns that state, for the check box to show.
bool saveCheckAtLogin(bool checked);

// The folder the desktop reads at log-in: $XDG_CONFIG_HOME/autostart when that
// is an absolute path, else $HOME/.config/autostart. Empty when neither
// variable names a usable folder (the root folder never is one).
QString autostartDirectory(const QString &xdgConfigHome, const QString &home);
// A program path as one argument of an Exec key, quoted and escaped as desktop
// entries require.
QString desktopExecArgument(const QString &path);
// Text as the value of a string key of a desktop entry (TryExec), escaped.
QString desktopStringValue(const QString &text);
// The entry's whole text for a launcher at the given path.
QString startupEntryText(const QString &launcherPath);

} // namespace Utils
