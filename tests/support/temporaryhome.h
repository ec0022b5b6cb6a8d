#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A throw-away home directory for a test that runs the program's code in its
// own process: HOME points to it, and so does the settings store (QSettings
// caches its paths, so HOME alone is not enough once settings were used);
// the site-wide settings are looked for in it too.
class TemporaryHome
{
public:
    TemporaryHome();

    QString path() const { return m_dir.path(); }
    // Creates the file and its directories; "@HOME@" in the content becomes
    // the home's path. Returns the file's absolute path.
    QString writeFile(const QString &relative, const QByteArray &content) const;
    // The settings file the program uses with this home.
    QString settingsFile() const;

private:
    QTemporaryDir m_dir;
};
