#include "app/modes.h"

#include "app/exitstatus.h"
#include "app/jsonreport.h"
#include "app/pluginreport.h"
#include "app/reportfile.h"
#include "catalogue/brivexupdate.h"
#include "catalogue/checkreport.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/utils.h"
#include "products/brivexconfig.h"

#include <QDateTime>
#include <QObject>

void discoverInstalledProducts()
{
    BrivexConfig *config = BrivexConfig::instance();
    config->init();
    const CheckError &error = config->error();
    if (!error.failed())
        return;
    // Nothing could be looked at, so no report may say "no updates". An unset
    // HOME is told as a plain console line and a Fatal log line.
    if (qEnvironmentVariableIsEmpty("HOME")) {
        Console::writeLine(error.message);
        Logger::instance()->Print(
            Severity::Fatal, QStringLiteral("Could not determine HOME directory."));
        Common::instance()->lastError = error.code;
    } else {
        reportCheckError(error);
    }
}

namespace {

// -o: the document goes to the file. A failed check never replaces the
// report of a successful one: that is kept, and says when and why the last
// check failed. Standard error ends with the summary a journal shows.
int writeStoredReport(JsonReport document, const QString &path)
{
    tellWhenNothingIsInstalled(document.report);
    const int status = jsonReportStatus(document.report);
    QString summary = pluginSummary(document.report);
    if (document.report.error.failed()) {
        QString ignored;
        const std::optional<QByteArray> stored = ReportFile::read(path, &ignored);
        std::optional<JsonReport> kept;
        if (stored)
            kept = JsonReport::decode(*stored, &ignored);
        if (kept && !kept->report.error.failed()) {
            kept->lastFailure = JsonReport::Failure {document.checkedAt, document.report.error};
            summary += QStringLiteral("; ")
                + QObject::tr("the report of %1 is kept.")
                      .arg(kept->checkedAt.toString(Qt::ISODate));
            document = *kept;
        }
    }
    const QString problem = ReportFile::write(path, document.encode());
    if (!problem.isEmpty()) {
        Console::writeLine(QStringLiteral("korvane: ")
            + QObject::tr("The report could not be written to %1: %2. The file there is left "
                          "as it was.")
                  .arg(path, problem));
        return ExitStatus::Failure;
    }
    Console::writeLine(summary);
    return status;
}

// Why the report is too old to stand for the installation; empty when it is not.
QString staleness(const QDateTime &checkedAt, int maxAgeHours)
{
    const qint64 age = checkedAt.secsTo(QDateTime::currentDateTimeUtc());
    // A clock set wrong somewhere must not keep a report fresh for ever.
    if (age < -5 * 60) {
        return QObject::tr("The stored report says it was checked at %1, which is in the future.")
            .arg(checkedAt.toString(Qt::ISODate));
    }
    if (age <= qint64(maxAgeHours) * 3600)
        return QString();
    return QObject::tr("The stored report is %1 hours old (checked at %2); the limit is %3 hours.")
        .arg(age / 3600)
        .arg(checkedAt.toString(Qt::ISODate))
        .arg(maxAgeHours);
}

} // namespace

int runConsoleMode(ReportFormat format, const QString &reportPath)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in console mode >>>>>>>>>"));
    const BrivexUpdate update(DownloadSettings::fromStore(Common::instance()->updateUrl));
    reportCheckError(update.error());
    // Only a failure of the check itself stands in for its result: a settings
    // file that could not be written was reported where that happened.
    const JsonReport document
        = JsonReport::ofThisRun(CheckReport::of(Common::instance()->updateUrl, update));
    // The document is written only where it is shown: it may be long.
    const int status = !reportPath.isEmpty()
        ? writeStoredReport(document, reportPath)
        : presentReport(document.report, format,
            format == ReportFormat::Json ? document.encode() : QByteArray());
    Logger::instance()->close();
    return status;
}

int runStoredReport(const QString &path, ReportFormat format, int maxAgeHours)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("Reading the stored report %1").arg(path));
    QString problem;
    const std::optional<QByteArray> bytes = ReportFile::read(path, &problem);
    std::optional<JsonReport> stored;
    if (bytes)
        stored = JsonReport::decode(*bytes, &problem);
    // Never "no updates": a report that cannot be read says nothing about them.
    if (!stored) {
        const QString message
            = QObject::tr("The stored report %1 cannot be read: %2.").arg(path, problem);
        Logger::instance()->Print(Severity::Error, message);
        if (format == ReportFormat::Plugin) {
            Console::writeDocument(pluginUnknownLine(message).toUtf8() + '\n');
            return ExitStatus::PluginUnknown;
        }
        Utils::ErrorMsg(QObject::tr("Report Error"), message, nullptr);
        return ExitStatus::Failure;
    }
    const CheckReport &report = stored->report;
    const QString stale = staleness(stored->checkedAt, maxAgeHours);
    if (format == ReportFormat::Plugin && !stale.isEmpty()) {
        Console::writeDocument(pluginUnknownLine(stale).toUtf8() + '\n');
        return ExitStatus::PluginUnknown;
    }
    QString lastFailure;
    if (stored->lastFailure) {
        lastFailure = QObject::tr("the last check, at %1, failed: %2")
                          .arg(stored->lastFailure->checkedAt.toString(Qt::ISODate),
                              stored->lastFailure->error.message);
    }
    if (report.error.failed())
        Utils::ErrorMsg(report.error.title, report.error.message, nullptr);
    int status = presentReport(report, format, *bytes, lastFailure);
    // Told beside the report, whose lines stay those of the check.
    if (format != ReportFormat::Plugin) {
        Console::setLinesToStandardError(true);
        if (!lastFailure.isEmpty())
            Console::writeLine(QStringLiteral("korvane: ") + lastFailure);
        if (!stale.isEmpty()) {
            Console::writeLine(QStringLiteral("korvane: ") + stale);
            status = ExitStatus::Failure;
        }
    }
    return status;
}
