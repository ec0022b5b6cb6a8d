#pragma once

#include <QString>

#include <netdb.h>

// The variables that say which display a run has.
struct DisplayEnvironment
{
    QString display; // DISPLAY
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString platform; // QT_QPA_PLATFORM
    QString runtimeDir; // XDG_RUNTIME_DIR

    static DisplayEnvironment ofThisProcess();
};

// The one decision of which display a run shows its windows on, used by the
// choice of mode, the probe and the desktop application object.
struct DisplayTarget
{
    enum Kind { None, X11, Wayland, Other };
    Kind kind = None; // Other: a platform chosen by the user, Qt's to open
    QString name; // DISPLAY, or WAYLAND_DISPLAY
    QString waylandSocket; // the compositor's socket; empty when unknown
    // The platform Qt is to be told to use; empty leaves Qt its own choice.
    QByteArray platform;
};
// Without DISPLAY and WAYLAND_DISPLAY there is none. Without DISPLAY, or with
// Qt's platform set to wayland, the Wayland compositor of WAYLAND_DISPLAY (Qt
// would try X11 first and abort, so it is told); with another platform
// chosen, that one; otherwise the X11 display of DISPLAY.
DisplayTarget displayTarget(const DisplayEnvironment &environment);

// Whether the display the desktop part would use answers. A display that
// accepts a connection but never answers would hang the desktop part, and one
// that cannot be opened aborts it, so the console program asks first: it
// sends the X11 connection set-up and waits for a complete reply (a refusal
// for lack of authorisation shows a server too), or asks the Wayland
// compositor (a sync request, answered by an event). A platform of the user's
// choice is not asked. On failure *reason says why, for the log.
bool displayAnswers(const DisplayTarget &target, QString *reason, int timeoutMs = 2000);

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
