#include "download/curldownload.h"

#include "core/logger.h"
#include "download/curlcommand.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkReply>
#include <QProcess>
#include <QUrl>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

// What curl wrote on standard error that is kept: its own lines come last.
constexpr qsizetype kErrorTail = 64 * 1024;
constexpr int kHttpError = 22; // CURLE_HTTP_RETURNED_ERROR, for --fail
constexpr int kTimedOut = 28; // CURLE_OPERATION_TIMEDOUT
constexpr int kProxyNotFound = 5; // CURLE_COULDNT_RESOLVE_PROXY
constexpr int kNoConnection = 7; // CURLE_COULDNT_CONNECT: to the proxy when there is one
// curl is stopped only this long after its own limit, which it ends at by
// itself, telling how much arrived.
constexpr int kGraceMs = 500;

QString tr(const char *text)
{
    return QCoreApplication::translate("UpdateRequest", text);
}

void log(Severity::Severity severity, const QString &text)
{
    Logger::instance()->Print(severity, text);
}

void stop(QProcess &curl)
{
    curl.kill();
    curl.waitForFinished();
}

void keepTail(QByteArray *kept, const QByteArray &more)
{
    kept->append(more);
    if (kept->size() > kErrorTail)
        kept->remove(0, kept->size() - kErrorTail);
}

} // namespace

DownloadResult CurlDownload::run(
    const DownloadSettings &settings, const Validators &validators, const CatalogueSink &sink)
{
    log(Severity::Info, QStringLiteral("Using curl to retrieve JSON patch list."));
    const std::optional<QNetworkProxy> proxy = settings.usableProxy();
    const CurlCommand command = CurlCommand::forDownload(
        settings.url, proxy, settings.curlTimeoutMs, validators, settings.userAgent);

    const QDeadlineTimer deadline(settings.curlTimeoutMs + kGraceMs, Qt::PreciseTimer);
    QProcess curl;
    curl.setProgram(QStringLiteral("curl"));
    curl.setArguments(command.arguments);
    // curl ends with the thread that starts it, however that ends; if it has
    // already ended, at once.
    const pid_t parent = ::getpid();
    curl.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
    curl.start(QIODevice::ReadWrite);
    if (!curl.waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        if (curl.error() == QProcess::FailedToStart)
            return DownloadResult::curlMissing();
        return DownloadResult::networkError(
            tr("curl could not be started: %1").arg(curl.errorString()), -1);
    }
    curl.write(command.config);
    curl.closeWriteChannel();

    // The output is passed on as it comes, and an endless body is stopped at
    // the limit.
    qint64 received = 0;
    QByteArray standardError;
    for (;;) {
        const QByteArray piece = curl.readAllStandardOutput();
        received += piece.size();
        keepTail(&standardError, curl.readAllStandardError());
        if (received > settings.maxBytes) {
            stop(curl);
            return DownloadResult::tooLarge(settings.maxBytes);
        }
        if (!piece.isEmpty())
            sink(piece);
        if (curl.state() == QProcess::NotRunning)
            break;
        if (deadline.hasExpired()) {
            stop(curl);
            // Its report is lost with it: what it wrote of the body tells.
            return DownloadResult::timeout(settings, {received > 0, received, -1});
        }
        // Returns false at once when curl closed its output but runs on.
        const int wait = static_cast<int>(deadline.remainingTime());
        if (!curl.waitForReadyRead(wait) && curl.state() != QProcess::NotRunning)
            curl.waitForFinished(static_cast<int>(deadline.remainingTime()));
    }
    keepTail(&standardError, curl.readAllStandardError());

    const bool exited = curl.exitStatus() == QProcess::NormalExit;
    const int exitCode = exited ? curl.exitCode() : -1;
    log(Severity::Info, QStringLiteral("curl exit status = %1").arg(exitCode));
    const CurlCommand::Report report = CurlCommand::report(standardError);
    // Any other failure (a redirect not followed, too many of them) is told
    // better by curl's own line.
    const bool answered = exitCode == 0 || exitCode == kHttpError;
    DownloadResult result;
    if (report.status != 0)
        result.transfer = CatalogueTransfer {report.status, report.arrived, report.validators};
    if (answered && report.status == 304)
        return result;
    if (answered && report.status != 0 && (report.status < 200 || report.status > 299)) {
        return DownloadResult::httpError(report.status, report.reason, QUrl(report.url),
            exitCode != 0 ? exitCode : int(QNetworkReply::UnknownContentError));
    }
    if (exitCode == kTimedOut)
        return DownloadResult::timeout(
            settings, {report.status != 0, report.arrived, report.total});
    if (exitCode == kProxyNotFound && proxy)
        return DownloadResult::proxyNotFound(*proxy, exitCode);
    if (exitCode == kNoConnection && proxy)
        return DownloadResult::proxyRefused(*proxy, exitCode);
    if (exitCode != 0) {
        QString reason = report.errorLine;
        if (reason.isEmpty()) {
            reason = exited ? tr("curl failed without an error message")
                            : tr("curl stopped unexpectedly");
        }
        return DownloadResult::networkError(reason, exitCode);
    }

    log(Severity::Info, QStringLiteral("%1 bytes of JSON recieved.").arg(received));
    return result;
}
