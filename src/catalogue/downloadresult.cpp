#include "catalogue/downloadresult.h"

#include "core/common.h"

#include <QCoreApplication>
#include <QNetworkReply>

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

} // namespace

DownloadResult DownloadResult::received(CatalogueBody body)
{
    if (body.isEmpty())
        return emptyCatalogue();
    DownloadResult result;
    result.body = std::move(body);
    return result;
}

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

DownloadResult DownloadResult::timeout(const QString &reason, int code)
{
    DownloadResult result = networkError(reason, code);
    result.error.title = tr("Network Timeout");
    return result;
}

DownloadResult DownloadResult::unexpectedStatus(int status)
{
    return networkError(
        tr("The update server answered with HTTP status %1 instead of the catalogue.").arg(status),
        QNetworkReply::UnknownContentError);
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
