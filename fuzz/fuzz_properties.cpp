// An installer's properties file and a build-number file, from bytes: the
// values discovery takes from it, and whether the build number confirms them.
#include "products/buildnumber.h"
#include "products/propertiesfile.h"
#include "products/textfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList lines = TextFile::splitLines(bytes);
    for (const char *key : {"Z_REAL_VERSION", "Z_BrivexServer_INSTALL_DIR",
             "Z_BrivexPortal_INSTALL_DIR", "Z_BrivexDataStore_INSTALL_DIR"}) {
        const QString value = PropertiesFile::propertyValue(lines, QLatin1String(key));
        if (value != value.trimmed())
            std::abort(); // values are always trimmed
        // The file's own text as a build number confirms a version it holds.
        if (BuildNumber::confirmsVersion(bytes, value) && !bytes.contains(value.toUtf8()))
            std::abort();
    }
    for (const QString &line : lines) {
        if (line.contains(QLatin1Char('\n')))
            std::abort();
    }
    return 0;
}
