#pragma once

#include "app/presentation.h"

#include <QString>

struct DownloadSettings;

// The steps of a run after the switches: discovery of the installed products,
// then one check presented in the chosen mode.

void discoverInstalledProducts();
// Checks and presents the result in the format, or with a report path (-o)
// writes the JSON document there instead. Returns the exit status.
int runConsoleMode(
    const DownloadSettings &settings, ReportFormat format, const QString &reportPath = QString());

// -f: presents the report stored at the path, without checking, as long as it
// is at most maxAgeHours old. Returns the exit status.
int runStoredReport(const QString &path, ReportFormat format, int maxAgeHours);
