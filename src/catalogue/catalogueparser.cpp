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
    Logger *log = Logger::instance();
    QJsonParseError parseError;
    QJsonValue document;
    if (json.isValidUtf8()) {
        document = JSONHelper::parse(json, &parseError);
    } else {
        // A typo of the vendor's must not hide every patch.
        log->Print(Severity::Warning,
            QStringLiteral("The patch catalogue is not valid UTF-8; the invalid bytes are read "
                           "as U+FFFD."));
        document = JSONHelper::parse(QString::fromUtf8(json).toUtf8(), &parseError);
    }
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

    const bool logPatches = log->isEnabled(Severity::Debug);
    const QJsonArray groups = products.toArray();
    qsizetype skippedGroups = 0;
    qsizetype skippedPatches = 0;
    result.groups.reserve(groups.size());
    for (const QJsonValue &groupValue : groups) {
        const QJsonObject group = groupValue.toObject();
        const QJsonValue version = group.value(QLatin1String("version"));
        const QJsonValue patches = group.value(QLatin1String("patches"));
        if (!(version.isString() || version.isDouble()) || !patches.isArray()) {
            ++skippedGroups;
            continue;
        }
        PatchList list;
        list.version = textOf(version);
        const QJsonArray patchValues = patches.toArray();
        for (const QJsonValue &patchValue : patchValues) {
            if (!patchValue.isObject()) {
                ++skippedPatches;
                continue;
            }
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
    if (skippedGroups > 0) {
        log->Print(Severity::Warning,
            QStringLiteral("Skipped %1 of %2 release groups of the patch catalogue that have no "
                           "version text or no patch list.")
                .arg(skippedGroups)
                .arg(groups.size()));
    }
    if (skippedPatches > 0) {
        log->Print(Severity::Warning,
            QStringLiteral("Skipped %1 patch entries of the patch catalogue that are not objects.")
                .arg(skippedPatches));
    }
    // Entries of which not one can be read are a broken catalogue, not an
    // empty one.
    if (!groups.isEmpty() && result.groups.isEmpty()) {
        result.error = QStringLiteral("no release group with a version and a patch list");
        return result;
    }
    result.ok = true;
    return result;
}
