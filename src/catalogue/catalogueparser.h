#pragma once

#include "catalogue/patchlist.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QJsonValue;

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

    // A value read as text: strings as they are, numbers in the shortest form
    // that reads back the same ("10", "10.1"), booleans as "true" or "false"
    // where asked; anything else is empty.
    static QString textOf(const QJsonValue &value, bool booleanAsText = false);

    // Logs the warnings about the entries that could not be read, if any.
    static void warnSkipped(qsizetype skippedGroups, qsizetype groups, qsizetype skippedPatches);
};
