#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <memory>

class QThread;

namespace HttpTest {

using Headers = QList<QPair<QByteArray, QByteArray>>;

// One request as the server received it.
struct Request
{
    QByteArray method;
    QByteArray target; // as on the request line: absolute when sent as to a proxy
    QString path;
    Headers headers;

    // The value of the first header of that name (case-insensitive); empty if none.
    QByteArray header(const QByteArray &name) const;
};

// What the server does for one path.
struct Response
{
    enum Kind { Complete, Stall, Truncated, Raw };
    Kind kind = Complete;
    int status = 200;
    Headers headers;
    QByteArray body;
    qint64 announcedLength = -1; // Truncated: the Content-Length sent
};

} // namespace HttpTest

class HttpTestListener;

// A small HTTP/1.1 server on 127.0.0.1 for tests that answers each path with a
// canned response. It runs in a thread of its own, so it also answers while
// the test's thread is blocked (waiting for curl or for a child process).
// Every response closes its connection. Paths without a route get 404.
//
//     HttpTestServer server;
//     server.route("/korvane/patches.json", 200, body);
//     UpdateRequest request(server.url("/korvane/patches.json"));
class HttpTestServer
{
public:
    HttpTestServer();
    ~HttpTestServer();
    Q_DISABLE_COPY(HttpTestServer)

    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port><path>" ("https" once TLS is on).
    QString url(const QString &path) const;

    void route(const QString &path, int status, const QByteArray &body,
        const HttpTest::Headers &headers = {});
    // A response with the given status and Location header (sent as given, so
    // relative or odd targets can be tried); an empty location sends none.
    void redirect(const QString &path, int status, const QByteArray &location);
    // Accepts the request and never answers.
    void stall(const QString &path);
    // Announces announcedLength bytes of body, sends only sentBody, then closes.
    void truncated(const QString &path, const QByteArray &sentBody, qint64 announcedLength);
    // Sends exactly these bytes, then closes.
    void raw(const QString &path, const QByteArray &bytes);

    // Serves https with this certificate and key from now on.
    void useTls(const QSslCertificate &certificate, const QSslKey &key);

    QList<HttpTest::Request> requests() const;
    int hits(const QString &path) const;

    // A loopback port nothing listens on, for refused connections.
    static quint16 unusedPort();

    // Used by the server's thread.
    struct Shared
    {
        mutable QMutex mutex;
        QHash<QString, HttpTest::Response> routes;
        QList<HttpTest::Request> requests;
        QSslCertificate certificate;
        QSslKey key;
        bool tls = false;
    };

private:
    void setRoute(const QString &path, const HttpTest::Response &response);

    Shared m_shared;
    std::unique_ptr<QThread> m_thread;
    HttpTestListener *m_listener = nullptr; // lives in m_thread, deleted when it ends
    quint16 m_port = 0;
};
