#include "catalogue/catalogueparser.h"

#include "catalogue/jsonhelper.h"
#include "core/logger.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QVariant>

namespace {

// A value read as text: strings as they are, numbers in the shortest form
// that reads back the same ("10", "10.1"); anything else is empty.
QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QVariant(value.toDouble()).toString();
    return QString();
}

PatchItem patchFrom(const QJsonObject &patch)
{
    PatchItem item;
    item.name = textOf(patch.value(QLatin1String("Name")));
    item.products = textOf(patch.value(QLatin1String("Products")));
    // The one field where a boolean means something: "true" or "false".
    const QJsonValue security = patch.value(QLatin1String("SecurityPatch"));
    item.securityPatch = security.isBool()
        ? (security.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
        : textOf(security);
    item.platform = textOf(patch.value(QLatin1String("Platform")));
    item.url = textOf(patch.value(QLatin1String("url")));
    item.qfeId = textOf(patch.value(QLatin1String("QFE_ID")));
    item.releaseDate = textOf(patch.value(QLatin1String("ReleaseDate")));
    return item;
}

} // namespace

bool CatalogueParser::isLinuxPlatform(const QString &platform)
{
    return platform.contains(QLatin1String("Linux"), Qt::CaseInsensitive)
        || platform.contains(QLatin1String("all"), Qt::CaseInsensitive);
}

CatalogueParser::Result CatalogueParser::parse(const QByteArray &json)
{
    Result result;
    QJsonParseError parseError;
    const QJsonValue document = JSONHelper::parse(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("%1 at offset %2")
                           .arg(parseError.errorString(), QString::number(parseError.offset));
        return result;
    }
    const QJsonValue products = document.toObject().value(QLatin1String("Product"));
    if (!document.isObject() || !products.isArray()) {
        result.error = QStringLiteral("no \"Product\" list");
        return result;
    }

    Logger *log = Logger::instance();
    const bool logPatches = log->isEnabled(Severity::Debug);
    const QJsonArray groups = products.toArray();
    result.groups.reserve(groups.size());
    for (const QJsonValue &groupValue : groups) {
        // JSON booleans carry no data for the catalogue: they are skipped
        // like absent elements, while any other odd value is an empty group.
        if (groupValue.isBool())
            continue;
        const QJsonObject group = groupValue.toObject();
        PatchList list;
        list.version = textOf(group.value(QLatin1String("version")));
        const QJsonArray patches = group.value(QLatin1String("patches")).toArray();
        for (const QJsonValue &patchValue : patches) {
            PatchItem item = patchFrom(patchValue.toObject());
            if (!isLinuxPlatform(item.platform))
                continue;
            if (logPatches)
                log->Print(Severity::Debug,
                    QStringLiteral("Adding patch to master list: %1").arg(item.name));
            list.patches.append(std::move(item));
        }
        result.groups.append(std::move(list));
    }
    result.ok = true;
    return result;
}
