#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the built program as a separate process with a controlled environment:
// the given HOME, no DISPLAY, LANG=C.UTF-8 and no configuration folder
// override, unless the caller changes them.
class KorvaneProcess
{
public:
    explicit KorvaneProcess(const QString &home);

    static QString binaryPath();

    QProcessEnvironment &environment() { return m_environment; }
    void setEnv(const QString &name, const QString &value) { m_environment.insert(name, value); }
    void unsetEnv(const QString &name) { m_environment.remove(name); }

    // Runs to completion (or kills the program after timeoutMs) and returns the
    // exit code; -1 when it did not start or did not end normally.
    int run(const QStringList &arguments, int timeoutMs = 60000);

    QString standardOutput() const { return QString::fromUtf8(m_stdout); }
    QString standardError() const { return QString::fromUtf8(m_stderr); }
    QStringList outputLines() const;

private:
    QProcessEnvironment m_environment;
    QByteArray m_stdout;
    QByteArray m_stderr;
};
