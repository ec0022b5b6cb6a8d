#include "catalogue/catalogueparser.h"

#include "catalogue/jsonhelper.h"
#include "core/logger.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QVariant>

namespace {

PatchItem patchFrom(const QJsonObject &patch)
{
    const auto field = [&patch](const char *name, bool booleanAsText = false) {
        return CatalogueParser::textOf(patch.value(QLatin1String(name)), booleanAsText);
    };
    PatchItem item;
    item.name = field("Name");
    item.products = field("Products");
    // The one field where a boolean means something.
    item.securityPatch = field("SecurityPatch", true);
    item.platform = field("Platform");
    item.url = field("url");
    item.qfeId = field("QFE_ID");
    item.releaseDate = field("ReleaseDate");
    return item;
}

} // namespace

QString CatalogueParser::textOf(const QJsonValue &value, bool booleanAsText)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QVariant(value.toDouble()).toString();
    if (value.isBool() && booleanAsText)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return QString();
}

void CatalogueParser::warnSkipped(
    qsizetype skippedGroups, qsizetype groups, qsizetype skippedPatches)
{
    Logger *log = Logger::instance();
    if (skippedGroups > 0) {
        log->Print(Severity::Warning,
            QStringLiteral("Skipped %1 of %2 release groups of the patch catalogue that have no "
                           "version text or no patch list.")
                .arg(skippedGroups)
                .arg(groups));
    }
    if (skippedPatches > 0) {
        log->Print(Severity::Warning,
            QStringLiteral("Skipped %1 patch entries of the patch catalogue that are not objects.")
                .arg(skippedPatches));
    }
}

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
    warnSkipped(skippedGroups, groups.size(), skippedPatches);
    // Entries of which not one can be read are a broken catalogue, not an
    // empty one.
    if (!groups.isEmpty() && result.groups.isEmpty()) {
        result.error = QStringLiteral("no release group with a version and a patch list");
        return result;
    }
    result.ok = true;
    return result;
}
