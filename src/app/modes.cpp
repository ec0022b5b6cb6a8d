#include "app/modes.h"

#include "app/consolereport.h"
#include "catalogue/brivexupdate.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/utils.h"
#include "products/brivexconfig.h"

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

void runConsoleMode()
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
    const CheckError &discovery = BrivexConfig::instance()->error();
    const int checkError = discovery.failed() ? discovery.code : update.error().code;
    if (!patches.isEmpty())
        printItemListToConsole(patches, checkError);
    else if (checkError == Common::ErrNone)
        Console::writeLine(QObject::tr("No updates available."));
    // Otherwise the failure has been reported where it happened.
    Logger::instance()->close();
}

void runDesktopMode(bool tray)
{
    Q_UNUSED(tray);
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in GUI mode >>>>>>>>>"));
    // The report window and the tray icon come with the desktop front end.
    Utils::InfoMsg(QObject::tr("Korvane"),
        QObject::tr("The report window is not available in this version. "
                    "Run \"korvane -c\" for the report on the console."),
        nullptr);
    Logger::instance()->close();
}
