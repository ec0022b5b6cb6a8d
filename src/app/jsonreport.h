#pragma once

#include "catalogue/checkreport.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The check as one JSON document for scripts (-j) and as the stored report
// (-o, read back by -f): the installed products and patches, the updates and
// the check's error, then when, where and by whom it was checked. Keys in a
// fixed order, UTF-8, one line. docs/json-report.md describes it.
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

    QByteArray encode() const;
    // A document as encode() writes it; nothing, with *problem saying why,
    // for text that is not such a document.
    static std::optional<JsonReport> decode(const QByteArray &text, QString *problem);
};

// 1 when the check failed, 100 when updates are available, otherwise 0.
int jsonReportStatus(const CheckReport &report);
