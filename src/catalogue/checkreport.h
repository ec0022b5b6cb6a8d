#pragma once

#include "catalogue/patchitem.h"
#include "core/checkerror.h"
#include "download/downloadresult.h"
#include "products/installedpatchentry.h"

#include <QList>
#include <QString>
#include <QStringList>

class BrivexUpdate;
namespace BrivexProducts {
class BrivexProductBase;
}

// What one check found: the one value that the console report, the report
// window, the JSON document and the monitoring plugin's output are built from.
struct CheckReport
{
    struct Product
    {
        QString name; // the display name
        QString version;
        QString directory;
    };
    struct Update
    {
        PatchItem patch;
        // The display names of the installed products it is listed under:
        // those whose names occur in its products text.
        QStringList appliesTo;
        // Not listed by the report of the check before (-o).
        bool isNew = false;
    };

    QString catalogueUrl;
    std::optional<CatalogueTransfer> transfer; // none for a local file
    QList<Product> products; // in the order they were found
    QList<InstalledPatchEntry> installedPatches;
    QList<Update> updates; // still to be applied, in catalogue order
    CheckError error; // why the check failed; code 0 when it did not

    // The check just run: the installation found at start-up, the update's
    // result, and the failure of discovery or else of the update.
    static CheckReport of(const QString &catalogueUrl, const BrivexUpdate &update);
    static CheckReport of(const QString &catalogueUrl,
        const QList<BrivexProducts::BrivexProductBase *> &products,
        const QList<InstalledPatchEntry> &installedPatches, const QList<PatchItem> &updates,
        const CheckError &error);

    bool listsUnder(const Update &update, const Product &product) const
    {
        return update.appliesTo.contains(product.name);
    }
    qsizetype securityUpdateCount() const;
    // The updates marked new (isNew).
    qsizetype newUpdateCount() const;
};
