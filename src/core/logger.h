#pragma once

#include "core/severity.h"

#include <QMutex>
#include <QString>

#include <memory>

class QFile;
class QTextStream;

// The process-wide diagnostic log: one text file in which every line carries a
// time stamp and a severity. Off unless init() is given a non-zero level.
class Logger
{
public:
    static Logger *instance();

    void init(const QString &path, const LogLevel::LogLevel &level);
    void Print(const Severity::Severity &severity, const QString &text);
    void close();
    // Whether a line of this severity would be written; lets busy loops skip
    // building texts nobody reads.
    bool isEnabled(const Severity::Severity &severity) const;

    QString dateTimeNow() const;
    QString severityToString(const Severity::Severity &severity) const;

    // The text of one log line, without the line end.
    static QString formatLine(
        const QString &timeStamp, const QString &severity, const QString &text);

    ~Logger();

private:
    Logger();
    Q_DISABLE_COPY(Logger)

    void stopAfterWriteError();

    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QTextStream> m_stream;
    int m_level = LogLevel::Off;

    static Logger *s_instance;
    static QMutex m_mutex;
};
