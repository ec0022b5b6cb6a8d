#pragma once

#include <QByteArray>

struct JsonReport;

// The report as metrics for Prometheus, in the text format that
// node-exporter's textfile collector reads (-x): every family with its HELP
// and TYPE lines, whose texts never change (node-exporter drops a file's
// series whose HELP differs from another file's), every series on every run,
// zeros included, times as whole seconds. The labels are the installation's
// owner, and for the updates of one product its name and version; never an
// update's own name. After a failed check the pending counts are those of the
// kept report of the last successful one, if there is one.
QByteArray metricsText(const JsonReport &document);
