#include "catalogue/installedpatchindex.h"

#include <QChar>

InstalledPatchIndex::InstalledPatchIndex(const QList<InstalledPatchEntry> &entries)
    : m_entries(entries)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const InstalledPatchEntry &entry = entries.at(i);
        if (!entry.name.isEmpty() && firstByTitle(entry.name) < 0)
            m_firstByTitle.insert(foldedHash(entry.name), i);
        if (!entry.qfeId.isEmpty() && !m_firstByQfeId.contains(entry.qfeId))
            m_firstByQfeId.insert(entry.qfeId, i);
        if (!entry.crNumber.isEmpty()) {
            bool known = false;
            for (const auto &cr : std::as_const(m_firstByCrNumber))
                known = known || cr.first == entry.crNumber;
            if (!known)
                m_firstByCrNumber.append({entry.crNumber, i});
        }
    }
}

qsizetype InstalledPatchIndex::firstMatch(const PatchItem &item) const
{
    qsizetype first = -1;
    auto consider = [&first](qsizetype index) {
        if (index >= 0 && (first < 0 || index < first))
            first = index;
    };
    if (!item.name.isEmpty())
        consider(firstByTitle(item.name));
    if (!item.qfeId.isEmpty()) {
        consider(m_firstByQfeId.value(item.qfeId, -1));
        for (const auto &cr : m_firstByCrNumber) {
            if (item.qfeId.contains(cr.first))
                consider(cr.second);
        }
    }
    return first;
}

qsizetype InstalledPatchIndex::firstByTitle(const QString &title) const
{
    const auto [begin, end] = m_firstByTitle.equal_range(foldedHash(title));
    if (begin == end)
        return -1;
    const QString key = caseFoldedKey(title);
    for (auto it = begin; it != end; ++it) {
        if (caseFoldedKey(m_entries.at(*it).name) == key)
            return *it;
    }
    return -1;
}

size_t InstalledPatchIndex::foldedHash(const QString &text)
{
    // FNV-1a over the folded UTF-16 units, ASCII folded on the way; the same
    // units give the same hash either way (a Kelvin sign folds to 'k').
    const auto add = [](size_t hash, char16_t unit) { return (hash ^ unit) * 1099511628211ULL; };
    size_t hash = 14695981039346656037ULL;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit >= 0x80) {
            hash = 14695981039346656037ULL;
            for (const QChar folded : caseFoldedKeySlowly(text))
                hash = add(hash, folded.unicode());
            return hash;
        }
        hash = add(hash, unit >= 'A' && unit <= 'Z' ? char16_t(unit + 32) : unit);
    }
    return hash;
}

QString InstalledPatchIndex::caseFoldedKey(const QString &text)
{
    // The same per-character folding as QString::compare(..., Qt::CaseInsensitive),
    // quicker for the usual ASCII title.
    QString ascii(text.size(), Qt::Uninitialized);
    QChar *out = ascii.data();
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return caseFoldedKeySlowly(text);
        *out++ = c.unicode() >= 'A' && c.unicode() <= 'Z' ? QChar(c.unicode() + 32) : c;
    }
    return ascii;
}

QString InstalledPatchIndex::caseFoldedKeySlowly(const QString &text)
{
    QString key;
    key.reserve(text.size());
    const QList<uint> codePoints = text.toUcs4();
    for (uint codePoint : codePoints) {
        const char32_t folded = QChar::toCaseFolded(static_cast<char32_t>(codePoint));
        key.append(QChar::fromUcs4(folded));
    }
    return key;
}
