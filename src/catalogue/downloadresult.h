#pragma once

#include "catalogue/cataloguebody.h"
#include "core/checkerror.h"

#include <QString>

// What a catalogue download gives back: the catalogue text, or why there is none.
struct DownloadResult
{
    CatalogueBody body; // UTF-8, byte-order mark dropped, cut at the first NUL byte
    CheckError error; // code 3 (network) or 5 (catalogue) when the download failed

    // The text received; an empty one is a catalogue error.
    static DownloadResult received(CatalogueBody body);
    static DownloadResult failure(const QString &title, const QString &message);
    // "An error occurred: <reason> (<code>)" under the title "Network Error".
    static DownloadResult networkError(const QString &reason, int code);
    // The same under the title "Network Timeout".
    static DownloadResult timeout(const QString &reason, int code);
    // A response other than 2xx, which is never the catalogue.
    static DownloadResult unexpectedStatus(int status);
    // Catalogue errors: nothing in the body, or more than the limit.
    static DownloadResult emptyCatalogue();
    static DownloadResult tooLarge(qint64 limit);
};
