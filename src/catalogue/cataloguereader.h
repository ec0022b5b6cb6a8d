#pragma once

#include "catalogue/catalogueparser.h"

#include <QStringList>

#include <functional>
#include <optional>

class QIODevice;

// The quick reading of a catalogue for one machine: it keeps only the release
// groups of the versions given, and of their patches only those that `keep`
// accepts, while still checking that the whole text is JSON. It gives what
// CatalogueParser::parse() gives, with the same warnings, less the groups of
// other versions and the patches `keep` refuses. It answers only for a readable catalogue in the
// forms it reads with certainty; for anything else (a text that is not JSON, a catalogue that
// cannot be read, a repeated "Product", "version" or "patches", an escaped member name) it gives
// nothing and logs nothing, and the full reading must judge the text.
namespace CatalogueReader {

using PatchFilter = std::function<bool(const QString &version, const PatchItem &item)>;

std::optional<CatalogueParser::Result> readInstalled(
    QIODevice &text, qint64 size, const QStringList &versions, const PatchFilter &keep);

} // namespace CatalogueReader
