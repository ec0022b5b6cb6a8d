#include "catalogue/cataloguereader.h"

#include "catalogue/jsonstream.h"
#include "core/logger.h"

#include <QVariant>

#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Deeper nesting is refused, as the catalogue always was.
constexpr std::size_t kMaxDepth = 1024;
const QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

// What an open container is to the catalogue.
enum class Role : quint8 { Other, Top, Products, Group, Patches, Patch };

// The members read: "Product" at the top, "version" and "patches" in a group,
// the fields in a patch (in the order of kFields).
constexpr std::array<std::string_view, 7> kPatchMembers {
    "Name", "Products", "SecurityPatch", "Platform", "url", "QFE_ID", "ReleaseDate"};
QString PatchItem::*const kFields[]
    = {&PatchItem::name, &PatchItem::products, &PatchItem::securityPatch, &PatchItem::platform,
        &PatchItem::url, &PatchItem::qfeId, &PatchItem::releaseDate};
enum { kVersion = 0, kPatches = 1, kSecurityPatch = 2, kPlatform = 3 };
using Fields = std::array<std::string, kPatchMembers.size()>; // as UTF-8

// The index of the member in its container's list, or -1.
int memberIndex(Role role, std::string_view name)
{
    if (role == Role::Top)
        return name == "Product" ? 0 : -1;
    if (role == Role::Group)
        return name == "version" ? kVersion : name == "patches" ? kPatches : -1;
    if (role != Role::Patch)
        return -1;
    for (std::size_t i = 0; i < kPatchMembers.size(); ++i) {
        if (kPatchMembers[i] == name)
            return int(i);
    }
    return -1;
}

// A number as the catalogue's texts show it: "10", "10.1", "1.5e+30"; one
// outside the range of a double as written.
std::string numberText(const std::string &json)
{
    bool ok = false;
    const double value = QByteArray::fromStdString(json).toDouble(&ok);
    return ok ? QVariant(value).toString().toStdString() : json;
}

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// CatalogueReader::isLinuxPlatform() of UTF-8 text, without a QString for
// the common text of ASCII letters.
bool isLinux(const std::string &platform)
{
    std::string lower;
    for (const char c : platform) {
        if (uchar(c) >= 0x80)
            return CatalogueReader::isLinuxPlatform(fromUtf8(platform));
        lower += char(std::tolower(uchar(c)));
    }
    return lower.find("linux") != std::string::npos || lower.find("all") != std::string::npos;
}

PatchItem itemOf(const Fields &fields)
{
    PatchItem item;
    for (std::size_t i = 0; i < fields.size(); ++i)
        item.*kFields[i] = fromUtf8(fields[i]);
    return item;
}

} // namespace

// Follows the parser's events and keeps what the catalogue is made of; every
// value it does not read is only checked by the parser, never held.
class CatalogueReader::Handler
{
public:
    Handler(std::optional<QStringList> versions, PatchFilter keep, bool logPatches)
        : m_versions(std::move(versions))
        , m_keep(std::move(keep))
        , m_logPatches(logPatches)
    { }

    bool key(std::string_view name)
    {
        m_member = memberIndex(parent(), name);
        return true;
    }

    // Only a value the catalogue reads is collected.
    std::string *target()
    {
        const Role role = parent();
        return role == Role::Group && m_member == kVersion ? &m_text
            : role == Role::Patch && m_member >= 0         ? &m_fields[m_member]
                                                           : nullptr;
    }

    Result result()
    {
        Result result;
        if (!m_rootObject || !m_product.list) {
            result.error = QStringLiteral("no \"Product\" list");
            return result;
        }
        Logger *log = Logger::instance();
        for (const std::string &name : m_names)
            log->Print(Severity::Debug,
                QStringLiteral("Adding patch to master list: %1").arg(fromUtf8(name)));
        if (m_product.skippedGroups > 0) {
            log->Print(Severity::Warning,
                QStringLiteral("Skipped %1 of %2 release groups of the patch catalogue that have "
                               "no version text or no patch list.")
                    .arg(m_product.skippedGroups)
                    .arg(m_product.groups));
        }
        if (m_product.skippedPatches > 0) {
            log->Print(Severity::Warning,
                QStringLiteral(
                    "Skipped %1 patch entries of the patch catalogue that are not objects.")
                    .arg(m_product.skippedPatches));
        }
        // Entries of which not one can be read are a broken catalogue, not an
        // empty one.
        if (m_product.groups > 0 && m_product.usable == 0) {
            result.error = QStringLiteral("no release group with a version and a patch list");
            return result;
        }
        result.ok = true;
        result.groups = std::move(m_product.kept);
        return result;
    }

