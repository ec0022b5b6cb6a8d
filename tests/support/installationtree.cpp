#include "installationtree.h"

#include "temporaryhome.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>

#include <sys/stat.h>

InstallationTree::InstallationTree(const TemporaryHome &home)
    : m_home(home)
{ }

QString InstallationTree::propertiesFileName(const QString &suffix)
{
    return QStringLiteral(".ZEDO.properties.") + QHostInfo::localHostName() + QLatin1Char('.')
        + suffix;
}

QString InstallationTree::writeProperties(const QString &suffix, const QByteArray &content) const
{
    QByteArray text = content;
    text.replace("@HOME@", m_home.path().toUtf8());
    return m_home.writeFile(propertiesFileName(suffix), text);
}

QString InstallationTree::addProduct(
    const QString &relativeDir, const QByteArray &buildNumber) const
{
    m_home.writeFile(relativeDir + QStringLiteral("/.Setup/build_number"), buildNumber);
    return m_home.filePath(relativeDir);
}

QString InstallationTree::writePatchLog(
    const QString &relativeDir, const QString &logName, const QByteArray &content) const
{
    return m_home.writeFile(relativeDir + QLatin1Char('/') + logName, content);
}

bool InstallationTree::place(
    const QString &relative, EntryKind kind, const QByteArray &content) const
{
    const QString path = m_home.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    switch (kind) {
    case EntryKind::File:
        m_home.writeFile(relative, content);
        return QFileInfo(path).isFile();
    case EntryKind::Directory:
        return QDir().mkpath(path);
    case EntryKind::Fifo:
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    case EntryKind::DanglingLink:
        return QFile::link(m_home.filePath(QStringLiteral("nowhere")), path);
    case EntryKind::LinkToFile:
        return QFile::link(
            m_home.writeFile(QStringLiteral("link-targets/") + relative, content), path);
    case EntryKind::Missing:
        return !QFileInfo::exists(path);
    }
    return false;
}

bool InstallationTree::copySample() const
{
    const QString source
        = qEnvironmentVariable("KORVANE_SOURCE_DIR") + QStringLiteral("/examples/sample-home");
    if (!QFileInfo(source).isDir())
        return false;
    const QString templatePrefix = QStringLiteral("ZEDO.properties.");
    QDirIterator it(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    bool copied = false;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(source).relativeFilePath(path);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray content = file.readAll();
        if (relative.startsWith(templatePrefix))
            writeProperties(relative.mid(templatePrefix.size()), content);
        else
            m_home.writeFile(relative, content);
        copied = true;
    }
    return copied;
}
