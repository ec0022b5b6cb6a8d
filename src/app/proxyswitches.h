#pragma once

#include <QString>

// Why a proxy URL given with -p cannot be stored; empty when it can.
QString proxySwitchProblem(const QString &url);
// A remark about a usable proxy URL worth telling the user; usually empty.
QString proxySwitchNotice(const QString &url);

// -p URL (one proxySwitchProblem() passed): store and enable the proxy.
// -k: clear and disable it. Both return false when the settings could not be
// written, which they have told the user.
// -s: print the stored proxy settings.
bool applyProxySwitch(const QString &url);
bool clearProxySwitch();
void printProxySettings();
