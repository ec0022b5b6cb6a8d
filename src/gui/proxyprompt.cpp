#include "gui/proxyprompt.h"

#include "core/common.h"
#include "download/downloadsettings.h"
#include "gui/settingsdialog.h"

void askForProxyHost(DownloadSettings &settings)
{
    SettingsDialog dialog;
    dialog.exec();
    // Read again whatever the dialog left, accepted or not.
    const Common *store = Common::instance();
    settings.useProxy = store->useProxy;
    settings.proxy = store->proxy;
}

DownloadSettings checkSettings(const DownloadSettings &run)
{
    DownloadSettings settings = run;
    settings.useProxy = Common::instance()->useProxy;
    settings.proxy = Common::instance()->proxy;
    settings.askForProxyHost = &askForProxyHost;
    return settings;
}
