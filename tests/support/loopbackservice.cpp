#include "loopbackservice.h"

#include <QFile>
#include <QJsonDocument>

LoopbackService::LoopbackService(const QStringList &arguments)
    : m_arguments(arguments)
{ }

LoopbackService::~LoopbackService()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished();
}

bool LoopbackService::start()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"),
        QStringList {QStringLiteral(KORVANE_SOURCE_DIR "/tests/support/loopback.py")}
            + m_arguments);
    while (m_process.waitForReadyRead(10000) || m_process.canReadLine()) {
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("port ")) {
            m_port = static_cast<quint16>(line.mid(5).toUInt());
            return true;
        }
    }
    m_error = QStringLiteral("loopback.py %1 did not start: %2")
                  .arg(m_arguments.join(QLatin1Char(' ')), m_process.errorString());
    return false;
}

TestHttpServer::TestHttpServer(const QJsonObject &routes)
    : m_service({QStringLiteral("http"), m_dir.filePath(QStringLiteral("routes.json")),
        m_dir.filePath(QStringLiteral("hits.log"))})
{
    QFile file(m_dir.filePath(QStringLiteral("routes.json")));
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(routes).toJson());
}

QString TestHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_service.port()).arg(path);
}

QStringList TestHttpServer::requests() const
{
    QFile file(m_dir.filePath(QStringLiteral("hits.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
