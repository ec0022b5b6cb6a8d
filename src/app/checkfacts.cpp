#include "app/checkfacts.h"

#include "catalogue/productmatching.h"

#include <algorithm>

QList<BrivexProducts::BrivexProductBase *> CheckFacts::productsOf(const PatchItem &update) const
{
    QList<BrivexProducts::BrivexProductBase *> listed;
    for (BrivexProducts::BrivexProductBase *product : products) {
        if (Utils::thisPatchMatchesThisProduct(*product, update))
            listed.append(product);
    }
    return listed;
}

qsizetype CheckFacts::securityUpdateCount() const
{
    return std::count_if(updates.begin(), updates.end(),
        [](const PatchItem &update) { return update.isSecurityPatch(); });
}
