#include "catalogue/updaterequest.h"

#include "catalogue/cataloguetext.h"
#include "catalogue/curlcommand.h"
#include "catalogue/redirecttarget.h"
#include "core/common.h"
#include "core/logger.h"
#include "core/utils.h"
#include "gui/settingsdialog.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include <optional>

namespace {

constexpr int kDownloadTimeoutMs = 15000;
constexpr int kCurlTimeoutMs = 30000;

void log(Severity::Severity severity, const QString &text)
{
    Logger::instance()->Print(severity, text);
}

// Every failed download is logged, shown and recorded the same way; the caller
// then sees an empty catalogue.
void reportFailure(const QString &title, const QString &message)
{
    log(Severity::Error, message);
    Utils::ErrorMsg(title, message, nullptr);
    Common::instance()->lastError = Common::ErrNetwork;
}

void reportError(const QString &reason, int code)
{
    reportFailure(UpdateRequest::tr("Network Error"),
        UpdateRequest::tr("An error occurred: %1 (%2)").arg(reason).arg(code));
}

void reportEmptyCatalogue()
{
    reportFailure(UpdateRequest::tr("Network Error"),
        UpdateRequest::tr("The update server sent an empty patch catalogue."));
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

// The stored proxy when it is switched on and names a host. Without a host
// there is nothing to connect to, so the download goes on without a proxy.
std::optional<QNetworkProxy> usableStoredProxy()
{
    const Common *store = Common::instance();
    if (!store->useProxy)
        return std::nullopt;
    QNetworkProxy proxy = store->proxy;
    if (proxy.hostName().isEmpty()) {
        log(Severity::Warning,
            QStringLiteral("The proxy is switched on but no proxy host is set; "
                           "connecting without a proxy."));
        return std::nullopt;
    }
    proxy.setType(QNetworkProxy::HttpProxy);
    return proxy;
}

} // namespace

UpdateRequest::UpdateRequest(const QString &url)
    : m_url(url)
{
    if (QFileInfo::exists(QStringLiteral("/etc/SuSE-release")))
        log(Severity::Info, QStringLiteral("Detected SuSE Linux."));

    if (Common::instance()->useCurl) {
        downloadJsonUsingCurl();
        return;
    }

    log(Severity::Info, QStringLiteral("Connecting to update server (%1)").arg(url));
    m_manager = std::make_unique<QNetworkAccessManager>();
    connect(m_manager.get(), &QNetworkAccessManager::sslErrors, this, &UpdateRequest::sslErrors,
        Qt::UniqueConnection);
    checkProxy();
    download();
}

UpdateRequest::~UpdateRequest() = default;

QString UpdateRequest::json() const
{
    return QString::fromUtf8(m_json);
}

QByteArray UpdateRequest::jsonBytes() const
{
    return m_json;
}

void UpdateRequest::replyFinished(QNetworkReply *reply)
{
    if (!reply)
        return;
    m_json = CatalogueText::fromReceived(reply->readAll());
    emit dataComplete();
}

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
    Common *store = Common::instance();
    if (!store->useProxy)
        return;
    if (store->proxy.hostName().isEmpty() && Utils::isGuiApp()) {
        SettingsDialog dialog;
        dialog.exec();
    }
    // Read again: the dialog may have changed or switched off the proxy.
    if (const std::optional<QNetworkProxy> proxy = usableStoredProxy())
        m_manager->setProxy(*proxy);
}

void UpdateRequest::download()
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(kDownloadTimeoutMs);

    const QUrl requested(m_url);
    std::unique_ptr<QNetworkReply> reply(m_manager->get(catalogueRequest(requested)));
    waitForReply(reply.get(), &deadline);

    bool redirected = false;
    if (deadline.isActive() && reply->error() == QNetworkReply::NoError
        && RedirectTarget::isFollowed(statusCode(*reply))) {
        const RedirectTarget target = RedirectTarget::resolve(
            requested, reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
        if (!target.error.isEmpty()) {
            reportError(target.error, QNetworkReply::ProtocolFailure);
            return;
        }
        log(Severity::Info,
            QStringLiteral("Redirecting to %1").arg(target.url.toString(QUrl::RemovePassword)));
        reply.reset(m_manager->get(catalogueRequest(target.url)));
        redirected = true;
        // Bounded by the same deadline as the first request.
        waitForReply(reply.get(), &deadline);
    }

    if (!deadline.isActive()) {
        reply->abort();
        const QString message = tr("A network timeout occurred.  Please make sure you are "
                                   "connected to the internet.");
        reportFailure(tr("Network Timeout"), message);
        return;
    }
    deadline.stop();

    if (reply->error() != QNetworkReply::NoError) {
        reportError(reply->errorString(), reply->error());
        return;
    }
    if (redirected && RedirectTarget::isFollowed(statusCode(*reply))) {
        reportError(tr("The update server redirected the request more than once."),
            QNetworkReply::TooManyRedirectsError);
        return;
    }

    QByteArray body = reply->readAll();
    log(Severity::Info, QStringLiteral("%1 bytes of JSON received.").arg(body.size()));
    m_json = CatalogueText::fromReceived(std::move(body));
    if (m_json.isEmpty()) {
        reportEmptyCatalogue();
        return;
    }
    emit dataComplete();
}

void UpdateRequest::downloadJsonUsingCurl()
{
    log(Severity::Info, QStringLiteral("Using curl to retrieve JSON patch list."));
    const CurlCommand command = CurlCommand::forDownload(m_url, usableStoredProxy());

    const QDeadlineTimer deadline(kCurlTimeoutMs);
    QProcess curl;
    curl.setProgram(QStringLiteral("curl"));
    curl.setArguments(command.arguments);
    curl.start(QIODevice::ReadWrite);
    if (!curl.waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        reportError(tr("curl could not be started"), -1);
        return;
    }
    curl.write(command.config);
    curl.closeWriteChannel();
    if (!curl.waitForFinished(static_cast<int>(deadline.remainingTime()))) {
        curl.kill();
        curl.waitForFinished();
        reportError(tr("curl did not finish within 30 seconds"), -1);
        return;
    }

    log(Severity::Info,
        QStringLiteral("curl exit status = %1").arg(static_cast<int>(curl.exitStatus())));
    if (curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        QString reason = CurlCommand::errorLine(curl.readAllStandardError());
        if (reason.isEmpty())
            reason = curl.exitStatus() == QProcess::NormalExit
                ? tr("curl failed without an error message")
                : tr("curl stopped unexpectedly");
        reportError(reason, curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1);
        return;
    }

    m_json = CatalogueText::fromReceived(curl.readAllStandardOutput());
    log(Severity::Info, QStringLiteral("%1 bytes of JSON recieved.").arg(m_json.size()));
    if (m_json.isEmpty())
        reportEmptyCatalogue();
}
