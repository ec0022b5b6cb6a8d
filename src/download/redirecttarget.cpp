#include "download/redirecttarget.h"

#include <QCoreApplication>

bool RedirectTarget::isFollowed(int statusCode)
{
    switch (statusCode) {
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:
        return true;
    default:
        return false;
    }
}

RedirectTarget RedirectTarget::resolve(const QUrl &requested, const QUrl &location)
{
    RedirectTarget target;
    if (location.isEmpty() || !location.isValid()) {
        target.error = QCoreApplication::translate(
            "UpdateRequest", "The update server sent a redirect without a valid target address.");
        return target;
    }
    const QUrl resolved = requested.resolved(location);
    const QString scheme = resolved.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        target.error = QCoreApplication::translate("UpdateRequest",
            "The update server redirected to %1, which is not an http or https "
            "address.")
                           .arg(resolved.toDisplayString());
        return target;
    }
    if (resolved.host().isEmpty()) {
        target.error = QCoreApplication::translate(
            "UpdateRequest", "The update server sent a redirect without a valid target address.");
        return target;
    }
    target.url = resolved;
    return target;
}
