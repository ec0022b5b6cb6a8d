#include "tinyproxyprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

TinyproxyProcess::TinyproxyProcess(const QString &user, const QString &password)
    : m_dir(QDir::tempPath() + QStringLiteral("/korvane-tinyproxy-XXXXXX"))
    , m_user(user)
    , m_password(password)
{ }

TinyproxyProcess::~TinyproxyProcess()
{
    stop();
}

bool TinyproxyProcess::start()
{
    if (QStandardPaths::findExecutable(QStringLiteral("tinyproxy")).isEmpty()) {
        m_error = QStringLiteral("tinyproxy is not installed (scripts/deps.sh installs it)");
        return false;
    }
    // The free port may be taken by someone else before tinyproxy binds it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startOnce())
            return true;
        stop();
    }
    return false;
}

bool TinyproxyProcess::startOnce()
{
    m_port = freeLoopbackPort();
    QByteArray config = "Port " + QByteArray::number(m_port)
        + "\n"
          "Listen 127.0.0.1\n"
          "Timeout 30\n"
          "MaxClients 20\n"
          "Allow 127.0.0.1\n"
          "LogLevel Info\n"
          "LogFile \""
        + m_dir.filePath(QStringLiteral("tinyproxy.log")).toUtf8() + "\"\n";
    if (!m_user.isEmpty())
        config += "BasicAuth " + m_user.toUtf8() + ' ' + m_password.toUtf8() + '\n';
    const QString configPath = m_dir.filePath(QStringLiteral("tinyproxy.conf"));
    QFile file(configPath);
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write %1").arg(configPath);
        return false;
    }
    file.write(config);
    file.close();

    // Output goes to a file: a pipe nobody reads while the test blocks could
    // fill up and stall the proxy.
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("output.txt")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("output.txt")), QIODevice::Append);
    m_process.start(
        QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), configPath});
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("tinyproxy could not be started: %1").arg(m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("tinyproxy ended at start: %1").arg(log());
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    m_error = QStringLiteral("tinyproxy did not listen on port %1: %2").arg(m_port).arg(log());
    return false;
}

void TinyproxyProcess::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString TinyproxyProcess::log() const
{
    QString text;
    for (const QString &name : {QStringLiteral("output.txt"), QStringLiteral("tinyproxy.log")}) {
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}
