#pragma once

#include "download/downloadsettings.h"
#include "catalogue/patchlist.h"
#include "core/checkerror.h"

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

private:
    QList<PatchList> m_patchLists;
    CheckError m_error;
};
