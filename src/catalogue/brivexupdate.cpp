#include "catalogue/brivexupdate.h"

#include "catalogue/applicability.h"
#include "catalogue/cataloguereader.h"
#include "download/updaterequest.h"
#include "core/common.h"
#include "products/brivexconfig.h"

BrivexUpdate::BrivexUpdate(const DownloadSettings &settings, QObject *parent)
    : QObject(parent)
{
    const BrivexConfig *config = BrivexConfig::instance();
    const QList<BrivexProducts::BrivexProductBase *> products = config->installedProducts();
    // Patches that could never be offered are not kept.
    const auto keep = [&products](const QString &version, const PatchItem &item) {
        return Applicability::productVersionInstalled(products, item, version);
    };
    CatalogueReader reader(config->installedVersions(), keep);
    m_error
        = UpdateRequest(settings, [&reader](QByteArrayView piece) { reader.write(piece); }).error();
    // What came of a transfer that did not end whole is never a catalogue.
    if (m_error.failed())
        return;
    CatalogueReader::Result catalogue = reader.finish();
    if (catalogue.empty) {
        m_error = DownloadResult::emptyCatalogue().error;
    } else if (!catalogue.ok) {
        // Reading nothing from a broken catalogue must not look like "no updates".
        m_error = {Common::ErrCatalogue, tr("Catalogue Error"),
            tr("The patch catalogue could not be read: %1").arg(catalogue.error)};
    }
    m_patchLists = std::move(catalogue.groups);
}

BrivexUpdate::~BrivexUpdate() = default;

QList<PatchItem> BrivexUpdate::patchList() const
{
    const BrivexConfig *config = BrivexConfig::instance();
    return Applicability::applicablePatches(m_patchLists, config->installedVersions(),
        config->installedProducts(), config->installedPatches());
}
