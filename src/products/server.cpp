#include "products/server.h"

namespace BrivexProducts {

ProductType::ProductType Server::productType() const
{
    return ProductType::Server;
}

QStringList Server::names() const
{
    return QStringList {QStringLiteral("Brivex for Server"), QStringLiteral("Brivex Server"),
        QStringLiteral("Server")};
}

} // namespace BrivexProducts
