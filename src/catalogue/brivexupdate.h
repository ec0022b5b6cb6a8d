#pragma once

#include "catalogue/patchlist.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class UpdateRequest;

// One update check: constructing it downloads and reads the catalogue;
// patchList() then gives the patches still to be applied on this machine.
// When the catalogue could not be fetched or read, the failure has been
// reported and recorded in Common::lastError, and patchList() is empty.
class BrivexUpdate : public QObject
{
    Q_OBJECT

public:
    explicit BrivexUpdate(const QString &url, QObject *parent = nullptr);
    ~BrivexUpdate() override;

    void readPatchInfo();

    QList<PatchItem> patchList() const;
    bool isPatchInstalled(const PatchItem &item) const;
    bool isThisProductVersionInstalled(const PatchItem &item, const QString &version) const;

    // The Linux patches of the catalogue by release, in catalogue order.
    QList<PatchList> patchLists() const { return m_patchLists; }

public slots:
    void onDataComplete();

private:
    std::unique_ptr<UpdateRequest> m_request;
    QByteArray m_json;
    QList<PatchList> m_patchLists;
};
