#include "catalogue/brivexupdate.h"

#include "catalogue/applicability.h"
#include "catalogue/catalogueparser.h"
#include "catalogue/cataloguereader.h"
#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "core/logger.h"
#include "products/brivexconfig.h"

#include <QIODevice>

BrivexUpdate::BrivexUpdate(const DownloadSettings &settings, QObject *parent)
    : QObject(parent)
    , m_request(std::make_unique<UpdateRequest>(settings))
{
    m_error = m_request->error();
    // An empty text is a failed download, whose error is already set.
    if (!m_request->body().isEmpty())
        readPatchInfo();
}

BrivexUpdate::~BrivexUpdate() = default;

void BrivexUpdate::readPatchInfo()
{
    const CatalogueBody &body = m_request->body();
    // The verbose log names every patch of the catalogue, which only the full
    // reading does.
    if (!Logger::instance()->isEnabled(Severity::Debug)) {
        const BrivexConfig *config = BrivexConfig::instance();
        const QList<BrivexProducts::BrivexProductBase *> products = config->installedProducts();
        // Patches that could never be offered are not kept.
        const auto keep = [&products](const QString &version, const PatchItem &item) {
            return Applicability::productVersionInstalled(products, item, version);
        };
        const std::unique_ptr<QIODevice> text = body.open();
        std::optional<CatalogueParser::Result> quick
            = CatalogueReader::readInstalled(*text, body.size(), config->installedVersions(), keep);
        if (quick) {
            m_patchLists = std::move(quick->groups);
            return;
        }
    }
    CatalogueParser::Result catalogue = CatalogueParser::parse(body.bytes());
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
