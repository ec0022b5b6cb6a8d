#pragma once

#include <QString>

// Redirects the process's standard output (file descriptor 1) into a
// temporary file while it lives; text() returns what was written, decoded
// as UTF-8.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    Q_DISABLE_COPY(StdoutCapture)

    QString text();

private:
    void restore();

    int m_savedFd = -1;
    int m_fileFd = -1;
    QString m_path;
    QString m_text;
    bool m_done = false;
};
