#include "app/modes.h"

#include "app/checkfacts.h"
#include "app/consolereport.h"
#include "app/exitstatus.h"
#include "app/jsonreport.h"
#include "app/pluginreport.h"
#include "catalogue/brivexupdate.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/utils.h"
#include "gui/iconwindow.h"
#include "gui/notificationdialog.h"
#include "products/brivexconfig.h"

#include <QObject>

#include <memory>

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

// The check's failure as the reports show it: discovery's first, then the
// download's.
CheckError checkFailure(const CheckError &download)
{
    const CheckError &discovery = BrivexConfig::instance()->error();
    return discovery.failed() ? discovery : download;
}

int printDocument(const QList<PatchItem> &patches, const CheckError &failure, ReportFormat format)
{
    const BrivexConfig *config = BrivexConfig::instance();
    const CheckFacts facts {Common::instance()->updateUrl, config->installedProducts(),
        config->installedPatches(), patches, failure};
    if (format == ReportFormat::Json) {
        Console::writeDocument(jsonReport(facts));
        return jsonReportStatus(facts);
    }
    const PluginReport report = pluginReport(facts);
    Console::writeDocument(report.lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    return report.status;
}

} // namespace

int runConsoleMode(ReportFormat format)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in console mode >>>>>>>>>"));
    const BrivexUpdate update(DownloadSettings::fromStore(Common::instance()->updateUrl));
    reportCheckError(update.error());
    const QList<PatchItem> patches = update.patchList();
    // "No updates" for a machine where nothing was found would be misleading:
    // most likely the check ran as another user than the installation.
    if (BrivexConfig::instance()->installedProducts().isEmpty()) {
        Utils::InfoMsg(QObject::tr("No Products"),
            QObject::tr("No installed products were found for this user."), nullptr);
    }
    // Only a failure of the check itself stands in for its result: a settings
    // file that could not be written was reported where that happened.
    const CheckError failure = checkFailure(update.error());
    int status = failure.failed() ? ExitStatus::Failure : ExitStatus::Success;
    if (format != ReportFormat::Text)
        status = printDocument(patches, failure, format);
    else if (!patches.isEmpty())
        printItemListToConsole(patches, failure.code);
    else if (!failure.failed())
        Console::writeLine(QObject::tr("No updates available."));
    // Otherwise the failure has been reported where it happened.
    Logger::instance()->close();
    return status;
}

void runDesktopMode(bool tray)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in GUI mode >>>>>>>>>"));
    // The tray controller does all its work in its constructor.
    std::unique_ptr<QDialog> window;
    if (tray) {
        window = std::make_unique<IconWindow>();
    } else {
        window = std::make_unique<NotificationDialog>();
        window->exec();
    }
    Logger::instance()->close();
}
