#pragma once

#include <QStringList>

struct CheckReport;

// The console report of a check that found updates: banner, installed
// products, the updates under each product (or the failure of the check),
// and the patches already installed. Text that comes from the catalogue or
// the installation is shown without control characters.
QStringList consoleReportLines(const CheckReport &report);
