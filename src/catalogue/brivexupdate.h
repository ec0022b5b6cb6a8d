#pragma once

#include "catalogue/patchlist.h"
#include "core/checkerror.h"
#include "download/downloadresult.h"
#include "download/downloadsettings.h"

#include <QList>
#include <QObject>

// One update check: constructing it downloads and reads the catalogue;
// patchList() then gives the patches still to be applied on this machine.
// When the catalogue could not be fetched or read, error() says why and
// patchList() is empty; the front end reports the error.
class BrivexUpdate : public QObject
{
    Q_OBJECT

public:
    explicit BrivexUpdate(const DownloadSettings &settings, QObject *parent = nullptr);
    ~BrivexUpdate() override;

    // The Linux patches of installed releases that name an installed product
    // of that release and are not installed, in catalogue order.
    QList<PatchItem> patchList() const;
    const CheckError &error() const { return m_error; }
    // What came over the network; none for a local file.
    const std::optional<CatalogueTransfer> &transfer() const { return m_transfer; }

private:
    QList<PatchList> m_patchLists;
    CheckError m_error;
    std::optional<CatalogueTransfer> m_transfer;
};
