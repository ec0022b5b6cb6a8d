#include "catalogue/brivexupdate.h"

#include "catalogue/applicability.h"
#include "catalogue/catalogueparser.h"
#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "products/brivexconfig.h"

BrivexUpdate::BrivexUpdate(const DownloadSettings &settings, QObject *parent)
    : QObject(parent)
    , m_request(std::make_unique<UpdateRequest>(settings))
{
    m_error = m_request->error();
    m_json = m_request->json();
    // An empty text is a failed download, whose error is already set.
    if (!m_json.isEmpty())
        readPatchInfo();
}

BrivexUpdate::~BrivexUpdate() = default;

void BrivexUpdate::readPatchInfo()
{
    CatalogueParser::Result catalogue = CatalogueParser::parse(m_json);
    if (!catalogue.ok) {
        // Reading nothing from a broken catalogue must not look like "no updates".
        m_error = {Common::ErrCatalogue, tr("Catalogue Error"),
            tr("The patch catalogue could not be read: %1").arg(catalogue.error)};
    }
    m_patchLists = std::move(catalogue.groups);
}

QList<PatchItem> BrivexUpdate::patchList() const
{
    const BrivexConfig *config = BrivexConfig::instance();
    return Applicability::applicablePatches(m_patchLists, config->installedVersions(),
        config->installedProducts(), config->installedPatches());
}
