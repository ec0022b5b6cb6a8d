#include "app/displayprobe.h"

#include <xcb/xcb.h>

bool displayReachable(QString *reason)
{
    // Only the X11 platform connects to DISPLAY; another platform chosen
    // through the environment (offscreen, wayland) is left to Qt.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")))
        return true;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error == 0)
        return true;
    *reason = QStringLiteral("Cannot open the display \"%1\"; running in console mode.")
                  .arg(qEnvironmentVariable("DISPLAY"));
    return false;
}
