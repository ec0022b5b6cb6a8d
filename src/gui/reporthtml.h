#pragma once

#include "catalogue/patchitem.h"
#include "products/installedpatchentry.h"

#include <QList>
#include <QString>

namespace BrivexProducts {
class BrivexProductBase;
}

// The report dialog's rich text: the installed products, the updates under
// each of them (or the error of the check), and the installed patches. Every
// text from the catalogue and the installation is escaped, and only http and
// https addresses become links.
QString reportHtml(const QList<PatchItem> &patches,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches, int lastError);

// An absolute http or https address with a host.
bool isWebLink(const QString &url);
