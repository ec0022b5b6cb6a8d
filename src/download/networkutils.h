#pragma once

#include <QNetworkProxy>
#include <QString>

// The network helpers: the proxy URL of the command line and the check for a
// usable network interface.
namespace Utils {

// "[scheme://][user:password@]host[:port]" as an HTTP proxy; port 80 when the
// URL names none.
QNetworkProxy networkProxyFromURL(const QString &url);
// Some interface that is up, running, neither loopback nor point-to-point,
// while the machine has an address other than the local host's.
bool checkNetworkConnectivity();
bool isNetworkAccessable();

// A catalogue URL as the log and the reports may show it: a password in it is
// left out.
QString urlForLog(const QString &url);

} // namespace Utils
