#include "catalogue/curldownload.h"

#include "catalogue/cataloguetext.h"
#include "catalogue/curlcommand.h"
#include "core/logger.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

namespace {

void log(Severity::Severity severity, const QString &text)
{
    Logger::instance()->Print(severity, text);
}

void stop(QProcess &curl)
{
    curl.kill();
    curl.waitForFinished();
}

} // namespace

DownloadResult CurlDownload::run(const DownloadSettings &settings)
{
    log(Severity::Info, QStringLiteral("Using curl to retrieve JSON patch list."));
    const CurlCommand command = CurlCommand::forDownload(settings.url, settings.usableProxy());

    const QDeadlineTimer deadline(settings.curlTimeoutMs, Qt::PreciseTimer);
    QProcess curl;
    curl.setProgram(QStringLiteral("curl"));
    curl.setArguments(command.arguments);
    curl.start(QIODevice::ReadWrite);
    if (!curl.waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        return DownloadResult::networkError(
            QCoreApplication::translate("UpdateRequest", "curl could not be started"), -1);
    }
    curl.write(command.config);
    curl.closeWriteChannel();

    // The output is read as it comes, so that an endless body is stopped at
    // the limit rather than held in memory.
    QByteArray body;
    for (;;) {
        body += curl.readAllStandardOutput();
        if (body.size() > settings.maxBytes) {
            stop(curl);
            return DownloadResult::tooLarge(settings.maxBytes);
        }
        if (curl.state() == QProcess::NotRunning)
            break;
        if (deadline.hasExpired()) {
            stop(curl);
            return DownloadResult::timeout(QCoreApplication::translate("UpdateRequest",
                                               "curl did not finish within %1 seconds")
                                               .arg((settings.curlTimeoutMs + 999) / 1000),
                -1);
        }
        // Returns false at once when curl closed its output but runs on.
        const int wait = static_cast<int>(deadline.remainingTime());
        if (!curl.waitForReadyRead(wait) && curl.state() != QProcess::NotRunning)
            curl.waitForFinished(static_cast<int>(deadline.remainingTime()));
    }

    log(Severity::Info,
        QStringLiteral("curl exit status = %1").arg(static_cast<int>(curl.exitStatus())));
    const QByteArray standardError = curl.readAllStandardError();
    if (curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        QString reason = CurlCommand::errorLine(standardError);
        if (reason.isEmpty()) {
            reason = curl.exitStatus() == QProcess::NormalExit
                ? QCoreApplication::translate(
                    "UpdateRequest", "curl failed without an error message")
                : QCoreApplication::translate("UpdateRequest", "curl stopped unexpectedly");
        }
        return DownloadResult::networkError(
            reason, curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1);
    }
    const int status = CurlCommand::httpStatus(standardError);
    if (status != 0 && (status < 200 || status > 299))
        return DownloadResult::unexpectedStatus(status);

    CatalogueBody text(CatalogueText::fromReceived(std::move(body)));
    log(Severity::Info, QStringLiteral("%1 bytes of JSON recieved.").arg(text.size()));
    return DownloadResult::received(std::move(text));
}
