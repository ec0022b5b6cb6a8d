#pragma once

#include <QString>

#include <functional>

struct CheckReport;

// The console report of a check that found updates: banner, installed
// products, the updates under each product (or the failure of the check),
// and the patches already installed, given line by line. Text that comes from
// the catalogue or the installation is shown without control characters.
void consoleReport(const CheckReport &report, const std::function<void(const QString &)> &line);
