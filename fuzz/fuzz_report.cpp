// A stored report's bytes, as another user may have written them, to the
// report -f shows. The reading is fed in pieces of 1 to 64 bytes (the first
// byte says) and must give what it gives for the whole text at once; a
// refusal says why; a report read is written again as a document that reads
// back as the same report.
#include "app/jsonreport.h"
#include "app/reportreader.h"

#include <QRegularExpression>

#include <cstdlib>

namespace {

std::optional<JsonReport> read(QByteArrayView text, qsizetype step, QString *problem)
{
    ReportReader reader;
    for (qsizetype at = 0; at < text.size(); at += step)
        reader.write(text.sliced(at, std::min(step, text.size() - at)));
    return reader.finish(problem);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView text(data, qsizetype(size));
    QString inPieces;
    QString whole;
    const std::optional<JsonReport> report = read(text, size > 0 ? 1 + data[0] % 64 : 1, &inPieces);
    const std::optional<JsonReport> once = read(text, qMax<qsizetype>(text.size(), 1), &whole);
    if (!report && inPieces.isEmpty())
        std::abort(); // a refusal always says why
    // Where in the text an error is found may depend on where the pieces end.
    static const QRegularExpression offset(QStringLiteral(" at offset [0-9]+\\)$"));
    if (bool(report) != bool(once) || inPieces.remove(offset) != whole.remove(offset))
        std::abort(); // where the pieces end changed the reading
    if (!report)
        return 0;
    const QByteArray written = report->encode();
    QString problem;
    const std::optional<JsonReport> again = read(written, written.size(), &problem);
    if (!again || again->encode() != written)
        std::abort(); // the document written is not read back as the same report
    return 0;
}