    // A value of the catalogue's own begins: what it is to its container.
    bool open(bool object)
    {
        Role role = Role::Other;
        switch (parent()) {
        case Role::Other:
            if (m_stack.empty()) {
                m_rootObject = object;
                role = object ? Role::Top : Role::Other;
            }
            break;
        case Role::Top:
            if (m_member == 0) {
                m_product = ProductList();
                m_product.list = !object;
                m_names.clear();
                role = object ? Role::Other : Role::Products;
            }
            break;
        case Role::Products:
            ++m_product.groups;
            if (object) {
                m_group = Group();
                m_group.names = m_names.size();
                role = Role::Group;
            } else {
                ++m_product.skippedGroups;
            }
            break;
        case Role::Group:
            if (m_member == kVersion) {
                m_group.hasVersion = false;
            } else if (m_member == kPatches) {
                resetPatches(!object);
                role = object ? Role::Other : Role::Patches;
            }
            break;
        case Role::Patches:
            if (object) {
                for (std::string &field : m_fields)
                    field.clear();
                role = Role::Patch;
            } else {
                ++m_group.nonObjects;
            }
            break;
        case Role::Patch:
            if (m_member >= 0)
                m_fields[m_member].clear();
            break;
        }
        m_stack.push_back(role);
        m_member = -1;
        return true;
    }

    bool close()
    {
        const Role role = m_stack.back();
        m_stack.pop_back();
        if (role == Role::Patch)
            endPatch();
        else if (role == Role::Group)
            endGroup();
        return true;
    }

    bool scalar(JsonScalar kind)
    {
        const bool text = kind == JsonScalar::Text || kind == JsonScalar::Number;
        if (kind == JsonScalar::Number && target())
            *target() = numberText(*target());
        switch (parent()) {
        case Role::Other:
            m_rootObject = m_rootObject && !m_stack.empty();
            break;
        case Role::Top:
            if (m_member == 0) {
                m_product = ProductList();
                m_names.clear();
            }
            break;
        case Role::Products:
            ++m_product.groups;
            ++m_product.skippedGroups;
            break;
        case Role::Group:
            if (m_member == kVersion) {
                m_group.hasVersion = text;
                m_group.version = text ? fromUtf8(m_text) : QString();
            } else if (m_member == kPatches) {
                resetPatches(false);
            }
            break;
        case Role::Patches:
            ++m_group.nonObjects;
            break;
        case Role::Patch:
            // The one field where a boolean means something.
            if (m_member >= 0 && !text && !(kind == JsonScalar::Bool && m_member == kSecurityPatch))
                m_fields[m_member].clear();
            break;
        }
        return true;
    }

private:
    struct ProductList
    {
        bool list = false;
        qsizetype groups = 0;
        qsizetype usable = 0;
        qsizetype skippedGroups = 0;
        qsizetype skippedPatches = 0;
        QList<PatchList> kept;
    };
    struct Group
    {
        QString version;
        bool hasVersion = false;
        bool hasPatches = false;
        qsizetype nonObjects = 0;
        QList<PatchItem> patches;
        // The patches of a version not kept, set aside unread in case a later
        // "version" names one that is: their fields one after another, and
        // where each ends.
        bool setAside = false;
        std::string asideText;
        std::vector<std::size_t> asideEnds;
        std::size_t names = 0; // where its patches' names start in m_names
    };

    Role parent() const { return m_stack.empty() ? Role::Other : m_stack.back(); }

    bool wantedVersion(const QString &version) const
    {
        return !m_versions || m_versions->contains(version);
    }

    // Of a repeated "patches", the last counts.
    void resetPatches(bool list)
    {
        m_group.hasPatches = list;
        m_group.nonObjects = 0;
        m_group.patches.clear();
        m_group.asideText.clear();
        m_group.asideEnds.clear();
        m_names.resize(m_group.names);
        m_group.setAside = m_group.hasVersion && !wantedVersion(m_group.version);
    }

    void endPatch()
    {
        // A patch set aside is looked at only if its group is kept, unless
        // the log names it now.
        if ((!m_group.setAside || m_logPatches) && !isLinux(m_fields[kPlatform]))
            return;
        if (m_logPatches)
            m_names.push_back(m_fields[0]);
        if (m_group.setAside) {
            for (const std::string &field : m_fields) {
                m_group.asideText += field;
                m_group.asideEnds.push_back(m_group.asideText.size());
            }
            return;
        }
        PatchItem patch = itemOf(m_fields);
        // The group's version may still change: a patch is kept while some
        // wanted version would keep it.
        bool kept = !m_keep || !m_versions;
        for (qsizetype i = 0; !kept && i < m_versions->size(); ++i)
            kept = m_keep(m_versions->at(i), patch);
        if (kept)
            m_group.patches.append(std::move(patch));
    }

