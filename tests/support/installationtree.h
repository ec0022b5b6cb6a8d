#pragma once

#include <QByteArray>
#include <QString>

class TemporaryHome;

// What can stand at a path where the program expects a file.
enum class EntryKind { File, Directory, Fifo, DanglingLink, LinkToFile, Missing };

// Lays out, inside a temporary home, the files that an installation of the
// products leaves behind: properties files named for this host, build-number
// files and patch logs.
class InstallationTree
{
public:
    explicit InstallationTree(const TemporaryHome &home);

    // ".ZEDO.properties." + this machine's host name + "." + suffix
    static QString propertiesFileName(const QString &suffix);

    // Writes a properties file in the home; "@HOME@" in the content becomes the
    // home's path. Returns the file's path.
    QString writeProperties(const QString &suffix, const QByteArray &content) const;
    // Creates the product directory with its ".Setup/build_number"; returns the
    // directory's absolute path.
    QString addProduct(const QString &relativeDir, const QByteArray &buildNumber) const;
    // Writes a patch log into a product directory; returns its path.
    QString writePatchLog(
        const QString &relativeDir, const QString &logName, const QByteArray &content) const;

    // Puts an entry of the given kind at a path inside the home (a link's
    // target gets the content). False when that could not be done.
    bool place(const QString &relative, EntryKind kind, const QByteArray &content = {}) const;

    // Copies the bundled sample installation into the home as the sample
    // command does. False when the sample cannot be found or copied.
    bool copySample() const;

private:
    const TemporaryHome &m_home;
};
