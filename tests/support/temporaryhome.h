#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QTemporaryDir>

// A throw-away home directory. For tests that run in-process it also points
// the settings store there (QSettings caches its paths, so HOME alone is not
// enough once settings were used).
class TemporaryHome
{
public:
    TemporaryHome();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }

    // Creates the file and its directories; returns its absolute path.
    QString writeFile(const QString &relative, const QByteArray &content) const;
    QByteArray readFile(const QString &relative) const;

    // The settings file the program uses with this home.
    QString settingsFile() const;

    // The owner, group and other permission bits of a file (not the
    // "current user" duplicates QFileInfo adds).
    static QFileDevice::Permissions permissionBits(const QString &path);
    static constexpr QFileDevice::Permissions ownerReadWrite()
    {
        return QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    }

    // Makes QSettings of this process use this home's configuration folder.
    void useForSettings() const;

private:
    QTemporaryDir m_dir;
};
