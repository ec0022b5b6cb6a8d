#include "catalogue/proxyurl.h"

#include <QStringList>

ProxyUrl ProxyUrl::parse(const QString &text)
{
    ProxyUrl url;
    QString rest = text;
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        url.scheme = text.left(schemeEnd);
        rest = text.mid(schemeEnd + 3);
    }

    if (text.contains(QLatin1Char('@'))) {
        url.hasCredentials = true;
        rest.replace(QLatin1Char('@'), QLatin1Char(':'));
        const QStringList parts = rest.split(QLatin1Char(':'), Qt::KeepEmptyParts);
        if (parts.size() >= 3) {
            url.user = parts.at(0);
            url.password = parts.at(1);
            url.host = parts.at(2);
        }
        if (parts.size() > 3) {
            url.hasPort = true;
            url.portText = parts.at(3);
        }
    } else {
        const QStringList parts = rest.split(QLatin1Char(':'), Qt::KeepEmptyParts);
        url.host = parts.at(0);
        if (parts.size() >= 2) {
            url.hasPort = true;
            url.portText = parts.at(1);
        }
    }
    return url;
}
