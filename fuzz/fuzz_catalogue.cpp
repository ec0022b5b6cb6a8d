// Catalogue bytes, as a server sends them, to the patches offered to a fixed
// installation: a Server and a Portal of 10.8.1, a DataStore of 10.7.1, two
// patches recorded as installed. The reading is fed in pieces of 1 to 64
// bytes (the first byte says) and must give what it gives for the whole text
// at once; a refusal says why; an installed patch is never offered.
#include "catalogue/applicability.h"
#include "catalogue/cataloguereader.h"
#include "products/brivexproductbase.h"

#include <QRegularExpression>

#include <cstdlib>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using BrivexProducts::BrivexProductBase;
    static const std::vector<std::unique_ptr<BrivexProductBase>> owned = [] {
        std::vector<std::unique_ptr<BrivexProductBase>> products;
        const QString v1 = QStringLiteral("10.8.1");
        products.emplace_back(BrivexProductBase::Create(ProductType::Server, "/opt/s", v1));
        products.emplace_back(BrivexProductBase::Create(ProductType::Portal, "/opt/p", v1));
        products.emplace_back(
            BrivexProductBase::Create(ProductType::DataStore, "/opt/d", "10.7.1"));
        return products;
    }();
    QList<BrivexProductBase *> products;
    for (const auto &product : owned)
        products.append(product.get());
    const QList<InstalledPatchEntry> installed {
        {"Server Fix 1", "S-1", "dummy"}, {"", "SP-1", "dummy"}};
    const QStringList versions {"10.8.1", "10.7.1"};
    const auto keep = [&products](const QString &version, const PatchItem &item) {
        return Applicability::productVersionInstalled(products, item, version);
    };

    const QByteArrayView text(data, qsizetype(size));
    const qsizetype step = size > 0 ? 1 + data[0] % 64 : 1;
    CatalogueReader reader(versions, keep);
    for (qsizetype at = 0; at < text.size(); at += step)
        reader.write(text.sliced(at, std::min(step, text.size() - at)));
    const CatalogueReader::Result catalogue = reader.finish();
    if (!catalogue.ok && catalogue.error.isEmpty())
        std::abort(); // a refusal always says why
    const CatalogueReader::Result whole = CatalogueReader::read(text, versions, keep);
    // Where in the text an error is found may depend on where the pieces end.
    static const QRegularExpression offset(QStringLiteral(" at offset [0-9]+$"));
    if (whole.ok != catalogue.ok
        || QString(whole.error).remove(offset) != QString(catalogue.error).remove(offset)
        || whole.groups != catalogue.groups)
        std::abort(); // where the pieces end changed the reading
    const QList<PatchItem> offered
        = Applicability::applicablePatches(catalogue.groups, versions, products, installed);
    for (const PatchItem &item : offered) {
        if (item.name.compare(QStringLiteral("Server Fix 1"), Qt::CaseInsensitive) == 0
            || item.qfeId == QStringLiteral("SP-1"))
            std::abort(); // an installed patch is never offered
    }
    return 0;
}
