#pragma once

#include "catalogue/checkreport.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

class JsonWriter;

// The check as one JSON document for scripts (-j) and as the stored report
// (-o, read back by -f through ReportReader): the installed products and
// patches, the updates and the check's error, then when, where and by whom it
// was checked. Keys in a fixed order, UTF-8, one line. docs/json-report.md
// describes it.
struct JsonReport
{
    // A check that failed after the report was written; the report is kept.
    struct Failure
    {
        QDateTime checkedAt;
        CheckError error;
    };

    CheckReport report;
    QDateTime checkedAt; // UTC, whole seconds
    QString host;
    QString user;
    QString version;
    std::optional<Failure> lastFailure;

    // The report of a check that has just run on this machine.
    static JsonReport ofThisRun(const CheckReport &report);

    // The document, ended by a newline.
    void write(JsonWriter &writer) const;
    QByteArray encode() const;
};
