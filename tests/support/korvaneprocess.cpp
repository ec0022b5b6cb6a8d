#include "korvaneprocess.h"

#include "proxyenvironment.h"

#include <QProcess>

KorvaneProcess::KorvaneProcess(const QString &home)
    : m_environment(QProcessEnvironment::systemEnvironment())
{
    m_environment.insert(QStringLiteral("HOME"), home);
    m_environment.remove(QStringLiteral("DISPLAY"));
    m_environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    m_environment.remove(QStringLiteral("LC_ALL"));
    m_environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    // The tests decide which proxy is used.
    for (const char *name : kProxyVariables)
        m_environment.remove(QString::fromLatin1(name));
}

QString KorvaneProcess::binaryPath()
{
    return QStringLiteral(KORVANE_BINARY);
}

int KorvaneProcess::run(const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.setProgram(binaryPath());
    process.setArguments(arguments);
    process.start();
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        m_stdout = process.readAllStandardOutput();
        m_stderr = process.readAllStandardError();
        return -1;
    }
    m_stdout = process.readAllStandardOutput();
    m_stderr = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QStringList KorvaneProcess::outputLines() const
{
    QStringList lines = standardOutput().split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
