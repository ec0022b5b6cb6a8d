#pragma once

#include "core/logger.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

// Points the program's logger, verbose, at a fresh file while it lives and
// hands back what was logged, as "Severity: text" without time stamps.
class LogRecorder
{
public:
    LogRecorder() { Logger::instance()->init(path(), LogLevel::Verbose); }
    ~LogRecorder() { Logger::instance()->init(QString(), LogLevel::Off); }
    Q_DISABLE_COPY(LogRecorder)

    QStringList messages() const
    {
        QFile file(path());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d [\\d:]{8}: "),
            QRegularExpression::MultilineOption);
        return QString::fromUtf8(file.readAll()).remove(stamp).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QString path() const { return m_dir.filePath(QStringLiteral("Korvane.log")); }

    QTemporaryDir m_dir;
};
