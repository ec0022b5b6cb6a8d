#include "app/reportfile.h"

#include "app/reportreader.h"
#include "core/safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Read at once.
constexpr qsizetype kPiece = 256 * 1024;

QString systemError(int error = errno)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor when it goes.
struct Descriptor
{
    int value;
    ~Descriptor()
    {
        if (value >= 0)
            ::close(value);
    }
};

} // namespace

namespace ReportFile {

QString targetProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) {
            // A link is replaced, not followed; but one that leads to
            // something other than a report says that this is not its place.
            struct stat target
            {
            };
            if (::stat(name.constData(), &target) == 0 && !S_ISREG(target.st_mode)) {
                return QObject::tr("it is a link to %1, not a report file")
                    .arg(SafeFile::kindOf(target.st_mode));
            }
        } else if (!S_ISREG(info.st_mode)) {
            return QObject::tr("it is %1, not a report file").arg(SafeFile::kindOf(info.st_mode));
        }
    } else if (errno != ENOENT && errno != ENOTDIR) {
        return systemError();
    }
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray folderName = QFile::encodeName(folder);
    if (::stat(folderName.constData(), &info) != 0)
        return QObject::tr("the folder %1 cannot be used: %2").arg(folder, systemError());
    if (!S_ISDIR(info.st_mode))
        return QObject::tr("%1 is not a folder").arg(folder);
    if (::access(folderName.constData(), W_OK | X_OK) != 0)
        return QObject::tr("the folder %1 cannot be written: %2").arg(folder, systemError());
    return QString();
}

QString write(const QString &path, const QByteArray &bytes)
{
    // Never in the place of a device or a FIFO, whoever calls.
    if (const QString problem = targetProblem(path); !problem.isEmpty())
        return problem;
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

std::optional<JsonReport> read(const QString &path, QString *problem)
{
    qint64 size = 0;
    const Descriptor file {SafeFile::openRegular(path, problem, &size)};
    if (file.value < 0)
        return std::nullopt;
    const QString tooLarge = QObject::tr("it is larger than %1 MiB").arg(kMaxSize / (1024 * 1024));
    if (size > kMaxSize) {
        *problem = tooLarge;
        return std::nullopt;
    }
    ReportReader reader;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qint64 total = 0;
    while (!reader.failed()) {
        const ssize_t got = ::read(file.value, piece.data(), size_t(piece.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *problem = systemError();
            return std::nullopt;
        }
        if (got == 0)
            break;
        // It may have grown since it was looked at.
        total += got;
        if (total > kMaxSize) {
            *problem = tooLarge;
            return std::nullopt;
        }
        reader.write(QByteArrayView(piece.constData(), got));
    }
    return reader.finish(problem);
}

QString lockPath(const QString &reportPath)
{
    const QFileInfo report(reportPath);
    return report.absolutePath() + QStringLiteral("/.") + report.fileName()
        + QStringLiteral(".lock");
}

} // namespace ReportFile
