#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Points the program's logger at a fresh file at the verbose level and reads
// back its lines as "Severity: text", without time stamps.
class LogLines
{
public:
    LogLines();
    Q_DISABLE_COPY(LogLines)

    // Starts a new, empty log.
    void restart();
    QStringList messages() const;
    QString path() const;

private:
    QTemporaryDir m_dir;
};
