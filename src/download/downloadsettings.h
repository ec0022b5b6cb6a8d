#pragma once

#include <QNetworkProxy>
#include <QString>

#include <functional>
#include <optional>

// Everything one catalogue download needs, given to it as a value: where,
// through which proxy, with which client, and how long it may take.
struct DownloadSettings
{
    static constexpr int kDefaultTimeoutMs = 15000;
    static constexpr int kDefaultCurlTimeoutMs = 30000;
    static constexpr qint64 kDefaultMaxBytes = 100 * 1024 * 1024;

    QString url;
    bool useProxy = false;
    QNetworkProxy proxy;
    bool useCurl = false;
    int timeoutMs = kDefaultTimeoutMs; // built-in client, redirect included
    int curlTimeoutMs = kDefaultCurlTimeoutMs;
    bool timeLimitGiven = false; // by -t, rather than the defaults
    // A larger catalogue is refused as soon as this many bytes are passed.
    qint64 maxBytes = kDefaultMaxBytes;
    // Sent as the User-Agent on both paths.
    QByteArray userAgent;
    // Where the catalogue is kept between checks (CatalogueCache); empty: it
    // is not.
    QString cacheFolder;
    // Asks with the validators of the kept copy, if there is one.
    bool conditional = true;
    // Asked (built-in client only) when the proxy is switched on but names no
    // host; it may change useProxy and proxy. Without it the download warns
    // and connects directly.
    std::function<void(DownloadSettings &)> askForProxyHost;

    // The proxy to connect through: the one switched on, when it names a host.
    // Logs a warning for a proxy that is switched on without a host.
    std::optional<QNetworkProxy> usableProxy() const;
};
