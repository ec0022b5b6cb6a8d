#include "app/jsonreport.h"

#include "app/checkfacts.h"
#include "catalogue/jsonhelper.h"
#include "catalogue/networkutils.h"
#include "products/brivexproductbase.h"

namespace {

using Object = JSONHelper::OrderedObject;

QPair<QString, QVariant> member(const char *key, const QVariant &value)
{
    return {QString::fromLatin1(key), value};
}

QVariant object(const Object &members)
{
    return QVariant::fromValue(members);
}

QVariant updateObject(const CheckFacts &facts, const PatchItem &update)
{
    QVariantList appliesTo;
    for (const BrivexProducts::BrivexProductBase *product : facts.productsOf(update))
        appliesTo.append(product->names().value(0));
    return object({member("name", update.name), member("products", update.products),
        member("appliesTo", appliesTo), member("qfeId", update.qfeId), member("url", update.url),
        member("releaseDate", update.releaseDate), member("platform", update.platform),
        member("security", update.isSecurityPatch())});
}

} // namespace

QByteArray jsonReport(const CheckFacts &facts)
{
    QVariantList products;
    for (const BrivexProducts::BrivexProductBase *product : facts.products) {
        products.append(object({member("name", product->names().value(0)),
            member("version", product->version()), member("directory", product->installDir())}));
    }
    QVariantList installedPatches;
    for (const InstalledPatchEntry &patch : facts.installedPatches)
        installedPatches.append(
            object({member("title", patch.name), member("qfeId", patch.qfeId)}));
    QVariantList updates;
    for (const PatchItem &update : facts.updates)
        updates.append(updateObject(facts, update));
    QVariant error; // null
    if (facts.error.failed()) {
        error = object({member("code", facts.error.code), member("title", facts.error.title),
            member("message", facts.error.message)});
    }
    const Object document {member("schema", 1), member("catalogue", Utils::urlForLog(facts.catalogueUrl)),
        member("products", products), member("installedPatches", installedPatches),
        member("updates", updates), member("error", error)};
    return JSONHelper::encodeOrdered(document).toUtf8() + '\n';
}

int jsonReportStatus(const CheckFacts &facts)
{
    if (facts.error.failed())
        return 1;
    return facts.updates.isEmpty() ? 0 : 100;
}
