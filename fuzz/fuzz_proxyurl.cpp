// A proxy URL as given with -p: the proxy made of it, and the text with its
// password hidden, which must hide exactly the password and keep the rest.
#include "download/networkutils.h"
#include "download/proxyurl.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const ProxyUrl url = ProxyUrl::parse(text);
    const ProxyUrl masked = ProxyUrl::parse(ProxyUrl::masked(text));
    const QString expectedPassword = url.password.isEmpty() ? QString() : QStringLiteral("****");
    if (masked.password != expectedPassword || masked.user != url.user || masked.host != url.host
        || masked.portText != url.portText || masked.scheme != url.scheme)
        std::abort();
    const QNetworkProxy proxy = Utils::networkProxyFromURL(text);
    if (!text.isEmpty() && proxy.hostName() != url.host)
        std::abort();
    return 0;
}
