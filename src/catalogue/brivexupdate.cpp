#include "catalogue/brivexupdate.h"

#include "catalogue/applicability.h"
#include "catalogue/cataloguereader.h"
#include "core/common.h"
#include "core/logger.h"
#include "download/updaterequest.h"
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
    DownloadSettings attempt = settings;
    CatalogueReader::Result catalogue;
    for (;;) {
        CatalogueReader reader(config->installedVersions(), keep);
        UpdateRequest request(attempt, [&reader](QByteArrayView piece) { reader.write(piece); });
        m_error = request.error();
        m_transfer = request.transfer();
        // What came of a transfer that did not end whole is never a catalogue.
        if (m_error.failed())
            return;
        catalogue = reader.finish();
        if (catalogue.ok) {
            request.keepCopy();
        } else if (request.readKeptCopy()) {
            // Never a false report from a damaged copy: the whole catalogue, once.
            Logger::instance()->Print(Severity::Warning,
                QStringLiteral("The kept copy of the catalogue does not read as one (%1); it is "
                               "fetched whole.")
                    .arg(catalogue.error));
            attempt.conditional = false;
            continue;
        }
        break;
    }
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
