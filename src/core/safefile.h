#pragma once

#include <QString>

// Files that another user may have put in place (a stored report, a cache
// entry, a lock): opened once, without waiting, and their type asked of what
// was opened, never of the name.
namespace SafeFile {

// What a file that is not a regular one is, for a message ("a FIFO").
QString kindOf(unsigned int mode);
// Why a file could not be opened, for a message.
QString openProblem(int error);
// The descriptor of the regular file at the path, opened for reading without
// blocking (a FIFO put there is never waited on), or -1 with *problem saying
// why. *size, when asked, is its size as opened.
int openRegular(const QString &path, QString *problem, qint64 *size = nullptr);

// An exclusive lock on the file at the path (made, mode 0600, when it is
// missing; a link there is refused), held while the object lives. Waits at
// most waitMs for another holder.
class Lock
{
public:
    explicit Lock(const QString &path, int waitMs = 10000);
    ~Lock();
    Q_DISABLE_COPY(Lock)

    // Why the lock could not be taken; empty when it is held.
    const QString &problem() const { return m_problem; }

private:
    int m_descriptor = -1;
    QString m_problem;
};

} // namespace SafeFile
