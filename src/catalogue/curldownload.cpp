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

} // namespace

DownloadResult CurlDownload::run(const DownloadSettings &settings)
{
    log(Severity::Info, QStringLiteral("Using curl to retrieve JSON patch list."));
    const CurlCommand command = CurlCommand::forDownload(settings.url, settings.usableProxy());

    const QDeadlineTimer deadline(settings.curlTimeoutMs);
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
    if (!curl.waitForFinished(static_cast<int>(deadline.remainingTime()))) {
        curl.kill();
        curl.waitForFinished();
        return DownloadResult::networkError(
            QCoreApplication::translate("UpdateRequest", "curl did not finish within %1 seconds")
                .arg((settings.curlTimeoutMs + 999) / 1000),
            -1);
    }

    log(Severity::Info,
        QStringLiteral("curl exit status = %1").arg(static_cast<int>(curl.exitStatus())));
    if (curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        QString reason = CurlCommand::errorLine(curl.readAllStandardError());
        if (reason.isEmpty()) {
            reason = curl.exitStatus() == QProcess::NormalExit
                ? QCoreApplication::translate(
                    "UpdateRequest", "curl failed without an error message")
                : QCoreApplication::translate("UpdateRequest", "curl stopped unexpectedly");
        }
        return DownloadResult::networkError(
            reason, curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1);
    }

    DownloadResult result;
    result.body = CatalogueText::fromReceived(curl.readAllStandardOutput());
    log(Severity::Info, QStringLiteral("%1 bytes of JSON recieved.").arg(result.body.size()));
    if (result.body.isEmpty())
        return DownloadResult::emptyCatalogue();
    return result;
}
