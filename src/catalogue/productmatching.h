#pragma once

#include "catalogue/patchitem.h"

#include <QList>

namespace BrivexProducts {
class BrivexProductBase;
}

// How the reports sort patches under the installed products.
namespace Utils {

// One of the product's names occurs in the patch's products text, ignoring
// case. Versions are not looked at.
bool thisPatchMatchesThisProduct(
    const BrivexProducts::BrivexProductBase &product, const PatchItem &item);

} // namespace Utils
