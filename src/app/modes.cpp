#include "app/modes.h"

#include "app/exitstatus.h"
#include "app/jsonreport.h"
#include "app/metrics.h"
#include "app/pluginreport.h"
#include "app/reportfile.h"
#include "catalogue/brivexupdate.h"
#include "catalogue/checkreport.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/safefile.h"
#include "core/utils.h"
#include "products/brivexconfig.h"

#include <QDateTime>
#include <QObject>
#include <QSet>

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
    } else {
        reportCheckError(error);
    }
}

namespace {

// Marks the updates that the earlier report did not list: by their QFE_ID,
// or by their name where they have none.
void markNew(CheckReport &report, const CheckReport &earlier)
{
    const auto keyOf = [](const CheckReport::Update &update) -> QString {
        const PatchItem &patch = update.patch;
        return patch.qfeId.isEmpty() ? QStringLiteral("name ") + patch.name
                                     : QStringLiteral("qfe ") + patch.qfeId;
    };
    QSet<QString> listed;
    for (const CheckReport::Update &update : earlier.updates)
        listed.insert(keyOf(update));
    for (CheckReport::Update &update : report.updates)
        update.isNew = !listed.contains(keyOf(update));
}

// -o: the document goes to the file. A failed check never replaces the
// report of a successful one: that is kept, and says when and why the last
// check failed; and no check replaces a report of a check that began after
// it. Standard error ends with the summary a journal shows. *standing is the
// report that stands at the path afterwards.
int writeStoredReport(
    JsonReport document, const QString &path, const QDateTime &runStart, JsonReport *standing)
{
    *standing = document;
    tellWhenNothingIsInstalled(document, Origin::ThisRun);
    const int status = exitStatus(Output::Json, outcomeOf(document.report));
    const auto refuse = [&path](const QString &problem) {
        Console::writeLine(QStringLiteral("korvane: ")
            + QObject::tr("The report could not be written to %1: %2. The file there is left "
                          "as it was.")
                  .arg(path, problem));
        return exitStatus(Output::Json, Outcome::NotWritten);
    };
    // Read, amended and replaced by one writer at a time.
    const SafeFile::Lock lock(ReportFile::lockPath(path));
    if (!lock.problem().isEmpty())
        return refuse(lock.problem());
    QString ignored;
    std::optional<JsonReport> kept = ReportFile::read(path, &ignored);
    const bool earlierSuccess = kept && !kept->report.error.failed();
    if (earlierSuccess)
        markNew(document.report, kept->report);
    // Told only once there is an earlier report to compare with.
    QString summary = pluginSummary(document.report, earlierSuccess);
    if (kept && kept->checkedAt > runStart) {
        Console::writeLine(summary + QStringLiteral("; ")
            + QObject::tr("the report of %1, from a check that began after this one, is left as "
                          "it is.")
                  .arg(kept->checkedAt.toString(Qt::ISODate)));
        *standing = std::move(*kept);
        return status;
    }
    if (document.report.error.failed() && earlierSuccess) {
        kept->lastFailure = JsonReport::Failure {document.checkedAt, document.report.error};
        summary += QStringLiteral("; ")
            + QObject::tr("the report of %1 is kept.").arg(kept->checkedAt.toString(Qt::ISODate));
        document = std::move(*kept);
    }
    const QString problem = ReportFile::write(path, document.encode());
    if (!problem.isEmpty())
        return refuse(problem);
    Console::writeLine(summary);
    *standing = std::move(document);
    return status;
}

// Why a file that the run is to write (-o, -x) cannot be, told before
// anything is checked; empty when it can.
bool refuseTarget(const QString &path, const char *what)
{
    const QString problem = path.isEmpty() ? QString() : ReportFile::targetProblem(path);
    if (problem.isEmpty())
        return false;
    Console::setLinesToStandardError(true);
    Console::writeLine(QStringLiteral("korvane: ")
        + QObject::tr("The %1 cannot be written to %2: %3. Nothing was checked.")
              .arg(QObject::tr(what), path, problem));
    return true;
}

// -x: the metrics of the report, beside whatever else the run reports; the
// status of the run, or that of a file not written.
int writeMetrics(const QString &path, const QByteArray &metrics, Output output, int status)
{
    if (path.isEmpty())
        return status;
    const QString problem = ReportFile::write(path, metrics);
    if (problem.isEmpty())
        return status;
    Console::setLinesToStandardError(true);
    Console::writeLine(QStringLiteral("korvane: ")
        + QObject::tr("The metrics could not be written to %1: %2.").arg(path, problem));
    return exitStatus(output, Outcome::NotWritten);
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
    // In minutes too: "48 hours old" would not say why a limit of 48 was passed.
    return QObject::tr("The stored report is %1 hours and %2 minutes old (checked at %3); the "
                       "limit is %4 hours.")
        .arg(age / 3600)
        .arg(age % 3600 / 60)
        .arg(checkedAt.toString(Qt::ISODate))
        .arg(maxAgeHours);
}

} // namespace

