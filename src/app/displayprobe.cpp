#include "app/displayprobe.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// An open socket, closed when it goes.
class Socket
{
public:
    explicit Socket(int descriptor)
        : m_descriptor(descriptor)
    { }
    ~Socket()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    Q_DISABLE_COPY(Socket)
    int get() const { return m_descriptor; }

private:
    int m_descriptor;
};

bool waitFor(int descriptor, short events, const QDeadlineTimer &deadline)
{
    pollfd entry {descriptor, events, 0};
    for (;;) {
        const int result = ::poll(&entry, 1, int(deadline.remainingTime()));
        if (result < 0 && errno == EINTR)
            continue;
        return result > 0;
    }
}

// Connects within the deadline; an error text when it cannot.
QString connectWithin(
    int descriptor, const sockaddr *address, socklen_t length, const QDeadlineTimer &deadline)
{
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    if (::connect(descriptor, address, length) == 0)
        return QString();
    if (errno != EINPROGRESS)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!waitFor(descriptor, POLLOUT, deadline))
        return QStringLiteral("no connection within the time limit");
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &size);
    return error == 0 ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

// A connected local socket, or -1 with *reason set.
int connectToLocal(
    const QString &socketPath, bool abstract, const QDeadlineTimer &deadline, QString *reason)
{
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un name {};
    name.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    std::memcpy(name.sun_path + (abstract ? 1 : 0), path.constData(),
        std::min(size_t(path.size()), sizeof name.sun_path - 2));
    const auto length
        = socklen_t(offsetof(sockaddr_un, sun_path) + (abstract ? 1 : 0) + path.size());
    *reason = connectWithin(descriptor, reinterpret_cast<sockaddr *>(&name), length, deadline);
    if (reason->isEmpty())
        return descriptor;
    ::close(descriptor);
    return -1;
}

// Whether the peer sends anything within the deadline, after the request.
QString answerWithin(const Socket &socket, const void *request, size_t size,
    const QDeadlineTimer &deadline, const QString &silence)
{
    char reply = 0;
    if (::send(socket.get(), request, size, MSG_NOSIGNAL) != qsizetype(size))
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!waitFor(socket.get(), POLLIN, deadline) || ::recv(socket.get(), &reply, 1, 0) != 1)
        return silence;
    return QString();
}

// A connected socket to the display, or -1 with *reason set.
int connectToDisplay(const X11Address &address, const QDeadlineTimer &deadline, QString *reason)
{
    if (address.host.isEmpty()) {
        // Servers listen on the abstract name and on the file; try both.
        for (const bool abstract : {true, false}) {
            const int descriptor = connectToLocal(address.socketPath, abstract, deadline, reason);
            if (descriptor >= 0)
                return descriptor;
        }
        return -1;
    }
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int lookup = ::getaddrinfo(address.host.toUtf8().constData(),
        QByteArray::number(address.port).constData(), &hints, &found);
    if (lookup != 0) {
        *reason = QString::fromLocal8Bit(::gai_strerror(lookup));
        return -1;
    }
    int descriptor = -1;
    for (addrinfo *entry = found; entry && descriptor < 0; entry = entry->ai_next) {
        const int candidate = ::socket(entry->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        *reason = connectWithin(candidate, entry->ai_addr, entry->ai_addrlen, deadline);
        if (reason->isEmpty())
            descriptor = candidate;
        else
            ::close(candidate);
    }
    ::freeaddrinfo(found);
    return descriptor;
}

} // namespace

X11Address x11Address(const QString &display)
{
    // [host]:number[.screen], host "unix" or none meaning the local socket.
    static const QRegularExpression form(QStringLiteral("^(.*):([0-9]+)(\\.[0-9]+)?$"));
    const QRegularExpressionMatch match = form.match(display);
    X11Address address;
    bool isNumber = false;
    const uint number = match.captured(2).toUInt(&isNumber);
    if (!match.hasMatch() || !isNumber)
        return address;
    const QString host = match.captured(1);
    if (host.isEmpty() || host == QLatin1String("unix")) {
        address.socketPath = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
    } else if (number <= 65535 - 6000) {
        address.host = host.startsWith(QLatin1Char('[')) ? host.mid(1, host.size() - 2) : host;
        address.port = 6000 + int(number);
    }
    return address;
}

QString waylandSocketPath(const QString &waylandDisplay, const QString &runtimeDir)
{
    const QString name = waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : waylandDisplay;
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return runtimeDir.isEmpty() ? QString() : runtimeDir + QLatin1Char('/') + name;
}

namespace {

// The Wayland counterpart of the X11 question: a compositor that accepts a
// connection but never answers would hang the desktop part just the same.
bool waylandAnswers(QString *reason, int timeoutMs)
{
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString path = waylandSocketPath(display, qEnvironmentVariable("XDG_RUNTIME_DIR"));
    QString problem;
    const QDeadlineTimer deadline(timeoutMs);
    if (path.isEmpty()) {
        problem = QStringLiteral("XDG_RUNTIME_DIR is not set");
    } else if (const Socket socket(connectToLocal(path, false, deadline, &problem));
               socket.get() >= 0) {
        // wl_display.sync (object 1, opcode 0, message size 12) with the new
        // callback object 2, in the machine's byte order: the compositor
        // answers with the callback's done event.
        static const quint32 sync[3] = {1, 12u << 16, 2};
        problem = answerWithin(socket, sync, sizeof sync, deadline,
            QStringLiteral("the compositor does not answer within %1 s").arg(timeoutMs / 1000.0));
    }
    if (problem.isEmpty())
        return true;
    *reason = QStringLiteral("Cannot open the Wayland display \"%1\" (%2); running in console "
                             "mode.")
                  .arg(display, problem);
    return false;
}

} // namespace

bool displayAnswers(QString *reason, int timeoutMs)
{
    // Without an X display the desktop part runs on Wayland
    // (gui/desktopmode.cpp); a platform chosen through the environment is
    // Qt's choice, and only X11 and Wayland are asked here.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString display = qEnvironmentVariable("DISPLAY");
    if (platform.startsWith(QLatin1String("wayland")) || (platform.isEmpty() && display.isEmpty()))
        return waylandAnswers(reason, timeoutMs);
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")))
        return true;
    const X11Address address = x11Address(display);
    QString problem;
    const QDeadlineTimer deadline(timeoutMs);
    if (address.host.isEmpty() && address.socketPath.isEmpty()) {
        problem = QStringLiteral("it is not of the form [host]:number[.screen], or the number is "
                                 "out of range");
    } else if (const Socket socket(connectToDisplay(address, deadline, &problem));
               socket.get() >= 0) {
        // The connection set-up of the X11 protocol 11.0, little-endian, no
        // authorisation: 'l', unused, major 11, minor 0, two empty lengths, unused.
        static const char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        problem = answerWithin(socket, setup, sizeof setup, deadline,
            QStringLiteral("the X server does not answer within %1 s").arg(timeoutMs / 1000.0));
    }
    if (problem.isEmpty())
        return true;
    *reason = QStringLiteral("Cannot open the display \"%1\" (%2); running in console mode.")
                  .arg(display, problem);
    return false;
}
