#include "catalogue/installedpatchindex.h"

#include <QChar>

InstalledPatchIndex::InstalledPatchIndex(const QList<InstalledPatchEntry> &entries)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const InstalledPatchEntry &entry = entries.at(i);
        if (!entry.name.isEmpty()) {
            const QString key = caseFoldedKey(entry.name);
            if (!m_firstByTitle.contains(key))
                m_firstByTitle.insert(key, i);
        }
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
        consider(m_firstByTitle.value(caseFoldedKey(item.name), -1));
    if (!item.qfeId.isEmpty()) {
        consider(m_firstByQfeId.value(item.qfeId, -1));
        for (const auto &cr : m_firstByCrNumber) {
            if (item.qfeId.contains(cr.first))
                consider(cr.second);
        }
    }
    return first;
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
