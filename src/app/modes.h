#pragma once

#include "app/presentation.h"

#include <QString>

#include <optional>

struct DownloadSettings;

// The steps of a run after the switches: discovery of the installed products,
// then one check presented in the chosen mode.

void discoverInstalledProducts();
// Checks and presents the result in the format, or with a report path (-o)
// writes the JSON document there instead. Returns the exit status.
// With a metrics path (-x) the metrics are written there too.
int runConsoleMode(const DownloadSettings &settings, ReportFormat format,
    const QString &reportPath = QString(), const QString &metricsPath = QString());

// -f: presents the report stored at the path in the format, without checking,
// as long as it is at most maxAgeHours old; with a metrics path (-x) writes its
// metrics there too; without a format only those. Returns the exit status.
int runStoredReport(const QString &path, std::optional<ReportFormat> format, int maxAgeHours,
    const QString &metricsPath = QString());
