#include "temporaryhome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

TemporaryHome::TemporaryHome()
    : m_dir(QDir::tempPath() + QStringLiteral("/korvane-home-XXXXXX"))
{ }

QString TemporaryHome::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString fullPath = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(fullPath).absolutePath());
    QFile file(fullPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return fullPath;
}

QByteArray TemporaryHome::readFile(const QString &relative) const
{
    QFile file(m_dir.filePath(relative));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString TemporaryHome::settingsFile() const
{
    return m_dir.filePath(QStringLiteral(".config/Zedo/Korvane.conf"));
}

void TemporaryHome::useForSettings() const
{
    QSettings::setPath(
        QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral(".config")));
}

QFileDevice::Permissions TemporaryHome::permissionBits(const QString &path)
{
    return QFileInfo(path).permissions()
        & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}
