#pragma once

#include "products/producttype.h"

#include <QString>
#include <QStringList>

namespace BrivexProducts {

// One installed product: its installation directory and version exactly as the
// installer's properties file gives them.
class BrivexProductBase
{
public:
    BrivexProductBase(const QString &installDir, const QString &version);
    virtual ~BrivexProductBase();

    virtual ProductType::ProductType productType() const;
    // The names under which the catalogue refers to the product; the first is
    // its display name.
    virtual QStringList names() const;

    QString installDir() const { return m_installDir; }
    QString version() const { return m_version; }

    // A new product of the given kind, or nullptr for a value that is not
    // exactly one known kind. The caller owns the result.
    static BrivexProductBase *Create(
        const ProductType::ProductType &type, const QString &installDir, const QString &version);

private:
    Q_DISABLE_COPY(BrivexProductBase)

    QString m_installDir;
    QString m_version;
};

} // namespace BrivexProducts
