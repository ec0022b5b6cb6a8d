#pragma once

#include "httptestserver.h"

#include <QTcpServer>

class QTcpSocket;

// The listening socket of HttpTestServer; lives in the server's thread and
// answers requests from the shared routes.
class HttpTestListener : public QTcpServer
{
    Q_OBJECT

public:
    explicit HttpTestListener(HttpTestServer::Shared *shared);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    void readRequest(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const HttpTest::Response &response);

    HttpTestServer::Shared *m_shared;
};
