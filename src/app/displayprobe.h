#pragma once

#include <QString>

// Whether the display the desktop part would use answers. A display that
// accepts a connection but never answers would hang the desktop part, and one
// that cannot be opened aborts it, so the console program asks first: it
// sends the X11 connection set-up and waits for a complete reply (a refusal
// for lack of authorisation shows a server too). Without DISPLAY, or with
// Qt's platform set to wayland, it asks the Wayland compositor of
// WAYLAND_DISPLAY instead (a sync request, answered by an event). On failure
// *reason says why, for the log.
bool displayAnswers(QString *reason, int timeoutMs = 2000);

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
