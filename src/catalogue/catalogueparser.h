#pragma once

#include "catalogue/patchlist.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Reads the catalogue document: a top-level object whose "Product" array holds
// release groups ("version" text or number, "patches" array), each patch an
// object of texts. Only patches whose platform names Linux (or "all") are
// kept. Groups and patch entries that cannot be read are skipped with a
// warning; a "Product" list of which no group can be read is an error. Bytes
// that are not UTF-8 are read as U+FFFD.
struct CatalogueParser
{
    struct Result
    {
        bool ok = false;
        QString error; // why the catalogue could not be read, when !ok
        QList<PatchList> groups;
    };

    static Result parse(const QByteArray &json);

    // A patch concerns this system when its platform text contains "Linux" or
    // "all", ignoring case ("All", "Windows, Linux", also "Install").
    static bool isLinuxPlatform(const QString &platform);
};
