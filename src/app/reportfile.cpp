#include "app/reportfile.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

// Far above any report: one machine's products, patches and updates.
constexpr qint64 kMaxSize = 64 * 1024 * 1024;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

namespace ReportFile {

QString write(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName()
        + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    // On the disk before it takes the old report's place.
    if (::fsync(file.handle()) != 0)
        return systemError();
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner
            | QFileDevice::ReadGroup | QFileDevice::ReadOther))
        return file.errorString();
    // rename() replaces a link at the path itself; QSaveFile would write
    // through it to its target.
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
            QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        return systemError();
    file.setAutoRemove(false);
    return QString();
}

std::optional<QByteArray> read(const QString &path, QString *problem)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *problem = QObject::tr("it does not exist");
        return std::nullopt;
    }
    if (!info.isFile()) {
        *problem = QObject::tr("it is not a regular file");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.read(kMaxSize + 1);
    if (bytes.size() > kMaxSize) {
        *problem = QObject::tr("it is larger than %1 MiB").arg(kMaxSize / (1024 * 1024));
        return std::nullopt;
    }
    if (file.error() != QFileDevice::NoError) {
        *problem = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

} // namespace ReportFile
