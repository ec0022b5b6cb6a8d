#include "download/curlcommand.h"

#include <QUrl>

CurlCommand CurlCommand::forDownload(const QString &url, const std::optional<QNetworkProxy> &proxy,
    int maxTimeMs, const Validators &validators, const QByteArray &userAgent)
{
    CurlCommand command;
    // -q (first): no ~/.curlrc may change the request. -sS: no progress meter,
    // but errors on standard error. --fail: an error page is a failure, not a
    // catalogue. At most one redirect, and only to http(s). --compressed: the
    // body is asked for compressed and written unpacked, so the size limit
    // counts what it unpacks to. The headers, and after them the HTTP status,
    // the last address and the body's size as sent (a time-out tells it), go to
    // standard error, since only a 2xx body is the catalogue and a failure names
    // its reason.
    command.arguments = {QStringLiteral("-q"), QStringLiteral("-sS"), QStringLiteral("-L"),
        QStringLiteral("--compressed"), QStringLiteral("--max-redirs"), QStringLiteral("1"),
        QStringLiteral("--fail"), QStringLiteral("--proto-redir"), QStringLiteral("=http,https"),
        QStringLiteral("--max-time"), QString::number(maxTimeMs / 1000.0),
        QStringLiteral("--dump-header"), QStringLiteral("/dev/stderr"),
        QStringLiteral("--write-out"),
        QStringLiteral("%{stderr}\n") + QLatin1String(kStatusLabel)
            + QStringLiteral("%{http_code}\n") + QLatin1String(kUrlLabel)
            + QStringLiteral("%{url_effective}\n") + QLatin1String(kArrivedLabel)
            + QStringLiteral("%{size_download}\n") + QLatin1String(kTotalLabel)
            + QStringLiteral("%header{content-length}\n") + QLatin1String(kEtagLabel)
            + QStringLiteral("%header{etag}\n") + QLatin1String(kLastModifiedLabel)
            + QStringLiteral("%header{last-modified}\n"),
        QStringLiteral("--config"), QStringLiteral("-")};
    // The URL goes with the configuration on standard input too: a password in
    // it must not show in the process list.
    command.config = "url = " + quoted(url.toUtf8()) + '\n';
    if (!userAgent.isEmpty())
        command.config += "user-agent = " + quoted(userAgent) + '\n';
    // The validators as the server sent them; curl sends them on a redirect
    // too.
    if (!validators.etag.isEmpty())
        command.config += "header = " + quoted("If-None-Match: " + validators.etag) + '\n';
    if (!validators.lastModified.isEmpty()) {
        command.config
            += "header = " + quoted("If-Modified-Since: " + validators.lastModified) + '\n';
    }
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

CurlCommand::Report CurlCommand::report(const QByteArray &standardError)
{
    // The server writes the headers and curl the rest, after them: what curl
    // wrote is taken from the last lines, and a status line only where a
    // header block starts.
    Report report;
    QByteArray curlError; // the last "curl: (N) ...", else the first other "curl: ..."
    int headerStatus = 0;
    QByteArray headerReason;
    bool blockStart = true;
    for (const QByteArray &line : standardError.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (blockStart && trimmed.startsWith("HTTP/")) {
            const QList<QByteArray> parts = line.chopped(line.endsWith('\r') ? 1 : 0).split(' ');
            headerStatus = parts.value(1).toInt();
            headerReason = parts.mid(2).join(' ');
        } else if (trimmed.startsWith(kStatusLabel)) {
            report.status = trimmed.mid(qstrlen(kStatusLabel)).toInt();
        } else if (trimmed.startsWith(kUrlLabel)) {
            report.url = QString::fromUtf8(trimmed.mid(qstrlen(kUrlLabel)));
        } else if (trimmed.startsWith(kArrivedLabel)) {
            report.arrived = trimmed.mid(qstrlen(kArrivedLabel)).toLongLong();
        } else if (line.startsWith(kEtagLabel)) {
            report.validators.etag = trimmed.mid(qstrlen(kEtagLabel)).trimmed();
        } else if (line.startsWith(kLastModifiedLabel)) {
            report.validators.lastModified = trimmed.mid(qstrlen(kLastModifiedLabel)).trimmed();
        } else if (trimmed.startsWith(kTotalLabel)) {
            bool known = false;
            const qint64 total = trimmed.mid(qstrlen(kTotalLabel)).toLongLong(&known);
            report.total = known ? total : -1;
        } else if (trimmed.startsWith("curl: (")
            || (trimmed.startsWith("curl: ") && !curlError.startsWith("curl: "))) {
            curlError = trimmed;
        }
        blockStart = trimmed.isEmpty();
    }
    report.errorLine = QString::fromLocal8Bit(curlError);
    if (report.status != 0 && report.status == headerStatus)
        report.reason = QString::fromUtf8(headerReason);
    return report;
}
