#include "logrecorder.h"

#include "core/logger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

LogRecorder::LogRecorder(LogLevel::LogLevel level)
    : m_dir(QDir::tempPath() + QStringLiteral("/korvane-log-XXXXXX"))
    , m_path(m_dir.filePath(QStringLiteral("Korvane.log")))
{
    Logger::instance()->init(m_path, level);
}

LogRecorder::~LogRecorder()
{
    // Later tests of the same program start with logging off.
    Logger::instance()->init(QString(), LogLevel::Off);
}

QStringList LogRecorder::messages() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}: "));
    QStringList out;
    const QStringList lines
        = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        out << QString(line).remove(stamp);
    return out;
}
