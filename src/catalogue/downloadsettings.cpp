#include "catalogue/downloadsettings.h"

#include "core/common.h"
#include "core/logger.h"

DownloadSettings DownloadSettings::fromStore(const QString &url)
{
    const Common *store = Common::instance();
    DownloadSettings settings;
    settings.url = url;
    settings.useProxy = store->useProxy;
    settings.proxy = store->proxy;
    settings.useCurl = store->useCurl;
    if (store->timeLimitSeconds > 0) {
        settings.timeoutMs = store->timeLimitSeconds * 1000;
        settings.curlTimeoutMs = settings.timeoutMs;
        settings.timeLimitGiven = true;
    }
    return settings;
}

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
