#include "catalogue/curlcommand.h"

#include <QUrl>

CurlCommand CurlCommand::forDownload(const QString &url, const std::optional<QNetworkProxy> &proxy)
{
    CurlCommand command;
    // -sS: no progress meter, but errors on standard error. --fail: an error
    // page is a failure, not a catalogue. Redirects may only lead to http(s).
    command.arguments = {QStringLiteral("-sS"), QStringLiteral("-L"), QStringLiteral("--fail"),
        QStringLiteral("--proto-redir"), QStringLiteral("=http,https"), QStringLiteral("--config"),
        QStringLiteral("-"), QStringLiteral("--url"), url};
    if (proxy) {
        // curl decodes percent-encoded credentials, so ':' and '@' in them
        // cannot shift the parts of the proxy URL.
        const QByteArray proxyUrl = "http://" + QUrl::toPercentEncoding(proxy->user()) + ':'
            + QUrl::toPercentEncoding(proxy->password()) + '@' + proxy->hostName().toUtf8() + ':'
            + QByteArray::number(proxy->port());
        command.config = "proxy = " + quoted(proxyUrl) + '\n';
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
    const QList<QByteArray> lines = standardError.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QByteArray trimmed = line->trimmed();
        if (!trimmed.isEmpty())
            return QString::fromLocal8Bit(trimmed);
    }
    return QString();
}
