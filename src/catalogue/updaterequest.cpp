#include "catalogue/updaterequest.h"

#include "catalogue/cataloguetext.h"
#include "catalogue/curldownload.h"
#include "catalogue/redirecttarget.h"
#include "core/logger.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include <optional>

namespace {

void log(Severity::Severity severity, const QString &text)
{
    Logger::instance()->Print(severity, text);
}

QNetworkRequest catalogueRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    // The status of a redirect must be seen here: only one hop is followed,
    // and only to http(s).
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

int statusCode(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// Waits until the reply has finished or the shared deadline timer has fired.
void waitForReply(QNetworkReply *reply, QTimer *deadline)
{
    if (reply->isFinished() || !deadline->isActive())
        return;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

UpdateRequest::UpdateRequest(const DownloadSettings &settings)
    : m_settings(settings)
{
    if (QFileInfo::exists(QStringLiteral("/etc/SuSE-release")))
        log(Severity::Info, QStringLiteral("Detected SuSE Linux."));

    if (m_settings.useCurl) {
        m_result = CurlDownload::run(m_settings);
        return;
    }

    log(Severity::Info, QStringLiteral("Connecting to update server (%1)").arg(m_settings.url));
    m_manager = std::make_unique<QNetworkAccessManager>();
    connect(m_manager.get(), &QNetworkAccessManager::sslErrors, this, &UpdateRequest::sslErrors,
        Qt::UniqueConnection);
    checkProxy();
    m_result = download();
}

UpdateRequest::~UpdateRequest() = default;

void UpdateRequest::sslErrors(QNetworkReply *reply, const QList<QSslError> &errors)
{
    Q_UNUSED(reply);
    // The errors are not ignored: a catalogue from a connection anyone could
    // intercept must not be trusted, so the reply then fails like any other.
    for (const QSslError &error : errors)
        log(Severity::Warning, QStringLiteral("SSL Error: %1").arg(error.errorString()));
}

void UpdateRequest::checkProxy()
{
    if (m_settings.useProxy && m_settings.proxy.hostName().isEmpty() && m_settings.askForProxyHost)
        m_settings.askForProxyHost(m_settings);
    if (const std::optional<QNetworkProxy> proxy = m_settings.usableProxy())
        m_manager->setProxy(*proxy);
}

DownloadResult UpdateRequest::download()
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(m_settings.timeoutMs);

    const QUrl requested(m_settings.url);
    std::unique_ptr<QNetworkReply> reply(m_manager->get(catalogueRequest(requested)));
    waitForReply(reply.get(), &deadline);

    bool redirected = false;
    if (deadline.isActive() && reply->error() == QNetworkReply::NoError
        && RedirectTarget::isFollowed(statusCode(*reply))) {
        const RedirectTarget target = RedirectTarget::resolve(
            requested, reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
        if (!target.error.isEmpty())
            return DownloadResult::networkError(target.error, QNetworkReply::ProtocolFailure);
        log(Severity::Info,
            QStringLiteral("Redirecting to %1").arg(target.url.toString(QUrl::RemovePassword)));
        reply.reset(m_manager->get(catalogueRequest(target.url)));
        redirected = true;
        // Bounded by the same deadline as the first request.
        waitForReply(reply.get(), &deadline);
    }

    if (!deadline.isActive()) {
        reply->abort();
        return DownloadResult::failure(tr("Network Timeout"),
            tr("A network timeout occurred.  Please make sure you are "
               "connected to the internet."));
    }
    deadline.stop();

    if (reply->error() != QNetworkReply::NoError)
        return DownloadResult::networkError(reply->errorString(), reply->error());
    if (redirected && RedirectTarget::isFollowed(statusCode(*reply))) {
        return DownloadResult::networkError(
            tr("The update server redirected the request more than once."),
            QNetworkReply::TooManyRedirectsError);
    }

    QByteArray body = reply->readAll();
    log(Severity::Info, QStringLiteral("%1 bytes of JSON received.").arg(body.size()));
    DownloadResult result;
    result.body = CatalogueText::fromReceived(std::move(body));
    if (result.body.isEmpty())
        return DownloadResult::emptyCatalogue();
    return result;
}
