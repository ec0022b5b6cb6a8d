#pragma once

#include "catalogue/patchlist.h"
#include "products/installedpatchentry.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace BrivexProducts {
class BrivexProductBase;
}

// Which catalogue patches are offered: those of a release group whose version
// is installed, that name an installed product of that very release, and that
// no patch log records as installed. The result keeps catalogue order, and a
// patch listed again later is not repeated.
namespace Applicability {

// Some installed product named by the patch has exactly this version.
bool productVersionInstalled(const QList<BrivexProducts::BrivexProductBase *> &products,
    const PatchItem &item, const QString &version);

QList<PatchItem> applicablePatches(const QList<PatchList> &groups,
    const QStringList &installedVersions,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches);

} // namespace Applicability
