#include "download/downloadresult.h"

#include "core/common.h"
#include "core/console.h"
#include "download/downloadsettings.h"
#include "download/networkutils.h"

#include <QCoreApplication>
#include <QLocale>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrl>

#include <algorithm>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("UpdateRequest", text);
}

DownloadResult catalogueError(const QString &message)
{
    DownloadResult result;
    result.error = {Common::ErrCatalogue, tr("Catalogue Error"), message};
    return result;
}

QString statusText(int status, const QString &reason)
{
    const QString plain = DownloadResult::plainReason(reason);
    return plain.isEmpty() ? QString::number(status) : QString::number(status) + u' ' + plain;
}

// The message names the proxy and says where its settings are.
DownloadResult proxyError(const QString &what, const QNetworkProxy &proxy, int code)
{
    return DownloadResult::networkError(what.arg(proxy.hostName()).arg(proxy.port()) + u' '
            + tr("Check the proxy settings with korvane -s, or remove them with korvane -k."),
        code);
}

// Who set the limit, and how long it is.
QString limitText(const DownloadSettings &settings)
{
    const int limitMs = settings.useCurl ? settings.curlTimeoutMs : settings.timeoutMs;
    const QString seconds = QLocale().toString(limitMs / 1000.0);
    if (settings.timeLimitGiven)
        return tr("the limit set by -t is %1 s").arg(seconds);
    return settings.useCurl ? tr("the default limit with -r is %1 s").arg(seconds)
                            : tr("the default limit is %1 s").arg(seconds);
}

// In bytes up to a million, else in MB.
QString arrivedText(qint64 arrived, qint64 total)
{
    const QLocale locale;
    if (std::max(arrived, total) < 1000 * 1000) {
        return total < 0
            ? tr("%1 bytes arrived").arg(locale.toString(arrived))
            : tr("%1 of %2 bytes arrived").arg(locale.toString(arrived), locale.toString(total));
    }
    const auto mb = [&locale](qint64 bytes) { return locale.toString(bytes / 1e6, 'f', 1); };
    return total < 0 ? tr("%1 MB arrived").arg(mb(arrived))
                     : tr("%1 of %2 MB arrived").arg(mb(arrived), mb(total));
}

} // namespace

DownloadResult DownloadResult::failure(const QString &title, const QString &message)
{
    DownloadResult result;
    result.error = {Common::ErrNetwork, title, message};
    return result;
}

DownloadResult DownloadResult::networkError(const QString &reason, int code)
{
    return failure(tr("Network Error"), tr("An error occurred: %1 (%2)").arg(reason).arg(code));
}

DownloadResult DownloadResult::timeout(const DownloadSettings &settings, const Progress &progress)
{
    // Without an answer the connection itself is in doubt; with data flowing
    // it works, but too slowly for the limit.
    if (!progress.answered) {
        return failure(tr("Network Timeout"),
            tr("A network timeout occurred (%1).  Please make sure you are connected to the "
               "internet.")
                .arg(limitText(settings)));
    }
    return failure(tr("Network Timeout"),
        tr("A network timeout occurred (%1): %2.  Allow more time with -t.")
            .arg(limitText(settings), arrivedText(progress.arrived, progress.total)));
}

DownloadResult DownloadResult::httpError(
    int status, const QString &reason, const QUrl &url, int code)
{
    return networkError(tr("The server answered %1 for %2")
                            .arg(statusText(status, reason), url.toString(QUrl::RemovePassword)),
        code);
}

DownloadResult DownloadResult::interimReply(int status, const QString &reason)
{
    return networkError(tr("The server sent an interim reply (%1) that the built-in client cannot "
                           "pass over; curl can: run korvane with -r")
                            .arg(statusText(status, reason)),
        QNetworkReply::ProtocolFailure);
}

DownloadResult DownloadResult::proxyNotFound(const QNetworkProxy &proxy, int code)
{
    return proxyError(tr("The proxy %1:%2 could not be found."), proxy, code);
}

DownloadResult DownloadResult::proxyRefused(const QNetworkProxy &proxy, int code)
{
    return proxyError(tr("The proxy %1:%2 refused the connection."), proxy, code);
}

DownloadResult DownloadResult::unsupportedScheme(const QString &url)
{
    const QUrl parsed(url);
    const QString shown = Utils::urlForLog(url);
    const QString what = parsed.scheme().isEmpty()
        ? tr("The catalogue address %1 has no scheme").arg(shown)
        : tr("The catalogue address %1 has the scheme %2:, which cannot be fetched")
              .arg(shown, parsed.scheme());
    return networkError(
        what + tr("; use http://, https:// or file://"), QNetworkReply::ProtocolUnknownError);
}

DownloadResult DownloadResult::curlMissing()
{
    return networkError(
        tr("curl is not installed: install the curl package, or leave out -r to use the "
           "built-in client"),
        -1);
}

QString DownloadResult::plainReason(const QString &reason)
{
    constexpr qsizetype kLongest = 80;
    QString plain = Console::printable(reason.trimmed());
    if (plain.size() > kLongest)
        plain = plain.left(kLongest - 1) + QChar(0x2026);
    return plain;
}

DownloadResult DownloadResult::emptyCatalogue()
{
    return catalogueError(tr("The update server sent an empty patch catalogue."));
}

DownloadResult DownloadResult::tooLarge(qint64 limit)
{
    return catalogueError(
        tr("The patch catalogue is larger than %1 MiB.").arg(limit / (1024 * 1024)));
}
