#pragma once

#include <QString>

// Whether the X display named by DISPLAY accepts a connection. Creating the
// desktop application object on an unreachable display aborts the process,
// so start-up asks first. On failure *reason says why, for the log.
bool displayReachable(QString *reason);
