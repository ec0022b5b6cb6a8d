#include "download/proxyurl.h"

namespace {

bool isSchemeCharacter(QChar c, bool first)
{
    const bool letter = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    if (first)
        return letter;
    return letter || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+')
        || c == QLatin1Char('-') || c == QLatin1Char('.');
}

// Where the part after "scheme://" begins; 0 when the text does not start with
// a scheme ("user:pa://ss@host" has none).
qsizetype authorityStart(const QString &text)
{
    const qsizetype end = text.indexOf(QLatin1String("://"));
    if (end <= 0)
        return 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (!isSchemeCharacter(text.at(i), i == 0))
            return 0;
    }
    return end + 3;
}

} // namespace

ProxyUrl ProxyUrl::parse(const QString &text)
{
    ProxyUrl url;
    const qsizetype start = authorityStart(text);
    if (start > 0)
        url.scheme = text.left(start - 3);
    QString rest = text.mid(start);

    const qsizetype at = rest.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = rest.left(at);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        url.user = colon < 0 ? userInfo : userInfo.left(colon);
        url.password = colon < 0 ? QString() : userInfo.mid(colon + 1);
        rest.remove(0, at + 1);
    }
    // A path after the address ("proxy:3128/") is not part of it.
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        rest.truncate(slash);

    qsizetype hostEnd = rest.indexOf(QLatin1Char(':'));
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        hostEnd = close < 0 ? rest.size() : close + 1;
        // Anything but a port after the brackets leaves no usable host.
        if (close > 1 && (hostEnd == rest.size() || rest.at(hostEnd) == QLatin1Char(':')))
            url.host = rest.mid(1, close - 1);
    } else {
        if (hostEnd < 0)
            hostEnd = rest.size();
        url.host = rest.left(hostEnd);
    }
    if (hostEnd < rest.size() && rest.at(hostEnd) == QLatin1Char(':')) {
        url.hasPort = true;
        url.portText = rest.mid(hostEnd + 1);
    }
    return url;
}

QString ProxyUrl::masked(const QString &text)
{
    const qsizetype start = authorityStart(text);
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    if (at < start)
        return text;
    const qsizetype colon = text.indexOf(QLatin1Char(':'), start);
    if (colon < 0 || colon + 1 >= at)
        return text;
    return text.left(colon + 1) + QStringLiteral("****") + text.mid(at);
}
