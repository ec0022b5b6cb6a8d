#pragma once

#include "catalogue/patchlist.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The one reading of the catalogue, fed in pieces as the bytes arrive, so that
// no text is ever held whole. The document is a top-level object whose
// "Product" array holds release groups ("version" text or number, "patches"
// array), each patch an object of texts. A leading byte-order mark is passed
// over, and the text ends at the first NUL byte. Only patches whose platform
// names Linux (or "all") are read; groups and patch entries that cannot be
// read are skipped with a warning; a "Product" list of which no group can be
// read is an error. Bytes that are not UTF-8 are read as U+FFFD, with one
// warning. Of a repeated member, the last counts.
class CatalogueReader
{
public:
    using PatchFilter = std::function<bool(const QString &version, const PatchItem &item)>;

    struct Result
    {
        bool ok = false;
        bool empty = false; // no text at all
        QString error; // why the text is not a catalogue, when !ok
        QList<PatchList> groups;
    };

    // Keeps the groups of the versions given (all without a list) and, of
    // their Linux patches, those that `keep` accepts (all without a filter).
    // With a verbose log, every Linux patch of the catalogue is named in it.
    explicit CatalogueReader(
        std::optional<QStringList> versions = std::nullopt, PatchFilter keep = {});
    ~CatalogueReader();
    Q_DISABLE_COPY(CatalogueReader)

    // The next piece of the bytes received. Once the text is known not to be
    // JSON, or has ended at a NUL byte, the rest is passed over.
    void write(QByteArrayView piece);
    // The bytes ended: the catalogue, or why there is none. Logs the warnings
    // and, with a verbose log, the patches. Call once.
    Result finish();

    // A whole text at once.
    static Result read(QByteArrayView text, std::optional<QStringList> versions = std::nullopt,
        PatchFilter keep = {});

    // A patch concerns this system when its platform text contains "Linux" or
    // "all", ignoring case ("All", "Windows, Linux", also "Install").
    static bool isLinuxPlatform(const QString &platform);

private:
    class Handler;
    struct Private;
    std::unique_ptr<Private> d;
};