int runConsoleMode(const DownloadSettings &settings, ReportFormat format, const QString &reportPath,
    const QString &metricsPath)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in console mode >>>>>>>>>"));
    const QDateTime runStart = QDateTime::currentDateTimeUtc();
    // A file that cannot be written is told before anything is downloaded.
    if (refuseTarget(reportPath, QT_TRANSLATE_NOOP("QObject", "report"))
        || refuseTarget(metricsPath, QT_TRANSLATE_NOOP("QObject", "metrics")))
        return exitStatus(outputOf(format), Outcome::NotWritten);
    const QString &url = settings.url;
    const BrivexConfig *config = BrivexConfig::instance();
    JsonReport document;
    if (config->error().failed()) {
        // Nothing could be looked at: no request is made.
        document = JsonReport::ofThisRun(CheckReport::of(
            url, config->installedProducts(), config->installedPatches(), {}, config->error()));
    } else {
        const BrivexUpdate update(settings);
        reportCheckError(update.error());
        document = JsonReport::ofThisRun(CheckReport::of(url, update));
    }
    JsonReport standing = document;
    int status = !reportPath.isEmpty()
        ? writeStoredReport(document, reportPath, runStart, &standing)
        : presentReport(document, Origin::ThisRun, format);
    if (!metricsPath.isEmpty())
        status = writeMetrics(metricsPath, metricsText(standing), outputOf(format), status);
    Logger::instance()->close();
    return status;
}

namespace {

// A stored report's texts, as a check's own would be shown: one line each,
// no control characters.
void makePrintable(JsonReport &stored)
{
    const auto clean = [](QString &text) { text = Console::printable(text); };
    CheckReport &report = stored.report;
    for (CheckReport::Product &product : report.products) {
        clean(product.name);
        clean(product.version);
        clean(product.directory);
    }
    for (InstalledPatchEntry &patch : report.installedPatches) {
        clean(patch.name);
        clean(patch.qfeId);
    }
    for (CheckReport::Update &update : report.updates) {
        for (QString *text : {&update.patch.name, &update.patch.products, &update.patch.platform,
                 &update.patch.url, &update.patch.qfeId, &update.patch.releaseDate})
            clean(*text);
        for (QString &name : update.appliesTo)
            clean(name);
    }
    for (CheckError *error :
        {&report.error, stored.lastFailure ? &stored.lastFailure->error : nullptr}) {
        if (error) {
            clean(error->title);
            clean(error->message);
        }
    }
    for (QString *text : {&report.catalogueUrl, &stored.host, &stored.user, &stored.version})
        clean(*text);
}

} // namespace

int runStoredReport(const QString &path, std::optional<ReportFormat> shown, int maxAgeHours,
    const QString &metricsPath)
{
    // With -x alone only the metrics are written: a converting unit's run.
    const ReportFormat format = shown.value_or(ReportFormat::Json);
    if (!shown)
        Console::setLinesToStandardError(true);
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("Reading the stored report %1").arg(path));
    QString problem;
    std::optional<JsonReport> stored = ReportFile::read(path, &problem);
    // Never "no updates": a report that cannot be read says nothing about them.
    if (!stored) {
        const QString message
            = QObject::tr("The stored report %1 cannot be read: %2.").arg(path, problem);
        Logger::instance()->Print(Severity::Error, message);
        if (format == ReportFormat::Plugin)
            Console::writeDocument(pluginUnknownLine(message).toUtf8() + '\n');
        else
            Utils::ErrorMsg(QObject::tr("Report Error"), message, nullptr);
        return exitStatus(outputOf(format), Outcome::Failed);
    }
    const QByteArray metrics = metricsPath.isEmpty() ? QByteArray() : metricsText(*stored);
    if (!shown)
        return writeMetrics(metricsPath, metrics, Output::Console, 0);
    // The document is written again by the report writer, which escapes them.
    if (format != ReportFormat::Json)
        makePrintable(*stored);
    const CheckReport &report = stored->report;
    const QString stale = staleness(stored->checkedAt, maxAgeHours);
    if (format == ReportFormat::Plugin && !stale.isEmpty()) {
        Console::writeDocument(pluginUnknownLine(stale).toUtf8() + '\n');
        return writeMetrics(
            metricsPath, metrics, Output::Plugin, exitStatus(Output::Plugin, Outcome::Failed));
    }
    QString lastFailure;
    if (stored->lastFailure) {
        lastFailure = QObject::tr("the last check, at %1, failed: %2")
                          .arg(stored->lastFailure->checkedAt.toString(Qt::ISODate),
                              Console::printable(stored->lastFailure->error.message));
    }
    if (report.error.failed())
        Utils::ErrorMsg(report.error.title, Console::printable(report.error.message), nullptr);
    int status = presentReport(*stored, Origin::Stored, format, lastFailure);
    // Told beside the report, whose lines stay those of the check.
    if (format != ReportFormat::Plugin) {
        Console::setLinesToStandardError(true);
        if (!lastFailure.isEmpty())
            Console::writeLine(QStringLiteral("korvane: ") + lastFailure);
        if (!stale.isEmpty()) {
            Console::writeLine(QStringLiteral("korvane: ") + stale);
            status = exitStatus(outputOf(format), Outcome::Failed);
        }
    }
    return writeMetrics(metricsPath, metrics, outputOf(format), status);
}
