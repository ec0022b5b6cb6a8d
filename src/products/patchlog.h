#pragma once

#include "products/installedpatchentry.h"
#include "products/producttype.h"

#include <QList>
#include <QString>
#include <QStringList>

// The patch logs that the vendor's patch installers keep in each product's
// installation directory: records from a "#START" line to an "#END" line, with
// "QFE_ID: ..." and "QFE_TITLE: ..." lines.
namespace PatchLog {

// The log's file name for a kind of product; empty for no kind.
QString fileName(ProductType::ProductType type);

// The closed records of a log, in file order.
QList<InstalledPatchEntry> entries(const QStringList &lines);

} // namespace PatchLog