    void endGroup()
    {
        if (!m_group.hasVersion || !m_group.hasPatches) {
            ++m_product.skippedGroups;
            m_names.resize(m_group.names);
            return;
        }
        ++m_product.usable;
        m_product.skippedPatches += m_group.nonObjects;
        if (!wantedVersion(m_group.version))
            return;
        // Set aside under a version given again after the patches.
        Fields fields;
        for (std::size_t at = 0; at < m_group.asideEnds.size(); at += fields.size()) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const std::size_t start = at + i == 0 ? 0 : m_group.asideEnds[at + i - 1];
                fields[i] = m_group.asideText.substr(start, m_group.asideEnds[at + i] - start);
            }
            if (isLinux(fields[kPlatform]))
                m_group.patches.append(itemOf(fields));
        }
        if (m_keep) {
            m_group.patches.removeIf(
                [this](const PatchItem &item) { return !m_keep(m_group.version, item); });
        }
        m_product.kept.append({m_group.version, std::move(m_group.patches)});
    }

    const std::optional<QStringList> m_versions;
    const PatchFilter m_keep;
    const bool m_logPatches;

    std::vector<Role> m_stack;
    int m_member = -1; // of the object read, by its role
    std::string m_text; // a version
    bool m_rootObject = false;
    ProductList m_product;
    Group m_group;
    Fields m_fields; // of the patch read
    std::vector<std::string> m_names; // of the Linux patches of usable groups, for the log
};

struct CatalogueReader::Private
{
    Private(std::optional<QStringList> versions, PatchFilter keep)
        : handler(
            std::move(versions), std::move(keep), Logger::instance()->isEnabled(Severity::Debug))
    { }

    // Bytes of the text proper: after a byte-order mark, before a NUL byte.
    void feed(QByteArrayView bytes)
    {
        if (ended || bytes.isEmpty())
            return;
        if (const void *nul = std::memchr(bytes.data(), 0, size_t(bytes.size()))) {
            bytes.truncate(static_cast<const char *>(nul) - bytes.data());
            ended = true;
        }
        stream.write(bytes);
    }

    Handler handler;
    // Invalid UTF-8 is replaced, with one warning, rather than refused.
    JsonStream<Handler> stream {handler, kMaxDepth, true};
    QByteArray head; // the first bytes, while they may be a byte-order mark
    bool headRead = false;
    bool ended = false; // at a NUL byte
};

CatalogueReader::CatalogueReader(std::optional<QStringList> versions, PatchFilter keep)
    : d(std::make_unique<Private>(std::move(versions), std::move(keep)))
{ }

CatalogueReader::~CatalogueReader() = default;

void CatalogueReader::write(QByteArrayView piece)
{
    if (!d->headRead) {
        const qsizetype take = std::min(piece.size(), kByteOrderMark.size() - d->head.size());
        d->head.append(piece.first(take));
        piece = piece.sliced(take);
        if (d->head.size() < kByteOrderMark.size() && kByteOrderMark.startsWith(d->head))
            return;
        d->headRead = true;
        if (d->head != kByteOrderMark)
            d->feed(d->head);
    }
    d->feed(piece);
}

CatalogueReader::Result CatalogueReader::finish()
{
    if (!d->headRead) {
        d->headRead = true;
        d->feed(d->head);
    }
    Result result;
    if (d->stream.size() == 0) {
        result.empty = true;
        result.error = QStringLiteral("empty");
        return result;
    }
    d->stream.finish();
    if (!d->stream.validUtf8()) {
        // A typo of the vendor's must not hide every patch.
        Logger::instance()->Print(Severity::Warning,
            QStringLiteral("The patch catalogue is not valid UTF-8; the invalid bytes are read "
                           "as U+FFFD."));
    }
    if (!d->stream.error().isEmpty()) {
        result.error = d->stream.error();
        return result;
    }
    return d->handler.result();
}

CatalogueReader::Result CatalogueReader::read(
    QByteArrayView text, std::optional<QStringList> versions, PatchFilter keep)
{
    CatalogueReader reader(std::move(versions), std::move(keep));
    reader.write(text);
    return reader.finish();
}

bool CatalogueReader::isLinuxPlatform(const QString &platform)
{
    return platform.contains(QLatin1String("Linux"), Qt::CaseInsensitive)
        || platform.contains(QLatin1String("all"), Qt::CaseInsensitive);
}
