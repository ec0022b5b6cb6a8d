#include "app/displayprobe.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <csignal>
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

QString sendRequest(const Socket &socket, const void *request, size_t size)
{
    if (::send(socket.get(), request, size, MSG_NOSIGNAL) == qsizetype(size))
        return QString();
    return QString::fromLocal8Bit(std::strerror(errno));
}

// What a display sends back, read up to the deadline: only a complete reply
// is an answer, as the desktop part would wait for the rest.
class Reply
{
public:
    Reply(const Socket &socket, const QDeadlineTimer &deadline)
        : m_descriptor(socket.get())
        , m_deadline(deadline)
    { }

    // Reads size bytes into *into (nullptr: skips them); false when they do
    // not all come in time.
    bool read(char *into, size_t size)
    {
        char skipped[4096];
        while (size > 0) {
            if (!waitFor(m_descriptor, POLLIN, m_deadline))
                return false;
            const ssize_t got
                = ::recv(m_descriptor, into ? into : skipped, std::min(size, sizeof skipped), 0);
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (got <= 0) {
                m_error = got < 0 ? errno : 0;
                m_closed = got == 0;
                return false;
            }
            m_received += got;
            size -= size_t(got);
            if (into)
                into += got;
        }
        return true;
    }

    // Why the reply is not complete, for the log; peer: who should have sent it.
    QString problem(const QString &peer, int timeoutMs) const
    {
        const QString seconds = QString::number(timeoutMs / 1000.0);
        if (m_error != 0)
            return QString::fromLocal8Bit(std::strerror(m_error));
        if (m_closed)
            return QStringLiteral("%1 closed the connection before its answer was complete")
                .arg(peer);
        if (m_received == 0)
            return QStringLiteral("%1 does not answer within %2 s").arg(peer, seconds);
        return QStringLiteral("%1 sent %2 byte(s) and did not complete its answer within %3 s")
            .arg(peer)
            .arg(m_received)
            .arg(seconds);
    }

private:
    int m_descriptor;
    const QDeadlineTimer &m_deadline;
    qint64 m_received = 0;
    int m_error = 0;
    bool m_closed = false;
};

// One host lookup, held by the probe and by glibc's resolver until both are
// done with it: one still running at the deadline cannot be cancelled, and
// the resolver writes its result here when it ends, then notifies.
struct PendingLookup
{
    gaicb request {};
    QByteArray host;
    QByteArray service;
    addrinfo hints {};
    std::atomic<int> holders {2};
};

void release(PendingLookup *lookup)
{
    if (--lookup->holders > 0)
        return;
    if (lookup->request.ar_result)
        ::freeaddrinfo(lookup->request.ar_result);
    delete lookup;
}

void resolverDone(sigval value)
{
    release(static_cast<PendingLookup *>(value.sival_ptr));
}

// The host's addresses in (*found)->request.ar_result, looked up within the
// deadline; false with *reason set when the lookup fails or does not end in
// time. *found is released by the caller either way.
bool lookUp(const X11Address &address, const QDeadlineTimer &deadline, int timeoutMs,
    const HostLookup &lookup, PendingLookup **found, QString *reason)
{
    auto *pending = *found = new PendingLookup;
    pending->host = address.host.toUtf8();
    pending->service = QByteArray::number(address.port);
    pending->hints.ai_socktype = SOCK_STREAM;
    pending->request.ar_name = pending->host.constData();
    pending->request.ar_service = pending->service.constData();
    pending->request.ar_request = &pending->hints;
    sigevent done {};
    done.sigev_notify = SIGEV_THREAD;
    done.sigev_notify_function = &resolverDone;
    done.sigev_value.sival_ptr = pending;
    gaicb *list[] = {&pending->request};
    // Refused or not, the caller lets go of its hold only: glibc notifies a
    // request it did not take too (when it can start the thread).
    if (const int refused = lookup.start(GAI_NOWAIT, list, 1, &done); refused != 0) {
        *reason = QString::fromLocal8Bit(::gai_strerror(refused));
        return false;
    }
    int status;
    while (
        (status = lookup.status(&pending->request)) == EAI_INPROGRESS && !deadline.hasExpired()) {
        const qint64 left = deadline.remainingTimeNSecs();
        const timespec wait {time_t(left / 1000000000), long(left % 1000000000)};
        lookup.wait(list, 1, &wait); // its end, a signal or the time-out: asked again above
    }
    if (status == 0)
        return true;
    if (status != EAI_INPROGRESS) {
        *reason = QString::fromLocal8Bit(::gai_strerror(status));
        return false;
    }
    *reason
        = QStringLiteral("the host name lookup did not end within %1 s").arg(timeoutMs / 1000.0);
    // A request still queued is never notified: the resolver lets it go.
    if (lookup.cancel(&pending->request) == EAI_CANCELED)
        release(pending);
    return false;
}

