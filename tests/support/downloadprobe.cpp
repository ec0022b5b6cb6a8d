#include "downloadprobe.h"

#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "stdoutcapture.h"

#include <QNetworkProxy>

DownloadOutcome downloadCatalogue(const QString &url)
{
    StdoutCapture capture;
    const UpdateRequest request(url);
    return {request.jsonBytes(), request.json(), capture.text()};
}

void resetDownloadSettings(bool useCurl)
{
    Common *store = Common::instance();
    store->useCurl = useCurl;
    store->useProxy = false;
    store->proxy = QNetworkProxy();
    store->lastError = Common::ErrNone;
}
