#include "stdoutcapture.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    std::wcout.flush();
    std::fflush(stdout);
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/korvane-stdout-XXXXXX";
    m_fileFd = ::mkstemp(pattern.data());
    m_path = QString::fromLocal8Bit(pattern);
    m_savedFd = ::dup(STDOUT_FILENO);
    ::dup2(m_fileFd, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    restore();
    QFile::remove(m_path);
}

void StdoutCapture::restore()
{
    if (m_done)
        return;
    m_done = true;
    std::wcout.flush();
    std::fflush(stdout);
    ::dup2(m_savedFd, STDOUT_FILENO);
    ::close(m_savedFd);
    ::close(m_fileFd);
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly))
        m_text = QString::fromUtf8(file.readAll());
}

QString StdoutCapture::text()
{
    restore();
    return m_text;
}
