#include "products/datastore.h"

namespace BrivexProducts {

ProductType::ProductType DataStore::productType() const
{
    return ProductType::DataStore;
}

QStringList DataStore::names() const
{
    return QStringList {QStringLiteral("Brivex for DataStore"), QStringLiteral("Data Store"),
        QStringLiteral("DataStore")};
}

} // namespace BrivexProducts
