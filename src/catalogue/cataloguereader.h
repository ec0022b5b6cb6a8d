#pragma once

#include "catalogue/catalogueparser.h"

#include <QStringList>

#include <optional>

class QIODevice;

// The quick reading of a catalogue for one machine: it keeps only the release
// groups of the versions given and makes texts only of their patches, while
// still checking that the whole text is JSON. It gives what
// CatalogueParser::parse() gives, groups of other versions left out, with the
// same warnings. It answers only for a readable catalogue in the forms it
// reads with certainty; for anything else (a text that is not JSON, a
// catalogue that cannot be read, a repeated "Product", "version" or
// "patches", an escaped member name) it gives nothing and logs nothing, and
// the full reading must judge the text.
namespace CatalogueReader {

std::optional<CatalogueParser::Result> readInstalled(
    QIODevice &text, qint64 size, const QStringList &versions);

} // namespace CatalogueReader
