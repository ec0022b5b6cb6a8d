#include "app/modes.h"

#include "app/consolereport.h"
#include "app/exitstatus.h"
#include "app/jsonreport.h"
#include "app/pluginreport.h"
#include "catalogue/brivexupdate.h"
#include "catalogue/checkreport.h"
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

int printDocument(const CheckReport &report, ReportFormat format)
{
    if (format == ReportFormat::Json) {
        Console::writeDocument(jsonReport(report));
        return jsonReportStatus(report);
    }
    const PluginReport plugin = pluginReport(report);
    Console::writeDocument(plugin.lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    return plugin.status;
}

} // namespace

int runConsoleMode(ReportFormat format)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in console mode >>>>>>>>>"));
    const BrivexUpdate update(DownloadSettings::fromStore(Common::instance()->updateUrl));
    reportCheckError(update.error());
    // Only a failure of the check itself stands in for its result: a settings
    // file that could not be written was reported where that happened.
    const CheckReport report = CheckReport::of(Common::instance()->updateUrl, update);
    // "No updates" for a machine where nothing was found would be misleading:
    // most likely the check ran as another user than the installation.
    if (report.products.isEmpty()) {
        Utils::InfoMsg(QObject::tr("No Products"),
            QObject::tr("No installed products were found for this user."), nullptr);
    }
    int status = report.error.failed() ? ExitStatus::Failure : ExitStatus::Success;
    if (format != ReportFormat::Text)
        status = printDocument(report, format);
    else if (!report.updates.isEmpty())
        Console::writeLines(consoleReportLines(report));
    else if (!report.error.failed())
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
