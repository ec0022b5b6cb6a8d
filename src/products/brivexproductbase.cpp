#include "products/brivexproductbase.h"

#include "products/datastore.h"
#include "products/portal.h"
#include "products/server.h"

namespace BrivexProducts {

BrivexProductBase::BrivexProductBase(const QString &installDir, const QString &version)
    : m_installDir(installDir)
    , m_version(version)
{ }

BrivexProductBase::~BrivexProductBase() = default;

ProductType::ProductType BrivexProductBase::productType() const
{
    return ProductType::None;
}

QStringList BrivexProductBase::names() const
{
    return QStringList();
}

BrivexProductBase *BrivexProductBase::Create(
    const ProductType::ProductType &type, const QString &installDir, const QString &version)
{
    switch (type) {
    case ProductType::Server:
        return new Server(installDir, version);
    case ProductType::Portal:
        return new Portal(installDir, version);
    case ProductType::DataStore:
        return new DataStore(installDir, version);
    case ProductType::None:
        break;
    }
    // Also a mask of several kinds, or a value that names no kind.
    return nullptr;
}

} // namespace BrivexProducts
