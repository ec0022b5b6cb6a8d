#include "catalogue/curlcommand.h"

#include <QUrl>

CurlCommand CurlCommand::forDownload(const QString &url, const std::optional<QNetworkProxy> &proxy)
{
    CurlCommand command;
    // -q (first): no ~/.curlrc may change the request. -sS: no progress meter,
    // but errors on standard error. --fail: an error page is a failure, not a
    // catalogue. At most one redirect, and only to http(s). The HTTP status
    // follows on standard error, since only a 2xx body is the catalogue.
    command.arguments = {QStringLiteral("-q"), QStringLiteral("-sS"), QStringLiteral("-L"),
        QStringLiteral("--max-redirs"), QStringLiteral("1"), QStringLiteral("--fail"),
        QStringLiteral("--proto-redir"), QStringLiteral("=http,https"),
        QStringLiteral("--write-out"),
        QStringLiteral("%{stderr}") + QLatin1String(kStatusLabel)
            + QStringLiteral("%{http_code}\n"),
        QStringLiteral("--config"), QStringLiteral("-")};
    // The URL goes with the configuration on standard input too: a password in
    // it must not show in the process list.
    command.config = "url = " + quoted(url.toUtf8()) + '\n';
    if (proxy) {
        // curl decodes percent-encoded credentials, so ':' and '@' in them
        // cannot shift the parts of the proxy URL.
        const QByteArray proxyUrl = "http://" + QUrl::toPercentEncoding(proxy->user()) + ':'
            + QUrl::toPercentEncoding(proxy->password()) + '@' + proxy->hostName().toUtf8() + ':'
            + QByteArray::number(proxy->port());
        command.config += "proxy = " + quoted(proxyUrl) + '\n';
    }
    return command;
}

QByteArray CurlCommand::quoted(const QByteArray &value)
{
    QByteArray out;
    out.reserve(value.size() + 2);
    out += '"';
    for (const char c : value) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        default:
            out += c;
        }
    }
    out += '"';
    return out;
}

QString CurlCommand::errorLine(const QByteArray &standardError)
{
    // curl's own line ("curl: (60) SSL certificate problem: ..."); explanations
    // may follow it. Without one, the last line that is not the status.
    QByteArray last;
    for (const QByteArray &line : standardError.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("curl: ("))
            return QString::fromLocal8Bit(trimmed);
        if (!trimmed.isEmpty() && !trimmed.startsWith(kStatusLabel))
            last = trimmed;
    }
    return QString::fromLocal8Bit(last);
}

int CurlCommand::httpStatus(const QByteArray &standardError)
{
    const qsizetype at = standardError.lastIndexOf(kStatusLabel);
    if (at < 0)
        return 0;
    const qsizetype start = at + qstrlen(kStatusLabel);
    const qsizetype end = standardError.indexOf('\n', start);
    return standardError.mid(start, end < 0 ? -1 : end - start).toInt();
}
