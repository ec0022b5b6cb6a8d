#pragma once

#include <QString>

#include <netdb.h>

// Whether the display the desktop part would use answers. A display that
// accepts a connection but never answers would hang the desktop part, and one
// that cannot be opened aborts it, so the console program asks first: it
// sends the X11 connection set-up and waits for a complete reply (a refusal
// for lack of authorisation shows a server too). Without DISPLAY, or with
// Qt's platform set to wayland, it asks the Wayland compositor of
// WAYLAND_DISPLAY instead (a sync request, answered by an event). On failure
// *reason says why, for the log.
bool displayAnswers(QString *reason, int timeoutMs = 2000);

// How the host of a TCP display is looked up: glibc's asynchronous lookup, so
// that a name server that never answers is given up at the time limit, not
// after the resolver's own time-outs. A test gives one that never answers.
struct HostLookup
{
    int (*start)(int mode, gaicb *list[], int count, sigevent *notification) = &::getaddrinfo_a;
    int (*wait)(const gaicb *const list[], int count, const timespec *timeout) = &::gai_suspend;
    int (*status)(gaicb *request) = &::gai_error;
    int (*cancel)(gaicb *request) = &::gai_cancel;
};

// displayAnswers() for the X11 display of this DISPLAY value.
bool x11Answers(const QString &display, QString *reason, int timeoutMs,
    const HostLookup &lookup = HostLookup());

// The X11 display's socket address from a DISPLAY value: the local socket's
// path (abstract first) or host and TCP port. Empty host and path: no display,
// as is a number that is no port.
struct X11Address
{
    QString host; // empty for the local socket
    int port = 0;
    QString socketPath;
};
X11Address x11Address(const QString &display);

// The Wayland compositor's socket, as libwayland-client finds it: an
// absolute WAYLAND_DISPLAY names it, another one (by default "wayland-0") is
// in XDG_RUNTIME_DIR. Empty when that is not set.
QString waylandSocketPath(const QString &waylandDisplay, const QString &runtimeDir);
