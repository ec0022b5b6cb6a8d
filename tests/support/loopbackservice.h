#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A service of tests/support/loopback.py on 127.0.0.1, in a process of its
// own, so that it answers while the test is blocked (in curl, or in a child
// process). It ends when this object goes away.
class LoopbackService
{
public:
    explicit LoopbackService(const QStringList &arguments);
    ~LoopbackService();
    Q_DISABLE_COPY(LoopbackService)

    // Starts it and waits for its port; false, with errorString(), on failure.
    bool start();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

private:
    QStringList m_arguments;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

// The canned HTTP server: routes as loopback.py describes them.
class TestHttpServer
{
public:
    explicit TestHttpServer(const QJsonObject &routes);

    bool start() { return m_service.start(); }
    QString errorString() const { return m_service.errorString(); }
    QString url(const QString &path) const;
    // "METHOD PATH" per request received, " via" added for those that came
    // through a proxy.
    QStringList requests() const;

private:
    QTemporaryDir m_dir;
    LoopbackService m_service;
};
