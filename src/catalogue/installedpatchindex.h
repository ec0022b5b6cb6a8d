#pragma once

#include "catalogue/patchitem.h"
#include "products/installedpatchentry.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// Answers which patch-log entry, if any, records a catalogue patch, without
// scanning every entry for every patch. An entry records a patch when
//  - the titles are equal ignoring case, or
//  - the patch's QFE_ID contains the entry's CR number, or
//  - the QFE_IDs are equal;
// empty titles and identifiers never match anything.
class InstalledPatchIndex
{
public:
    explicit InstalledPatchIndex(const QList<InstalledPatchEntry> &entries);

    // The position of the first entry that records the item, or -1.
    qsizetype firstMatch(const PatchItem &item) const;

    // The key under which two texts are equal exactly when they compare equal
    // ignoring case.
    static QString caseFoldedKey(const QString &text);

private:
    static QString caseFoldedKeySlowly(const QString &text);
    // A hash of the case-folded text, so that no folded copy of every title
    // is kept: a large patch log would fill memory page by page.
    static size_t foldedHash(const QString &text);
    qsizetype firstByTitle(const QString &title) const;

    QList<InstalledPatchEntry> m_entries;
    QMultiHash<size_t, qsizetype> m_firstByTitle; // one per folded title
    QHash<QString, qsizetype> m_firstByQfeId;
    QList<QPair<QString, qsizetype>> m_firstByCrNumber;
};
