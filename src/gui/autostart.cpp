#include "gui/autostart.h"

#include "core/common.h"
#include "core/logger.h"
#include "core/utils.h"

#include <QDir>
#include <QObject>
#include <QSaveFile>

namespace {

const QString desktopStartupFile = QStringLiteral("Korvane.desktop");

QString entryDirectory()
{
    return Utils::autostartDirectory(
        qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME"));
}

} // namespace

QString Utils::autostartDirectory(const QString &xdgConfigHome, const QString &home)
{
    const QString config = configHome(xdgConfigHome, home);
    return config.isEmpty() ? QString() : config + QStringLiteral("/autostart");
}

QString Utils::desktopExecArgument(const QString &path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (const QChar c : path)
        quote = quote || reserved.contains(c);
    QString argument;
    if (quote) {
        argument += QLatin1Char('"');
        for (const QChar c : path) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                argument += QLatin1Char('\\');
            argument += c;
        }
        argument += QLatin1Char('"');
    } else {
        argument = path;
    }
    argument.replace(QLatin1Char('%'), QStringLiteral("%%")); // not a field code
    // The key's value is itself an escaped string, read before the quoting.
    return desktopStringValue(argument);
}

QString Utils::desktopStringValue(const QString &text)
{
    QString value;
    for (const QChar c : text) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QString Utils::startupEntryText(const QString &launcherPath)
{
    // GLib (GNOME and the other GLib desktops) skips an entry whose program
    // it cannot find as written, "%%" and all; as the argument of sh, "%%"
    // is read as "%".
    const QString exec = launcherPath.contains(QLatin1Char('%'))
        ? QStringLiteral("/bin/sh ") + desktopExecArgument(launcherPath)
        : desktopExecArgument(launcherPath);
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Exec=")
        + exec
        // Without the launcher (its package removed) the desktop skips the entry.
        + QStringLiteral("\nTryExec=") + desktopStringValue(launcherPath)
        + QStringLiteral("\n"
                         "Hidden=false\n"
                         "X-GNOME-Autostart-enabled=true\n"
                         "Name[en_US]=Korvane\n"
                         "Name=Korvane\n"
                         "Comment[en_US]=\n"
                         "Comment=\n"
                         "\n");
}

bool Utils::createStartupLaunchEntry()
{
    const QString directory = entryDirectory();
    if (directory.isEmpty()) {
        ErrorMsg(QObject::tr("Error Creating Directory"),
            QObject::tr("The login autostart entry was not written: neither XDG_CONFIG_HOME "
                        "nor HOME names an absolute folder."),
            nullptr);
        return false;
    }
    if (!makeOwnerOnlyDirectory(directory)) {
        ErrorMsg(QObject::tr("Error Creating Directory"),
            QObject::tr("Failed to create autostart folder") + QStringLiteral(":\n\n")
                + QDir::toNativeSeparators(directory),
            nullptr);
        return false;
    }

    const QString path = directory + QDir::separator() + desktopStartupFile;
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("Creating startup script: %1").arg(path));
    // The old entry stays in place until the new one is complete. QSaveFile
    // buffers, and commit() does not see a failure of its last flush: flush
    // first, and leave the entry alone unless everything was written.
    const QByteArray text
        = startupEntryText(korvaneRootDir() + QDir::separator() + QStringLiteral("korvane_alert"))
              .toUtf8();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(text) == text.size()
        && file.flush() && file.commit())
        return true;
    ErrorMsg(QObject::tr("File Error"),
        QObject::tr("An error occured while creating startup script")
            + QStringLiteral(":\n\n%1\n\n").arg(QDir::toNativeSeparators(path))
            + QObject::tr("Error: %1").arg(fileErrorToString(file.error())),
        nullptr);
    return false;
}

void Utils::removeStartupLaunchEntry()
{
    const QString directory = entryDirectory();
    if (directory.isEmpty())
        return; // nothing can have been written
    const QString path = directory + QDir::separator() + desktopStartupFile;
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("Removing startup script: %1").arg(path));
    QFile::remove(path);
}

bool Utils::startupEntryInPlace()
{
    const QString directory = entryDirectory();
    return !directory.isEmpty()
        && QFile::exists(directory + QDir::separator() + desktopStartupFile);
}

bool Utils::saveCheckAtLogin(bool checked)
{
    if (checked)
        createStartupLaunchEntry();
    else
        removeStartupLaunchEntry();
    // The entry decides what the next log-on does, so the choice stored and
    // shown is whether it is there, not what was asked for.
    const bool inPlace = startupEntryInPlace();
    Common *store = Common::instance();
    store->checkAtLogin = inPlace;
    if (!store->saveSettings())
        store->showWriteError();
    return inPlace;
}
