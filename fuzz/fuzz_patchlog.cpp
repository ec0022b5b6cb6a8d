// A product's patch log, from bytes, to the patches it records as installed.
#include "products/patchlog.h"
#include "products/textfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList lines = TextFile::splitLines(bytes);
    const QList<InstalledPatchEntry> entries = PatchLog::entries(lines);
    // Every entry is a record closed by its own "#END" line.
    if (entries.size() > lines.count(QStringLiteral("#END")))
        std::abort();
    for (const InstalledPatchEntry &entry : entries) {
        if (entry.crNumber != QStringLiteral("dummy") || entry.name != entry.name.trimmed())
            std::abort();
    }
    return 0;
}
