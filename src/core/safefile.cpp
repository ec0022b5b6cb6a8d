#include "core/safefile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QObject>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

namespace SafeFile {

QString kindOf(unsigned int mode)
{
    if (S_ISDIR(mode))
        return QObject::tr("a folder");
    if (S_ISFIFO(mode))
        return QObject::tr("a FIFO");
    if (S_ISSOCK(mode))
        return QObject::tr("a socket");
    if (S_ISCHR(mode))
        return QObject::tr("a character device");
    if (S_ISBLK(mode))
        return QObject::tr("a block device");
    return QObject::tr("not a regular file");
}

QString openProblem(int error)
{
    if (error == ENOENT)
        return QObject::tr("it does not exist");
    if (error == ELOOP)
        return QObject::tr("it is a loop of symbolic links");
    if (error == ENXIO)
        return QObject::tr("it is %1, not a regular file").arg(kindOf(S_IFSOCK));
    return systemError(error);
}

int openRegular(const QString &path, QString *problem, qint64 *size)
{
    const int descriptor
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        *problem = openProblem(errno);
        return -1;
    }
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0) {
        *problem = systemError(errno);
    } else if (S_ISREG(info.st_mode)) {
        if (size)
            *size = info.st_size;
        return descriptor;
    } else {
        *problem = QObject::tr("it is %1, not a regular file").arg(kindOf(info.st_mode));
    }
    ::close(descriptor);
    return -1;
}

Lock::Lock(const QString &path, int waitMs)
{
    m_descriptor = ::open(QFile::encodeName(path).constData(),
        O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (m_descriptor < 0) {
        m_problem
            = QObject::tr("the lock file %1 cannot be used: %2")
                  .arg(path,
                      errno == ELOOP ? QObject::tr("it is a symbolic link") : openProblem(errno));
        return;
    }
    struct stat info
    {
    };
    if (::fstat(m_descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_problem = QObject::tr("the lock file %1 cannot be used: it is %2")
                        .arg(path, kindOf(info.st_mode));
        return;
    }
    const QDeadlineTimer deadline(waitMs);
    while (::flock(m_descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_problem = QObject::tr("the lock file %1 cannot be locked: %2")
                            .arg(path, systemError(errno));
            return;
        }
        if (deadline.hasExpired()) {
            m_problem = QObject::tr("another korvane has been writing it for %1 s (the lock file "
                                    "%2 is held)")
                            .arg(waitMs / 1000)
                            .arg(path);
            return;
        }
        QThread::msleep(50);
    }
}

Lock::~Lock()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

} // namespace SafeFile
