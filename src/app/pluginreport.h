#pragma once

#include <QString>

#include "catalogue/checkreport.h"

// The check as a monitoring plugin reports it (-m): a status line with
// performance data, then one line per update (pluginUpdateLine), and the
// plugin's exit status (0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN).
struct PluginReport
{
    int status = 3;
    QString statusLine;
};

// OK: nothing to apply. WARNING: updates, none for security. CRITICAL: a
// security update. UNKNOWN: the check failed or found no installed product,
// which is what a check run as the wrong user sees.
// The note, when there is one, is added to the summary.
PluginReport pluginReport(const CheckReport &report, const QString &note = QString());

// The line of one update: the products it is listed under, its name and address.
QString pluginUpdateLine(const CheckReport &report, const CheckReport::Update &update);

// The summary of the status line, without state and performance data; with
// the count of the updates marked new when the report has been compared with
// an earlier one (-o).
QString pluginSummary(const CheckReport &report, bool countNew = false);

// The UNKNOWN status line of a run that has no check to report, with the reason.
QString pluginUnknownLine(const QString &reason);
