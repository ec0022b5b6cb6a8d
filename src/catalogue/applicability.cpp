#include "catalogue/applicability.h"

#include "catalogue/installedpatchindex.h"
#include "catalogue/productmatching.h"
#include "core/logger.h"
#include "products/brivexproductbase.h"

#include <QSet>

namespace Applicability {

bool productVersionInstalled(const QList<BrivexProducts::BrivexProductBase *> &products,
    const PatchItem &item, const QString &version)
{
    for (const BrivexProducts::BrivexProductBase *product : products) {
        if (product->version() == version && Utils::thisPatchMatchesThisProduct(*product, item))
            return true;
    }
    return false;
}

QList<PatchItem> applicablePatches(const QList<PatchList> &groups,
    const QStringList &installedVersions,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches)
{
    Logger *log = Logger::instance();
    const bool logSkipped = log->isEnabled(Severity::Debug);
    const QSet<QString> versions(installedVersions.cbegin(), installedVersions.cend());
    const InstalledPatchIndex installed(installedPatches);

    QList<PatchItem> result;
    QSet<PatchItem> offered;
    for (const PatchList &group : groups) {
        if (!versions.contains(group.version))
            continue;
        for (const PatchItem &item : group.patches) {
            const qsizetype entry = installed.firstMatch(item);
            if (entry >= 0) {
                if (logSkipped) {
                    log->Print(Severity::Debug,
                        QStringLiteral("Skipping installed patch: %1")
                            .arg(installedPatches.at(entry).name));
                }
                continue;
            }
            if (!productVersionInstalled(products, item, group.version))
                continue;
            if (offered.contains(item))
                continue;
            log->Print(Severity::Info, QStringLiteral("Adding available patch: %1").arg(item.name));
            offered.insert(item);
            result.append(item);
        }
    }
    return result;
}

} // namespace Applicability
