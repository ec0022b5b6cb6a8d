#include "app/jsonreport.h"

#include "app/exitstatus.h"

#include "catalogue/checkreport.h"
#include "catalogue/jsonhelper.h"
#include "catalogue/networkutils.h"

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

QVariant updateObject(const CheckReport::Update &entry)
{
    const PatchItem &update = entry.patch;
    return object({member("name", update.name), member("products", update.products),
        member("appliesTo", entry.appliesTo), member("qfeId", update.qfeId), member("url", update.url),
        member("releaseDate", update.releaseDate), member("platform", update.platform),
        member("security", update.isSecurityPatch())});
}

} // namespace

QByteArray jsonReport(const CheckReport &report)
{
    QVariantList products;
    for (const CheckReport::Product &product : report.products) {
        products.append(object({member("name", product.name), member("version", product.version),
            member("directory", product.directory)}));
    }
    QVariantList installedPatches;
    for (const InstalledPatchEntry &patch : report.installedPatches)
        installedPatches.append(
            object({member("title", patch.name), member("qfeId", patch.qfeId)}));
    QVariantList updates;
    for (const CheckReport::Update &update : report.updates)
        updates.append(updateObject(update));
    QVariant error; // null
    if (report.error.failed()) {
        error = object({member("code", report.error.code), member("title", report.error.title),
            member("message", report.error.message)});
    }
    const Object document {member("schema", 1),
        member("catalogue", Utils::urlForLog(report.catalogueUrl)),
        member("products", products), member("installedPatches", installedPatches),
        member("updates", updates), member("error", error)};
    return JSONHelper::encodeOrdered(document).toUtf8() + '\n';
}

int jsonReportStatus(const CheckReport &report)
{
    if (report.error.failed())
        return ExitStatus::Failure;
    return report.updates.isEmpty() ? ExitStatus::Success : ExitStatus::UpdatesAvailable;
}
