#include "app/handover.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The descriptor on which the desktop program tells that its check starts.
constexpr const char *kStartedVariable = "KORVANE_STARTED_FD";

QByteArray besideThisProgram(const char *name)
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return QByteArray();
    QByteArray program(path, length);
    return program.left(program.lastIndexOf('/') + 1) + name;
}

int statusOf(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

} // namespace

namespace Handover {

bool desktopInstalled()
{
    const QByteArray program = besideThisProgram(kDesktopProgram);
    return !program.isEmpty() && ::access(program.constData(), X_OK) == 0;
}

std::optional<int> runDesktop(char **argv, QString *reason, int startLimitMs)
{
    const QByteArray program = besideThisProgram(kDesktopProgram);
    int started[2];
    if (::pipe2(started, O_CLOEXEC) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        // The desktop program goes when this one goes, however it ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::fcntl(started[1], F_SETFD, 0);
        ::setenv(kStartedVariable, QByteArray::number(started[1]).constData(), 1);
        argv[0] = const_cast<char *>(program.constData());
        ::execv(program.constData(), argv);
        ::_exit(127);
    }
    ::close(started[1]);
    // One byte once the check starts; the end of the pipe when the child ends
    // first; nothing from a child that hangs on its way there.
    pollfd ready {started[0], POLLIN, 0};
    int polled;
    do {
        polled = ::poll(&ready, 1, startLimitMs);
    } while (polled < 0 && errno == EINTR);
    char byte = 0;
    const ssize_t got = polled > 0 ? ::read(started[0], &byte, 1) : 0;
    ::close(started[0]);
    if (polled == 0 && child > 0)
        ::kill(child, SIGKILL);
    int waitStatus = 0;
    if (child < 0 || ::waitpid(child, &waitStatus, 0) != child) {
        *reason = QStringLiteral("The desktop part could not be started (%1); running in console "
                                 "mode.")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (got == 1)
        return statusOf(waitStatus);
    *reason = polled == 0
        ? QStringLiteral("The desktop part did not start its check within %1 s and was stopped; "
                         "running in console mode.")
              .arg(startLimitMs / 1000)
        : QStringLiteral("The desktop part ended before its check started (exit status %1: the "
                         "display refused it?); running in console mode.")
              .arg(statusOf(waitStatus));
    return std::nullopt;
}

int takeStartedDescriptor()
{
    bool isNumber = false;
    const int descriptor = qEnvironmentVariableIntValue(kStartedVariable, &isNumber);
    ::unsetenv(kStartedVariable);
    struct stat status = {};
    if (!isNumber || descriptor <= STDERR_FILENO || ::fstat(descriptor, &status) != 0
        || !S_ISFIFO(status.st_mode))
        return -1;
    ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    return descriptor;
}

void signalStarted(int descriptor)
{
    if (descriptor < 0)
        return;
    const char byte = 1;
    while (::write(descriptor, &byte, 1) < 0 && errno == EINTR) { }
    ::close(descriptor);
}

} // namespace Handover
