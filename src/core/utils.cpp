#include "core/utils.h"

#include "core/console.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QObject>

namespace {

Utils::MessagePresenter s_presenter = nullptr;

void showMessage(
    Utils::MessageKind kind, const QString &title, const QString &text, QWidget *parent)
{
    if (s_presenter && Utils::isGuiApp())
        s_presenter(kind, title, text, parent);
    else
        Console::writeLine(QStringLiteral("<<<< ") + text + QStringLiteral(" >>>>"));
}

// An absolute folder other than the root folder, cleaned; empty otherwise.
QString usableFolder(const QString &path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return QString();
    const QString cleaned = QDir::cleanPath(path);
    return cleaned == QLatin1String("/") ? QString() : cleaned;
}

} // namespace

bool Utils::isGuiApp()
{
    // Asked by class name, so that this layer needs no widgets.
    const QCoreApplication *app = QCoreApplication::instance();
    return app && app->inherits("QApplication");
}

void Utils::InfoMsg(const QString &title, const QString &text, QWidget *parent)
{
    showMessage(MessageKind::Information, title, text, parent);
}

void Utils::ErrorMsg(const QString &title, const QString &text, QWidget *parent)
{
    showMessage(MessageKind::Critical, title, text, parent);
}

void Utils::setMessagePresenter(MessagePresenter presenter)
{
    s_presenter = presenter;
}

QString Utils::fileErrorToString(const QFileDevice::FileError &error)
{
    switch (error) {
    case QFileDevice::NoError:
        return QObject::tr("No error occurred.");
    case QFileDevice::ReadError:
        return QObject::tr("An error occurred when reading from the file.");
    case QFileDevice::WriteError:
        return QObject::tr("An error occurred when writing to the file.");
    case QFileDevice::FatalError:
        return QObject::tr("A fatal error occurred.");
    case QFileDevice::ResourceError:
        return QObject::tr("Resource error.");
    case QFileDevice::OpenError:
        return QObject::tr("The file could not be opened.");
    case QFileDevice::AbortError:
        return QObject::tr("The operation was aborted.");
    case QFileDevice::TimeOutError:
        return QObject::tr("A timeout occurred.");
    case QFileDevice::UnspecifiedError:
        return QObject::tr("An unspecified error occurred.");
    case QFileDevice::RemoveError:
        return QObject::tr("The file could not be removed.");
    case QFileDevice::RenameError:
        return QObject::tr("The file could not be renamed.");
    case QFileDevice::PositionError:
        return QObject::tr("The position in the file could not be changed.");
    case QFileDevice::ResizeError:
        return QObject::tr("The file could not be resized.");
    case QFileDevice::PermissionsError:
        return QObject::tr("The file could not be accessed.");
    case QFileDevice::CopyError:
        return QObject::tr("The file could not be copied.");
    }
    return QString();
}

QString Utils::korvaneRootDir()
{
    const QString path = QCoreApplication::applicationDirPath() + QDir::separator()
        + QStringLiteral("..") + QDir::separator();
    return QDir(path).absolutePath();
}

QString Utils::configHome(const QString &xdgConfigHome, const QString &home)
{
    const QString config = usableFolder(xdgConfigHome);
    if (!config.isEmpty())
        return config;
    const QString homeFolder = usableFolder(home);
    return homeFolder.isEmpty() ? QString() : homeFolder + QStringLiteral("/.config");
}

QStringList Utils::configDirs(const QString &xdgConfigDirs)
{
    QStringList folders;
    for (const QString &entry : xdgConfigDirs.split(QLatin1Char(':'))) {
        const QString folder = usableFolder(entry);
        if (!folder.isEmpty() && !folders.contains(folder))
            folders.append(folder);
    }
    return folders.isEmpty() ? QStringList {QStringLiteral("/etc/xdg")} : folders;
}

bool Utils::makeOwnerOnlyDirectory(const QString &path)
{
    // mkpath would follow the umask, which may leave the folders open to everyone.
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    return parent != info.absoluteFilePath() && makeOwnerOnlyDirectory(parent)
        && QDir().mkdir(
            path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
