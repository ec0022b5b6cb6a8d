#pragma once

#include <QByteArray>
#include <QString>

struct CheckReport;

// How console mode presents a check: the text report (-c), one JSON document
// (-j) or a monitoring plugin's output (-m).
enum class ReportFormat { Text, Json, Plugin };

// Tells the user when the check found no installed product.
void tellWhenNothingIsInstalled(const CheckReport &report);

// Prints the report of a check, run now or stored, and returns the format's
// exit status. The JSON document is printed as given; the note, when there is
// one, is added to the plugin's summary.
int presentReport(const CheckReport &report, ReportFormat format, const QByteArray &document,
    const QString &pluginNote = QString());
