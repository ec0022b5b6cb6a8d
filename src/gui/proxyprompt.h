#pragma once

struct DownloadSettings;

// The desktop's answer to a proxy that is switched on without a host: the
// proxy settings dialog, after which the download uses what the store then
// holds. Given to downloads as DownloadSettings::askForProxyHost.
void askForProxyHost(DownloadSettings &settings);

// The download of a check in the windows: the run's, with the proxy the store
// holds now (the settings dialog may have changed it), asking for a missing
// proxy host with the dialog.
DownloadSettings checkSettings(const DownloadSettings &run);
