#include "download/downloadsettings.h"

#include "core/logger.h"

std::optional<QNetworkProxy> DownloadSettings::usableProxy() const
{
    if (!useProxy)
        return std::nullopt;
    if (proxy.hostName().isEmpty()) {
        Logger::instance()->Print(Severity::Warning,
            QStringLiteral("The proxy is switched on but no proxy host is set; "
                           "connecting without a proxy."));
        return std::nullopt;
    }
    QNetworkProxy usable = proxy;
    usable.setType(QNetworkProxy::HttpProxy);
    return usable;
}
