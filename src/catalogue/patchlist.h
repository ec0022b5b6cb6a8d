#pragma once

#include "catalogue/patchitem.h"

#include <QList>
#include <QString>

// One release group of the catalogue: the release and its Linux patches in
// catalogue order.
struct PatchList
{
    QString version;
    QList<PatchItem> patches;

    friend bool operator==(const PatchList &a, const PatchList &b)
    {
        return a.version == b.version && a.patches == b.patches;
    }
};
