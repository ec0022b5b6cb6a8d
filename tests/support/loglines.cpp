#include "loglines.h"

#include "core/logger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

LogLines::LogLines()
    : m_dir(QDir::tempPath() + QStringLiteral("/korvane-log-XXXXXX"))
{
    restart();
}

void LogLines::restart()
{
    Logger::instance()->init(path(), LogLevel::Verbose);
}

QString LogLines::path() const
{
    return m_dir.filePath(QStringLiteral("Korvane.log"));
}

QStringList LogLines::messages() const
{
    QFile file(path());
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
