#pragma once

struct DownloadSettings;

// The desktop's answer to a proxy that is switched on without a host: the
// proxy settings dialog, after which the download uses what the store then
// holds. Given to downloads as DownloadSettings::askForProxyHost.
void askForProxyHost(DownloadSettings &settings);

// The store's download settings for its catalogue URL, asking for a missing
// proxy host with the dialog.
DownloadSettings desktopDownloadSettings();
