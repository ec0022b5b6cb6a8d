#pragma once

#include "catalogue/patchlist.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Reads the catalogue document: a top-level object whose "Product" array holds
// release groups ("version", "patches"), each patch an object of texts. Only
// patches whose platform names Linux (or "all") are kept.
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