// A connected socket to the display, or -1 with *reason set.
int connectToDisplay(const X11Address &address, const QDeadlineTimer &deadline, int timeoutMs,
    const HostLookup &lookup, QString *reason)
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
    PendingLookup *found = nullptr;
    const bool resolved = lookUp(address, deadline, timeoutMs, lookup, &found, reason);
    int descriptor = -1;
    for (addrinfo *entry = resolved ? found->request.ar_result : nullptr; entry && descriptor < 0;
         entry = entry->ai_next) {
        const int candidate = ::socket(entry->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        *reason = connectWithin(candidate, entry->ai_addr, entry->ai_addrlen, deadline);
        if (reason->isEmpty())
            descriptor = candidate;
        else
            ::close(candidate);
    }
    release(found);
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
bool waylandAnswers(const DisplayTarget &target, QString *reason, int timeoutMs)
{
    const QString &display = target.name;
    const QString &path = target.waylandSocket;
    QString problem;
    const QDeadlineTimer deadline(timeoutMs);
    if (path.isEmpty()) {
        problem = QStringLiteral("XDG_RUNTIME_DIR is not set");
    } else if (const Socket socket(connectToLocal(path, false, deadline, &problem));
               socket.get() >= 0) {
        // wl_display.sync (object 1, opcode 0, message size 12) with the new
        // callback object 2, in the machine's byte order: the compositor
        // answers with the callback's done event (object 2, opcode 0).
        static const quint32 sync[3] = {1, 12u << 16, 2};
        problem = sendRequest(socket, sync, sizeof sync);
        Reply reply(socket, deadline);
        quint32 event[2]; // the object, then the size << 16 | the opcode
        while (problem.isEmpty() && reply.read(reinterpret_cast<char *>(event), sizeof event)) {
            const quint32 size = event[1] >> 16;
            if (size < sizeof event || size % 4 != 0) {
                problem = QStringLiteral("the compositor's answer is malformed");
            } else if (!reply.read(nullptr, size - sizeof event)) {
                break;
            } else if (event[0] == 2 && (event[1] & 0xffff) == 0) {
                return true;
            }
        }
        if (problem.isEmpty())
            problem = reply.problem(QStringLiteral("the compositor"), timeoutMs);
    }
    *reason = QStringLiteral("Cannot open the Wayland display \"%1\" (%2); running in console "
                             "mode.")
                  .arg(display, problem);
    return false;
}

} // namespace

DisplayEnvironment DisplayEnvironment::ofThisProcess()
{
    return {qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"),
        qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("XDG_RUNTIME_DIR")};
}

DisplayTarget displayTarget(const DisplayEnvironment &environment)
{
    DisplayTarget target;
    const QString &platform = environment.platform;
    if (environment.display.isEmpty() && environment.waylandDisplay.isEmpty())
        return target;
    if (platform.startsWith(QLatin1String("wayland"))
        || (platform.isEmpty() && environment.display.isEmpty())) {
        target.kind = DisplayTarget::Wayland;
        target.name = environment.waylandDisplay;
        target.waylandSocket = waylandSocketPath(target.name, environment.runtimeDir);
        target.platform = platform.isEmpty() ? "wayland" : QByteArray();
    } else if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) {
        target.kind = DisplayTarget::Other;
    } else {
        target.kind = DisplayTarget::X11;
        target.name = environment.display;
    }
    return target;
}

bool displayAnswers(const DisplayTarget &target, QString *reason, int timeoutMs)
{
    switch (target.kind) {
    case DisplayTarget::X11:
        return x11Answers(target.name, reason, timeoutMs);
    case DisplayTarget::Wayland:
        return waylandAnswers(target, reason, timeoutMs);
    case DisplayTarget::Other:
        return true;
    case DisplayTarget::None:
        break;
    }
    *reason
        = QStringLiteral("Neither DISPLAY nor WAYLAND_DISPLAY is set; running in console mode.");
    return false;
}

bool x11Answers(const QString &display, QString *reason, int timeoutMs, const HostLookup &lookup)
{
    const X11Address address = x11Address(display);
    QString problem;
    const QDeadlineTimer deadline(timeoutMs);
    if (address.host.isEmpty() && address.socketPath.isEmpty()) {
        problem = QStringLiteral("it is not of the form [host]:number[.screen], or the number is "
                                 "out of range");
    } else if (const Socket socket(
                   connectToDisplay(address, deadline, timeoutMs, lookup, &problem));
               socket.get() >= 0) {
        // The connection set-up of the X11 protocol 11.0, little-endian, no
        // authorisation: 'l', unused, major 11, minor 0, two empty lengths, unused.
        static const char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        problem = sendRequest(socket, setup, sizeof setup);
        // The reply: status, a length, the protocol version, then the length
        // of what follows in 4-byte units, in the byte order asked for.
        char header[8];
        Reply reply(socket, deadline);
        if (problem.isEmpty() && reply.read(header, sizeof header)
            && reply.read(nullptr, 4 * size_t(qFromLittleEndian<quint16>(header + 6))))
            return true;
        if (problem.isEmpty())
            problem = reply.problem(QStringLiteral("the X server"), timeoutMs);
    }
    *reason = QStringLiteral("Cannot open the display \"%1\" (%2); running in console mode.")
                  .arg(display, problem);
    return false;
}
