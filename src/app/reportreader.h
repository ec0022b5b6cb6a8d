#pragma once

#include "app/jsonreport.h"

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

// The one reading of a stored report (-f, and the report -o keeps), fed in
// pieces as they are read, with the rules a file that another user may have
// written needs: strict JSON (UTF-8, no raw control character or NUL,
// nothing after the document), no deeper nesting than a report's own, every
// member this version writes of the type it writes it, members it does not
// know passed over, and no more kept than the report of a real machine needs.
class ReportReader
{
public:
    // What the texts and entries kept may take, and the longest text.
    static constexpr qint64 kKeptLimit = 96 * 1024 * 1024;
    static constexpr qint64 kLongestText = 1024 * 1024;

    ReportReader();
    ~ReportReader();
    Q_DISABLE_COPY(ReportReader)

    // The next piece of the text. Once it is known not to be a report, the
    // rest is passed over.
    void write(QByteArrayView piece);
    bool failed() const;
    // The report, or nothing with *problem saying why. Call once.
    std::optional<JsonReport> finish(QString *problem);

private:
    class Handler;
    struct Private;
    std::unique_ptr<Private> d;
};
