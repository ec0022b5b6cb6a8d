#pragma once

#include <QFileDevice>
#include <QString>
#include <QStringList>

class QWidget;

// Helpers shared by the whole program: the environment, and messages for the
// user. The network, matching and autostart helpers of this namespace are
// declared beside their definitions in the folders that hold them.
namespace Utils {

// The application object is a desktop one (a QApplication).
bool isGuiApp();

// A message for the user: a box on the desktop when a presenter for boxes is
// installed, otherwise the console line "<<<< text >>>>" (the title is then
// not shown).
void InfoMsg(const QString &title, const QString &text, QWidget *parent);
void ErrorMsg(const QString &title, const QString &text, QWidget *parent);

enum class MessageKind { Information, Critical };
using MessagePresenter
    = void (*)(MessageKind kind, const QString &title, const QString &text, QWidget *parent);
// Installed once at start-up by the desktop front end; used only while there
// is a desktop application object.
void setMessagePresenter(MessagePresenter presenter);

QString fileErrorToString(const QFileDevice::FileError &error);
// The folder above the one that holds the executable.
QString korvaneRootDir();
// The folder of the user's configuration: $XDG_CONFIG_HOME when it is an
// absolute path (a relative one is ignored, as the XDG base-directory rules
// ask), else $HOME/.config; empty when neither names an absolute folder other
// than the root folder.
QString configHome(const QString &xdgConfigHome, const QString &home);
// The folders of site-wide configuration, in order of precedence: the
// absolute entries of $XDG_CONFIG_DIRS (relative ones are ignored, as for
// configHome), or /etc/xdg when it names none.
QStringList configDirs(const QString &xdgConfigDirs);
// Creates the missing folders of the path one level at a time with mode 0700
// (a fresh account may lack ~/.config too); true when the path is a folder.
bool makeOwnerOnlyDirectory(const QString &path);

} // namespace Utils
