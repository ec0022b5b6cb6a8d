#pragma once

#include "products/brivexproductbase.h"

namespace BrivexProducts {

class Portal : public BrivexProductBase
{
public:
    using BrivexProductBase::BrivexProductBase;

    ProductType::ProductType productType() const override;
    QStringList names() const override;
};

} // namespace BrivexProducts
