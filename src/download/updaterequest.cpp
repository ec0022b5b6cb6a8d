#include "download/updaterequest.h"

#include "core/logger.h"
#include "download/bodydecoder.h"
#include "download/curldownload.h"
#include "download/networkutils.h"
#include "download/redirecttarget.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// The most read at once; Qt holds back at most four times as much.
constexpr qint64 kPiece = 256 * 1024;

void log(Severity::Severity severity, const QString &text)
{
    Logger::instance()->Print(severity, text);
}

QNetworkRequest catalogueRequest(
    const QUrl &url, const Validators &validators, const QByteArray &userAgent)
{
    QNetworkRequest request(url);
    if (!userAgent.isEmpty())
        request.setRawHeader("User-Agent", userAgent);
    // As the server sent them, on a redirected request too.
    if (!validators.etag.isEmpty())
        request.setRawHeader("If-None-Match", validators.etag);
    if (!validators.lastModified.isEmpty())
        request.setRawHeader("If-Modified-Since", validators.lastModified);
    // The status of a redirect must be seen here: only one hop is followed,
    // and only to http(s).
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Asked for here, a compressed body reaches the BodyDecoder as it was sent.
    request.setRawHeader("Accept-Encoding", BodyDecoder::kAccepted);
    return request;
}

int statusCode(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// Qt's message names the address, password included; the user, the log and
// the reports see it without.
QString replyError(const QNetworkReply &reply)
{
    const QUrl url = reply.url();
    QString text = reply.errorString();
    if (!url.password().isEmpty())
        text.replace(url.toString(), url.toString(QUrl::RemovePassword));
    return text;
}

std::vector<QNetworkAccessManager *> *abandonedManagers()
{
    // Never freed, and so never waited for: reachable, not leaked.
    static auto *managers = new std::vector<QNetworkAccessManager *>;
    return managers;
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

UpdateRequest::UpdateRequest(const DownloadSettings &settings, CatalogueSink sink)
    : m_settings(settings)
    , m_sink(sink ? std::move(sink) : [](QByteArrayView) {})
    , m_piece(kPiece, Qt::Uninitialized)
{
    if (QFileInfo::exists(QStringLiteral("/etc/SuSE-release")))
        log(Severity::Info, QStringLiteral("Detected SuSE Linux."));

    const QUrl url(m_settings.url);
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")
        && scheme != QLatin1String("file")) {
        m_result = DownloadResult::unsupportedScheme(m_settings.url);
        return;
    }
    if (url.isLocalFile()) {
        // Reading a FIFO or a device would never end.
        const QFileInfo file(url.toLocalFile());
        if ((file.exists() || file.isSymLink()) && !file.isFile()) {
            m_result
                = DownloadResult::networkError(tr("%1 is not a regular file").arg(file.filePath()),
                    QNetworkReply::ContentOperationNotPermittedError);
            return;
        }
        if (file.size() > m_settings.maxBytes) {
            m_result = DownloadResult::tooLarge(m_settings.maxBytes);
            return;
        }
    }

    if (!url.isLocalFile()) {
        m_cache = std::make_unique<CatalogueCache>(m_settings.cacheFolder, m_settings.url);
        if (m_settings.conditional)
            m_kept = m_cache->open();
    }
    if (m_settings.useCurl) {
        m_result = CurlDownload::run(
            m_settings, sentValidators(), [this](QByteArrayView piece) { deliver(piece); });
    } else {
        log(Severity::Info,
            QStringLiteral("Connecting to update server (%1)")
                .arg(Utils::urlForLog(m_settings.url)));
        m_manager = std::make_unique<QNetworkAccessManager>();
        connect(m_manager.get(), &QNetworkAccessManager::sslErrors, this, &UpdateRequest::sslErrors,
            Qt::UniqueConnection);
        checkProxy();
        m_result = download();
    }
    if (!m_result.error.failed() && m_result.transfer && m_result.transfer->status == 304)
        readKept();
}

Validators UpdateRequest::sentValidators() const
{
    return m_kept ? m_kept->validators : Validators();
}

void UpdateRequest::deliver(QByteArrayView piece)
{
    m_sink(piece);
    m_cache->write(piece);
}

void UpdateRequest::readKept()
{
    if (!m_kept) {
        m_result = DownloadResult::networkError(
            tr("The update server answered 304 Not Modified to a request for the whole "
               "catalogue."),
            QNetworkReply::UnknownContentError);
        return;
    }
    log(Severity::Info,
        QStringLiteral("The catalogue has not changed; the copy kept since %1 is read.")
            .arg(m_kept->fetchedAt.toString(Qt::ISODate)));
    const std::optional<CatalogueTransfer> transfer = m_result.transfer;
    m_result = readLocalFile(*m_kept->body);
    m_result.transfer = transfer;
    m_result.transfer->validators = m_kept->validators;
    m_readKept = true;
}

void UpdateRequest::keepCopy()
{
    if (m_cache && m_readKept)
        m_cache->removeLeftovers();
    else if (m_cache && m_result.transfer)
        m_cache->keep(m_result.transfer->validators);
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

DownloadResult UpdateRequest::replyFailure(const QNetworkReply &reply) const
{
    // Through a proxy, Qt words a proxy it cannot reach as the catalogue's
    // host.
    const QNetworkProxy proxy = m_manager->proxy();
    const bool throughProxy = proxy.type() == QNetworkProxy::HttpProxy;
    const QNetworkReply::NetworkError code = reply.error();
    if (throughProxy
        && (code == QNetworkReply::HostNotFoundError || code == QNetworkReply::ProxyNotFoundError))
        return DownloadResult::proxyNotFound(proxy, code);
    if (throughProxy
        && (code == QNetworkReply::ConnectionRefusedError
            || code == QNetworkReply::ProxyConnectionRefusedError))
        return DownloadResult::proxyRefused(proxy, code);
    return DownloadResult::networkError(replyError(reply), code);
}

QNetworkReply *UpdateRequest::get(const QUrl &url)
{
    m_arrived = 0;
    m_received = 0;
    m_tooLarge = false;
    m_decoder.reset();
    QNetworkReply *reply
        = m_manager->get(catalogueRequest(url, sentValidators(), m_settings.userAgent));
    // Qt reads on only while the body is taken, so that it never holds much.
    reply->setReadBufferSize(4 * kPiece);
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { pass(reply); });
    return reply;
}

void UpdateRequest::pass(QNetworkReply *reply)
{
    // The body of an error or a redirect is read, and measured, but is no
    // catalogue.
    const int status = statusCode(*reply);
    const bool catalogue = status == 0 || (status >= 200 && status <= 299);
    if (!m_decoder) {
        m_decoder = std::make_unique<BodyDecoder>(
            catalogue ? reply->rawHeader("Content-Encoding") : QByteArray());
    }
    const BodyDecoder::Output passOn = [this, reply, catalogue](QByteArrayView part) {
        m_received += part.size();
        // An endless body, or one that unpacks without end, is stopped at the
        // limit.
        if (m_received > m_settings.maxBytes) {
            m_tooLarge = true;
            reply->abort();
            return false;
        }
        if (catalogue)
            deliver(part);
        return true;
    };
    while (!m_tooLarge && m_decoder->error().isEmpty() && reply->bytesAvailable() > 0) {
        const qint64 got = reply->read(m_piece.data(), m_piece.size());
        if (got <= 0)
            return;
        m_arrived += got;
        if (!m_decoder->decode(QByteArrayView(m_piece.constData(), got), passOn))
            reply->abort();
    }
}

std::optional<DownloadResult> UpdateRequest::bodyFailure() const
{
    if (m_tooLarge)
        return DownloadResult::tooLarge(m_settings.maxBytes);
    if (m_decoder && !m_decoder->error().isEmpty())
        return DownloadResult::networkError(m_decoder->error(), QNetworkReply::UnknownContentError);
    return std::nullopt;
}

DownloadResult UpdateRequest::download()
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    deadline.start(m_settings.timeoutMs);

    const QUrl requested(m_settings.url);
    if (requested.isLocalFile()) {
        QFile file(requested.toLocalFile());
        if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return readLocalFile(file);
        // Otherwise the built-in client tells why it cannot be read.
    }
    std::unique_ptr<QNetworkReply> reply(get(requested));
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
        reply.reset(get(target.url));
        redirected = true;
        // Bounded by the same deadline as the first request.
        waitForReply(reply.get(), &deadline);
    }

    if (const std::optional<DownloadResult> failure = bodyFailure())
        return *failure;
    if (!deadline.isActive()) {
        // What Qt holds counts as arrived, though it was not read yet.
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        const DownloadResult::Progress progress
            = {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid(),
                m_arrived + reply->bytesAvailable(), length.isValid() ? length.toLongLong() : -1};
        reply->abort();
        // Qt's network thread can be held by a reply that it cannot abort (an
        // endless header line), and the manager's destructor waits 5 s for it
        // before leaving it running. It is left at once instead; it ends with
        // the process.
        abandonedManagers()->push_back(m_manager.release());
        return DownloadResult::timeout(m_settings, progress);
    }
    deadline.stop();

    const int status = statusCode(*reply); // 0 for file: and data: addresses
    if (redirected && RedirectTarget::isFollowed(status)) {
        return DownloadResult::networkError(
            tr("The update server redirected the request more than once."),
            QNetworkReply::TooManyRedirectsError);
    }
    DownloadResult result;
    if (status != 0) {
        result.transfer = CatalogueTransfer {status, m_arrived,
            {reply->rawHeader("ETag").trimmed(), reply->rawHeader("Last-Modified").trimmed()}};
    }
    if (status == 304)
        return result;
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    // Qt passes over 100 Continue only, and ends the reply at any other 1xx.
    if (status > 100 && status < 200)
        return DownloadResult::interimReply(status, reason);
    if (status != 0 && (status < 200 || status > 299)) {
        const QNetworkReply::NetworkError code = reply->error();
        return DownloadResult::httpError(status, reason, reply->url(),
            code != QNetworkReply::NoError ? code : QNetworkReply::UnknownContentError);
    }
    if (reply->error() != QNetworkReply::NoError)
        return replyFailure(*reply);

    pass(reply.get());
    if (const std::optional<DownloadResult> failure = bodyFailure())
        return *failure;
    // A connection that ends early can leave the reply without an error; only a
    // body of the announced length is whole. (A chunked body cut short does not
    // read as JSON.)
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_arrived) {
        return DownloadResult::networkError(tr("The connection ended after %1 of %2 bytes.")
                                                .arg(m_arrived)
                                                .arg(length.toLongLong()),
            QNetworkReply::RemoteHostClosedError);
    }
    log(Severity::Info, QStringLiteral("%1 bytes of JSON received.").arg(m_received));
    if (result.transfer)
        result.transfer->bytes = m_arrived;
    return result;
}

DownloadResult UpdateRequest::readLocalFile(QFile &file)
{
    for (;;) {
        const qint64 got = file.read(m_piece.data(), m_piece.size());
        if (got < 0) {
            return DownloadResult::networkError(
                tr("Read error reading from %1: %2").arg(file.fileName(), file.errorString()),
                QNetworkReply::ProtocolFailure);
        }
        if (got == 0)
            break;
        m_received += got;
        // The file may have grown since it was measured.
        if (m_received > m_settings.maxBytes)
            return DownloadResult::tooLarge(m_settings.maxBytes);
        m_sink(QByteArrayView(m_piece.constData(), got));
    }
    log(Severity::Info, QStringLiteral("%1 bytes of JSON received.").arg(m_received));
    return {};
}
