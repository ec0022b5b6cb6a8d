#pragma once

#include <QString>

// One patch recorded as installed in a product's patch log.
struct InstalledPatchEntry
{
    QString name; // the record's QFE_TITLE
    QString qfeId; // the record's QFE_ID
    QString crNumber; // always "dummy"
};
