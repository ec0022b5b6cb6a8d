#pragma once

#include <QString>

// Why a proxy URL given with -p cannot be stored; empty when it can.
QString proxySwitchProblem(const QString &url);
// A remark about a usable proxy URL worth telling the user; usually empty.
QString proxySwitchNotice(const QString &url);

// -p URL: store and enable the proxy. -k: clear and disable it.
// -s: print the stored proxy settings.
void applyProxySwitch(const QString &url);
void clearProxySwitch();
void printProxySettings();
