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
    QStringList messages() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};
