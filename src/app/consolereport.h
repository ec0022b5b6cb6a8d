#pragma once

#include "catalogue/patchitem.h"
#include "products/installedpatchentry.h"

#include <QList>
#include <QStringList>

namespace BrivexProducts {
class BrivexProductBase;
}

// The console report of a check that found updates: banner, installed
// products, the updates under each product (or the error code of the check
// itself, when not 0), and the patches already installed. Text that comes from
// the catalogue or the installation is shown without control characters.
void printItemListToConsole(const QList<PatchItem> &items, int checkError);

// The report's lines, from the given facts rather than the singletons.
QStringList consoleReportLines(const QList<PatchItem> &items,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches, int checkError);
