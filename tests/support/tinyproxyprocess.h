#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real tinyproxy on a free loopback port, in the foreground, with basic
// authentication when a user name is given. It is killed when this object
// goes away.
class TinyproxyProcess
{
public:
    TinyproxyProcess(const QString &user, const QString &password);
    ~TinyproxyProcess();
    Q_DISABLE_COPY(TinyproxyProcess)

    // Starts it and waits until it accepts connections; false (see
    // errorString()) when tinyproxy is missing or does not come up.
    bool start();
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    // What tinyproxy logged so far.
    QString log() const;

private:
    bool startOnce();
    void stop();

    QTemporaryDir m_dir;
    QString m_user;
    QString m_password;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
