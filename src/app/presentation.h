#pragma once

#include "app/exitstatus.h"

#include <QString>

struct JsonReport;

// How console mode presents a check: the text report (-c), one JSON document
// (-j) or a monitoring plugin's output (-m).
enum class ReportFormat { Text, Json, Plugin };
Output outputOf(ReportFormat format);

// A check run now, or one read from the stored report (-f).
enum class Origin { ThisRun, Stored };

// Tells the user when the check found no installed product, which is what a
// check run as another user than the installation's owner sees; not when the
// installation could not be looked at at all.
void tellWhenNothingIsInstalled(const JsonReport &document, Origin origin);

// Prints the report of a check, run now or stored, and returns the format's
// exit status. The note, when there is one, is added to the plugin's summary.
int presentReport(const JsonReport &document, Origin origin, ReportFormat format,
    const QString &pluginNote = QString());
