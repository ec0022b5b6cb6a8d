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
// Stores the "Check for updates when you log on" choice as checkAtLogin,
// saving the settings, and creates or removes the entry to match.
void saveCheckAtLogin(bool checked);

// The folder the desktop reads at log-in: $XDG_CONFIG_HOME/autostart when that
// is an absolute path, else $HOME/.config/autostart. Empty when neither
// variable names a usable folder (the root folder never is one).
QString autostartDirectory(const QString &xdgConfigHome, const QString &home);
// A program path as one argument of an Exec key, quoted and escaped as desktop
// entries require.
QString desktopExecArgument(const QString &path);
// The entry's whole text for a launcher at the given path.
QString startupEntryText(const QString &launcherPath);

} // namespace Utils
