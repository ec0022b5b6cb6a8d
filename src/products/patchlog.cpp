#include "products/patchlog.h"

namespace {

const QString kRecordStart = QStringLiteral("#START");
const QString kRecordEnd = QStringLiteral("#END");
const QString kQfeIdPrefix = QStringLiteral("QFE_ID");
const QString kQfeTitlePrefix = QStringLiteral("QFE_TITLE");

// Everything after the first colon, trimmed: a title may hold colons itself
// ("Security Update: CVE-1"). Empty when the line has no colon.
QString fieldValue(const QString &line)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    return colon < 0 ? QStringLiteral("") : line.mid(colon + 1).trimmed();
}

void applyPatchField(const QString &line, InstalledPatchEntry *entry)
{
    if (line.startsWith(kQfeIdPrefix))
        entry->qfeId = fieldValue(line);
    else if (line.startsWith(kQfeTitlePrefix))
        entry->name = fieldValue(line);
}

} // namespace

QString PatchLog::fileName(ProductType::ProductType type)
{
    switch (type) {
    case ProductType::Server:
        return QStringLiteral(".ZEDO_S_PATCH_LOG");
    case ProductType::Portal:
        return QStringLiteral(".ZEDO_PORTAL_PATCH_LOG");
    case ProductType::DataStore:
        return QStringLiteral(".ZEDO_DATASTORE_PATCH_LOG");
    case ProductType::None:
        break;
    }
    return QString();
}

QList<InstalledPatchEntry> PatchLog::entries(const QStringList &lines)
{
    QList<InstalledPatchEntry> entries;
    const qsizetype count = lines.size();
    qsizetype i = 0;
    while (i < count) {
        if (lines.at(i) != kRecordStart) {
            ++i;
            continue;
        }
        // The line after "#START" always belongs to the record, even when it
        // reads "#END"; only a later "#END" closes it.
        qsizetype next = i + 1;
        if (next >= count)
            break;
        InstalledPatchEntry entry;
        applyPatchField(lines.at(next), &entry);
        ++next;
        while (next < count && lines.at(next) != kRecordEnd) {
            applyPatchField(lines.at(next), &entry);
            ++next;
        }
        // A record that never closed comes from an interrupted installation:
        // that patch is not installed.
        if (next >= count)
            break;
        entry.crNumber = QStringLiteral("dummy");
        entries.append(entry);
        i = next + 1;
    }
    return entries;
}
