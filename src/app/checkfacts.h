#pragma once

#include "catalogue/patchitem.h"
#include "core/checkerror.h"
#include "products/installedpatchentry.h"

#include <QList>
#include <QString>

namespace BrivexProducts {
class BrivexProductBase;
}

// What one check found, for the reports that scripts and monitoring read.
struct CheckFacts
{
    QString catalogueUrl;
    QList<BrivexProducts::BrivexProductBase *> products; // discovery order; not owned
    QList<InstalledPatchEntry> installedPatches;
    QList<PatchItem> updates; // still to be applied, in catalogue order
    CheckError error; // why the check failed; code 0 when it did not

    // The installed products the text report lists the update under.
    QList<BrivexProducts::BrivexProductBase *> productsOf(const PatchItem &update) const;
    qsizetype securityUpdateCount() const;
};
