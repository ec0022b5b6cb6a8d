#include "httptestserver.h"

#include "httptestlistener.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QSslSocket>
#include <QThread>
#include <QUrl>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray head(int status, const HttpTest::Headers &headers, qint64 contentLength)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    out += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto &header : headers)
        out += header.first + ": " + header.second + "\r\n";
    out += "\r\n";
    return out;
}

} // namespace

QByteArray HttpTest::Request::header(const QByteArray &name) const
{
    for (const auto &entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return QByteArray();
}

HttpTestListener::HttpTestListener(HttpTestServer::Shared *shared)
    : m_shared(shared)
{ }

void HttpTestListener::incomingConnection(qintptr socketDescriptor)
{
    QMutexLocker locker(&m_shared->mutex);
    const bool tls = m_shared->tls;
    QTcpSocket *socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (tls) {
        auto *sslSocket = static_cast<QSslSocket *>(socket);
        sslSocket->setLocalCertificate(m_shared->certificate);
        sslSocket->setPrivateKey(m_shared->key);
        sslSocket->setPeerVerifyMode(QSslSocket::VerifyNone);
        sslSocket->startServerEncryption();
    }
}

void HttpTestListener::readRequest(QTcpSocket *socket)
{
    // The request so far is kept on the socket; one request per connection.
    QByteArray buffer = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", buffer);
    if (socket->property("answered").toBool())
        return;
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    socket->setProperty("answered", true);

    HttpTest::Request request;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    request.path = QUrl::fromEncoded(request.target).path();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    HttpTest::Response response;
    {
        QMutexLocker locker(&m_shared->mutex);
        m_shared->requests.append(request);
        response = m_shared->routes.value(request.path,
            HttpTest::Response {HttpTest::Response::Complete, 404, {}, "not found", -1});
    }
    respond(socket, response);
}

void HttpTestListener::respond(QTcpSocket *socket, const HttpTest::Response &response)
{
    switch (response.kind) {
    case HttpTest::Response::Stall:
        return; // the socket stays open until the client or the server goes away
    case HttpTest::Response::Raw:
        socket->write(response.body);
        break;
    case HttpTest::Response::Truncated:
        socket->write(head(response.status, response.headers, response.announcedLength));
        socket->write(response.body);
        break;
    case HttpTest::Response::Complete:
        socket->write(head(response.status, response.headers, response.body.size()));
        socket->write(response.body);
        break;
    }
    // Closes once everything written has gone out.
    socket->disconnectFromHost();
}

HttpTestServer::HttpTestServer()
    : m_thread(std::make_unique<QThread>())
{
    m_listener = new HttpTestListener(&m_shared);
    m_listener->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::finished, m_listener, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_listener,
        [this] {
            if (m_listener->listen(QHostAddress::LocalHost, 0))
                m_port = m_listener->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

HttpTestServer::~HttpTestServer()
{
    m_thread->quit();
    m_thread->wait();
}

QString HttpTestServer::url(const QString &path) const
{
    QMutexLocker locker(&m_shared.mutex);
    const QString scheme = m_shared.tls ? QStringLiteral("https") : QStringLiteral("http");
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(m_port).arg(path);
}

void HttpTestServer::setRoute(const QString &path, const HttpTest::Response &response)
{
    QMutexLocker locker(&m_shared.mutex);
    m_shared.routes.insert(path, response);
}

void HttpTestServer::route(
    const QString &path, int status, const QByteArray &body, const HttpTest::Headers &headers)
{
    setRoute(path, {HttpTest::Response::Complete, status, headers, body, -1});
}

void HttpTestServer::redirect(const QString &path, int status, const QByteArray &location)
{
    HttpTest::Headers headers;
    if (!location.isEmpty())
        headers.append({"Location", location});
    setRoute(path, {HttpTest::Response::Complete, status, headers, QByteArray(), -1});
}

void HttpTestServer::stall(const QString &path)
{
    setRoute(path, {HttpTest::Response::Stall, 0, {}, QByteArray(), -1});
}

void HttpTestServer::truncated(
    const QString &path, const QByteArray &sentBody, qint64 announcedLength)
{
    setRoute(path, {HttpTest::Response::Truncated, 200, {}, sentBody, announcedLength});
}

void HttpTestServer::raw(const QString &path, const QByteArray &bytes)
{
    setRoute(path, {HttpTest::Response::Raw, 0, {}, bytes, -1});
}

void HttpTestServer::useTls(const QSslCertificate &certificate, const QSslKey &key)
{
    QMutexLocker locker(&m_shared.mutex);
    m_shared.certificate = certificate;
    m_shared.key = key;
    m_shared.tls = true;
}

QList<HttpTest::Request> HttpTestServer::requests() const
{
    QMutexLocker locker(&m_shared.mutex);
    return m_shared.requests;
}

int HttpTestServer::hits(const QString &path) const
{
    QMutexLocker locker(&m_shared.mutex);
    int count = 0;
    for (const HttpTest::Request &request : m_shared.requests) {
        if (request.path == path)
            ++count;
    }
    return count;
}

quint16 HttpTestServer::unusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}
