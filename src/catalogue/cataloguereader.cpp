#include "catalogue/cataloguereader.h"

#include "catalogue/jsonreader.h"

#include <QJsonValue>
#include <QSet>

namespace {

using Reader = JSONHelper::Reader;

struct Counts
{
    qsizetype groups = 0;
    qsizetype usableGroups = 0;
    qsizetype skippedGroups = 0;
    qsizetype skippedPatches = 0;
};

// A member's value as the full reading takes it (CatalogueParser::textOf).
QString fieldText(Reader &json, bool booleanAsText = false)
{
    switch (json.peek()) {
    case Reader::Kind::String:
        return json.text();
    case Reader::Kind::Number:
        return CatalogueParser::textOf(JSONHelper::parse(json.number()));
    case Reader::Kind::True:
    case Reader::Kind::False: {
        const bool value = json.peek() == Reader::Kind::True;
        json.skip();
        return CatalogueParser::textOf(QJsonValue(value), booleanAsText);
    }
    default:
        json.skip();
        return QString();
    }
}

bool readPatch(Reader &json, PatchItem *item)
{
    json.enterObject();
    QByteArrayView name;
    while (json.nextMember(&name)) {
        if (name == "Name")
            item->name = fieldText(json);
        else if (name == "Products")
            item->products = fieldText(json);
        else if (name == "SecurityPatch")
            item->securityPatch = fieldText(json, true);
        else if (name == "Platform")
            item->platform = fieldText(json);
        else if (name == "url")
            item->url = fieldText(json);
        else if (name == "QFE_ID")
            item->qfeId = fieldText(json);
        else if (name == "ReleaseDate")
            item->releaseDate = fieldText(json);
        else
            json.skip();
    }
    return !json.failed();
}

// The Linux patches of a wanted group that `keep` accepts (all when the
// version is not known yet); the others only checked. Only the patches kept
// stay in memory.
bool readPatches(Reader &json, bool wanted, const std::function<bool(const PatchItem &)> &keep,
    QList<PatchItem> *patches, qsizetype *nonObjects)
{
    json.enterArray();
    while (json.nextElement()) {
        if (json.peek() != Reader::Kind::Object) {
            ++*nonObjects;
            json.skip();
        } else if (!wanted) {
            json.skip();
        } else {
            PatchItem item;
            if (readPatch(json, &item) && CatalogueParser::isLinuxPlatform(item.platform)
                && (!keep || keep(item)))
                patches->append(std::move(item));
        }
        if (json.failed())
            return false;
    }
    return !json.failed();
}

// One entry of "Product"; false when the catalogue needs the full reading.
bool readGroup(Reader &json, const QSet<QString> &versions,
    const CatalogueReader::PatchFilter &keep, Counts *counts, QList<PatchList> *groups)
{
    ++counts->groups;
    if (json.peek() != Reader::Kind::Object) {
        ++counts->skippedGroups;
        return json.skip();
    }
    json.enterObject();
    PatchList group;
    bool seenVersion = false;
    bool hasVersion = false;
    bool seenPatches = false;
    bool keptAll = false; // the patches came before the version
    bool hasPatches = false;
    qsizetype nonObjects = 0;
    QByteArrayView name;
    while (json.nextMember(&name)) {
        if (name == "version") {
            if (std::exchange(seenVersion, true))
                return false; // the last one counts: left to the full reading
            const Reader::Kind kind = json.peek();
            hasVersion = kind == Reader::Kind::String || kind == Reader::Kind::Number;
            group.version = fieldText(json);
        } else if (name == "patches") {
            if (std::exchange(seenPatches, true))
                return false;
            hasPatches = json.peek() == Reader::Kind::Array;
            // A group whose version comes later is read as if it were wanted.
            const bool wanted = !seenVersion || (hasVersion && versions.contains(group.version));
            keptAll = !seenVersion || !keep;
            const auto keepHere
                = [&](const PatchItem &item) { return keptAll || keep(group.version, item); };
            if (hasPatches ? !readPatches(json, wanted, keepHere, &group.patches, &nonObjects)
                           : !json.skip())
                return false;
        } else if (!json.skip()) {
            return false;
        }
    }
    if (json.failed())
        return false;
    if (!hasVersion || !hasPatches) {
        ++counts->skippedGroups;
        return true;
    }
    ++counts->usableGroups;
    counts->skippedPatches += nonObjects;
    if (!versions.contains(group.version))
        return true;
    if (keptAll && keep)
        group.patches.removeIf([&](const PatchItem &item) { return !keep(group.version, item); });
    groups->append(std::move(group));
    return true;
}

} // namespace

namespace CatalogueReader {

std::optional<CatalogueParser::Result> readInstalled(
    QIODevice &text, qint64 size, const QStringList &versions, const PatchFilter &keep)
{
    const QSet<QString> wanted(versions.cbegin(), versions.cend());
    Reader json(text, size);
    CatalogueParser::Result result;
    Counts counts;
    bool seenProduct = false;
    QByteArrayView name;
    if (!json.enterObject())
        return std::nullopt;
    while (json.nextMember(&name)) {
        if (name != "Product") {
            if (!json.skip())
                return std::nullopt;
            continue;
        }
        // Not a list, or a second one: the full reading says which counts.
        if (std::exchange(seenProduct, true) || !json.enterArray())
            return std::nullopt;
        while (json.nextElement()) {
            if (!readGroup(json, wanted, keep, &counts, &result.groups))
                return std::nullopt;
        }
    }
    // A catalogue that cannot be read is worded by the full reading.
    if (!json.atEnd() || !seenProduct || (counts.groups > 0 && counts.usableGroups == 0))
        return std::nullopt;
    CatalogueParser::warnSkipped(counts.skippedGroups, counts.groups, counts.skippedPatches);
    result.ok = true;
    return result;
}

} // namespace CatalogueReader
