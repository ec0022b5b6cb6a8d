#include "catalogue/downloadresult.h"

#include "core/common.h"

#include <QCoreApplication>

DownloadResult DownloadResult::failure(const QString &title, const QString &message)
{
    DownloadResult result;
    result.error = {Common::ErrNetwork, title, message};
    return result;
}

DownloadResult DownloadResult::networkError(const QString &reason, int code)
{
    return failure(QCoreApplication::translate("UpdateRequest", "Network Error"),
        QCoreApplication::translate("UpdateRequest", "An error occurred: %1 (%2)")
            .arg(reason)
            .arg(code));
}

DownloadResult DownloadResult::emptyCatalogue()
{
    return failure(QCoreApplication::translate("UpdateRequest", "Network Error"),
        QCoreApplication::translate(
            "UpdateRequest", "The update server sent an empty patch catalogue."));
}
