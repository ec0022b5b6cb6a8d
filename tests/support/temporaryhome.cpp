#include "temporaryhome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

TemporaryHome::TemporaryHome()
    : m_dir(QDir::tempPath() + QStringLiteral("/korvane-home-XXXXXX"))
{
    QCoreApplication::setOrganizationName(QStringLiteral("Zedo"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    qputenv("HOME", m_dir.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_DIRS", m_dir.filePath(QStringLiteral("xdg")).toLocal8Bit()); // not /etc/xdg
    QSettings::setPath(
        QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral(".config")));
}

QString TemporaryHome::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString fullPath = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(fullPath).absolutePath());
    QFile file(fullPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QByteArray(content).replace("@HOME@", m_dir.path().toUtf8()));
    return fullPath;
}

QString TemporaryHome::settingsFile() const
{
    return m_dir.filePath(QStringLiteral(".config/Zedo/Korvane.conf"));
}
