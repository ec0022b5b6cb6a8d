#pragma once

#include <QByteArray>

struct CheckReport;

// The check as one JSON document for scripts (-j): the installed products and
// patches, the updates and the check's error, keys in a fixed order, UTF-8,
// one line. docs/json-report.md describes it.
QByteArray jsonReport(const CheckReport &report);

// 1 when the check failed, 100 when updates are available, otherwise 0.
int jsonReportStatus(const CheckReport &report);
