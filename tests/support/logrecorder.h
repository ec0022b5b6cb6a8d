#pragma once

#include "core/severity.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Points the program's logger at a fresh file for the lifetime of a test and
// hands back what was logged, as "Severity: text" without time stamps.
class LogRecorder
{
public:
    explicit LogRecorder(LogLevel::LogLevel level = LogLevel::Verbose);
    ~LogRecorder();
    Q_DISABLE_COPY(LogRecorder)

    QString path() const { return m_path; }
    // Starts a new, empty log at the same level.
    void restart();
    // The lines logged so far (every line reaches the file as it is written).
    QStringList messages() const;

    // The lines of a log file without their time stamps.
    static QStringList messagesOf(const QString &path);

private:
    QTemporaryDir m_dir;
    QString m_path;
    LogLevel::LogLevel m_level;
};
