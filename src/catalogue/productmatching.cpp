#include "catalogue/productmatching.h"

#include "products/brivexproductbase.h"

bool Utils::thisPatchMatchesThisProduct(
    const BrivexProducts::BrivexProductBase &product, const PatchItem &item)
{
    const QStringList names = product.names();
    for (const QString &name : names) {
        if (item.products.contains(name, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
