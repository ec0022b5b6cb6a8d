#include "products/portal.h"

namespace BrivexProducts {

ProductType::ProductType Portal::productType() const
{
    return ProductType::Portal;
}

QStringList Portal::names() const
{
    return QStringList {QStringLiteral("Portal for Brivex"), QStringLiteral("Brivex for Portal"),
        QStringLiteral("Portal")};
}

} // namespace BrivexProducts
