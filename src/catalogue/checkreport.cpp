#include "catalogue/checkreport.h"

#include "catalogue/brivexupdate.h"
#include "catalogue/productmatching.h"
#include "products/brivexconfig.h"
#include "products/brivexproductbase.h"

#include <algorithm>

CheckReport CheckReport::of(const QString &catalogueUrl, const BrivexUpdate &update)
{
    const BrivexConfig *config = BrivexConfig::instance();
    // Nothing could be looked at when discovery failed, whatever the download did.
    CheckReport report = of(catalogueUrl, config->installedProducts(), config->installedPatches(),
        update.patchList(), config->error().failed() ? config->error() : update.error());
    report.transfer = update.transfer();
    return report;
}

CheckReport CheckReport::of(const QString &catalogueUrl,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches, const QList<PatchItem> &updates,
    const CheckError &error)
{
    CheckReport report;
    report.catalogueUrl = catalogueUrl;
    for (const BrivexProducts::BrivexProductBase *product : products)
        report.products.append(
            {product->names().value(0), product->version(), product->installDir()});
    report.installedPatches = installedPatches;
    report.error = error;
    for (const PatchItem &patch : updates) {
        Update entry {patch, {}};
        for (const BrivexProducts::BrivexProductBase *product : products) {
            const QString name = product->names().value(0);
            if (Utils::thisPatchMatchesThisProduct(*product, patch)
                && !entry.appliesTo.contains(name))
                entry.appliesTo.append(name);
        }
        report.updates.append(entry);
    }
    return report;
}

qsizetype CheckReport::securityUpdateCount() const
{
    return std::count_if(updates.begin(), updates.end(),
        [](const Update &update) { return update.patch.isSecurityPatch(); });
}

qsizetype CheckReport::newUpdateCount() const
{
    return std::count_if(
        updates.begin(), updates.end(), [](const Update &update) { return update.isNew; });
}
