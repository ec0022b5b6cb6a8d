#include "download/networkutils.h"

#include "core/logger.h"
#include "download/proxyurl.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QUrl>

QNetworkProxy Utils::networkProxyFromURL(const QString &url)
{
    QNetworkProxy proxy;
    if (url.isEmpty())
        return proxy;

    const ProxyUrl parts = ProxyUrl::parse(url);
    int port = 80;
    if (parts.hasPort) {
        port = parts.portText.toInt(); // 0 when it is not a number
    } else {
        Logger::instance()->Print(
            Severity::Info, QStringLiteral("Proxy port not defined.  Defaulting to 80"));
    }
    proxy.setUser(parts.user);
    proxy.setPassword(parts.password);
    proxy.setHostName(parts.host);
    proxy.setPort(static_cast<quint16>(port)); // only the low 16 bits survive
    proxy.setType(QNetworkProxy::HttpProxy);
    return proxy;
}

bool Utils::checkNetworkConnectivity()
{
    bool connected = false;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &networkInterface : interfaces) {
        Logger::instance()->Print(Severity::Debug,
            QStringLiteral("Checking interface for connectivity: %1 (%2)")
                .arg(networkInterface.humanReadableName(), networkInterface.hardwareAddress()));
        const QNetworkInterface::InterfaceFlags flags = networkInterface.flags();
        const bool qualifies = flags.testFlag(QNetworkInterface::IsUp)
            && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack)
            && !flags.testFlag(QNetworkInterface::IsPointToPoint) && networkInterface.isValid();
        if (!qualifies)
            continue;
        // Any address of the machine other than the local host counts, not only
        // those of this interface.
        const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
        for (const QHostAddress &address : addresses) {
            if (address == QHostAddress(QHostAddress::LocalHost)
                || address == QHostAddress(QHostAddress::LocalHostIPv6))
                continue;
            Logger::instance()->Print(
                Severity::Debug, QStringLiteral("    %1").arg(address.toString()));
            connected = true;
        }
    }
    return connected;
}

bool Utils::isNetworkAccessable()
{
    return checkNetworkConnectivity();
}

QString Utils::urlForLog(const QString &url)
{
    const QUrl parsed(url);
    return parsed.password().isEmpty() ? url : parsed.toString(QUrl::RemovePassword);
}
