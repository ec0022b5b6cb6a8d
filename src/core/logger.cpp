#include "core/logger.h"

#include "core/console.h"
#include "core/utils.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTextStream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Another user's log at the path (the default one lies in the shared
// temporary folder) cannot be replaced: say whose it is and what to do.
bool ownerProblem(const QString &path, QString *problem)
{
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || info.st_uid == ::geteuid())
        return false;
    const passwd *owner = ::getpwuid(info.st_uid);
    *problem
        = QObject::tr("The log file %1 belongs to the user %2, so this run cannot write it; "
                      "give a log file of your own with -l PATH.")
              .arg(path,
                  owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(info.st_uid));
    return true;
}

} // namespace

Logger *Logger::s_instance = nullptr;
QMutex Logger::m_mutex;

Logger::Logger() = default;

Logger::~Logger()
{
    if (m_file)
        m_file->close();
}

Logger *Logger::instance()
{
    // The program is single-threaded; the log is created on first use without a lock.
    if (!s_instance)
        s_instance = new Logger;
    return s_instance;
}

void Logger::init(const QString &path, const LogLevel::LogLevel &level)
{
    m_level = level;
    m_stream.reset();
    m_file.reset();
    if (m_level == LogLevel::Off)
        return;

    m_file = std::make_unique<QFile>(path);
    // Every run starts a new log. The log usually sits in the shared temporary
    // directory, so it is created exclusively (a link planted at that name is not
    // followed) and readable by its owner only. Only a regular file or a link
    // itself is removed first: as root, "-l /dev/null" must not delete a device.
    const QFileInfo existing(path);
    if (existing.isSymLink() || existing.isFile())
        QFile::remove(path);
    const bool opened = !path.isEmpty()
        && m_file->open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::NewOnly,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (QString problem; !opened && ownerProblem(path, &problem)) {
        Utils::ErrorMsg(QObject::tr("File Error"), problem, nullptr);
        return;
    }
    if (!opened) {
        const QFileDevice::FileError error
            = m_file->error() == QFileDevice::NoError ? QFileDevice::OpenError : m_file->error();
        const QString message = QObject::tr("Error opening log file for writing")
            + QStringLiteral(":\n\n%1\n\n").arg(path) + QObject::tr("Error")
            + QStringLiteral(": %2").arg(Utils::fileErrorToString(error));
        Utils::ErrorMsg(QObject::tr("File Error"), message, nullptr);
        return;
    }
    m_stream = std::make_unique<QTextStream>(m_file.get());
}

void Logger::Print(const Severity::Severity &severity, const QString &text)
{
    if (!isEnabled(severity))
        return;

    QMutexLocker locker(&m_mutex);
    const QString line
        = formatLine(dateTimeNow(), severityToString(severity), Console::printable(text));
    if (m_stream) {
        *m_stream << line << Qt::endl;
        if (m_stream->status() != QTextStream::Ok)
            stopAfterWriteError();
    }
    if (severity == Severity::Fatal)
        Console::writeLine(line);
}

void Logger::stopAfterWriteError()
{
    // Told once, on the console: a box in the middle of a check would stop it,
    // and the log itself can no longer say it. The check goes on.
    const QString reason = m_file->errorString();
    m_stream.reset();
    m_file->close();
    Console::writeLine(QStringLiteral("<<<< ")
        + QObject::tr("The log file %1 could not be written (%2); the run goes on without a log.")
              .arg(m_file->fileName(), reason)
        + QStringLiteral(" >>>>"));
}

QString Logger::formatLine(const QString &timeStamp, const QString &severity, const QString &text)
{
    return QStringLiteral("%1: %2: %3").arg(timeStamp, severity, text);
}

bool Logger::isEnabled(const Severity::Severity &severity) const
{
    if (m_level == LogLevel::Off)
        return false;
    return severity != Severity::Debug || m_level == LogLevel::Verbose;
}

void Logger::close()
{
    if (m_file)
        m_file->close();
}

QString Logger::dateTimeNow() const
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString Logger::severityToString(const Severity::Severity &severity) const
{
    switch (severity) {
    case Severity::Info:
        return QStringLiteral("Info");
    case Severity::Debug:
        return QStringLiteral("Debug");
    case Severity::Warning:
        return QStringLiteral("Warning");
    case Severity::Error:
        return QStringLiteral("Error");
    case Severity::Fatal:
        return QStringLiteral("Fatal");
    }
    return QString();
}
