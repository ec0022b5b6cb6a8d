#include "catalogue/brivexupdate.h"

#include "catalogue/applicability.h"
#include "catalogue/catalogueparser.h"
#include "catalogue/installedpatchindex.h"
#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "core/logger.h"
#include "core/utils.h"
#include "products/brivexconfig.h"

BrivexUpdate::BrivexUpdate(const QString &url, QObject *parent)
    : QObject(parent)
    , m_request(std::make_unique<UpdateRequest>(url))
{
    connect(m_request.get(), &UpdateRequest::dataComplete, this, &BrivexUpdate::onDataComplete);
    onDataComplete();
}

BrivexUpdate::~BrivexUpdate() = default;

void BrivexUpdate::onDataComplete()
{
    m_json = m_request->jsonBytes();
    // An empty text is a failed download, already reported where it happened.
    if (!m_json.isEmpty())
        readPatchInfo();
}

void BrivexUpdate::readPatchInfo()
{
    CatalogueParser::Result catalogue = CatalogueParser::parse(m_json);
    if (!catalogue.ok) {
        // Reading nothing from a broken catalogue must not look like "no updates".
        const QString message
            = tr("The patch catalogue could not be read: %1").arg(catalogue.error);
        Logger::instance()->Print(Severity::Error, message);
        Utils::ErrorMsg(tr("Catalogue Error"), message, nullptr);
        Common::instance()->lastError = Common::ErrCatalogue;
    }
    m_patchLists = std::move(catalogue.groups);
}

QList<PatchItem> BrivexUpdate::patchList() const
{
    const BrivexConfig *config = BrivexConfig::instance();
    return Applicability::applicablePatches(m_patchLists, config->installedVersions(),
        config->installedProducts(), config->installedPatches());
}

bool BrivexUpdate::isPatchInstalled(const PatchItem &item) const
{
    const QList<InstalledPatchEntry> installed = BrivexConfig::instance()->installedPatches();
    const qsizetype entry = InstalledPatchIndex(installed).firstMatch(item);
    if (entry < 0)
        return false;
    Logger::instance()->Print(Severity::Debug,
        QStringLiteral("Skipping installed patch: %1").arg(installed.at(entry).name));
    return true;
}

bool BrivexUpdate::isThisProductVersionInstalled(
    const PatchItem &item, const QString &version) const
{
    return Applicability::productVersionInstalled(
        BrivexConfig::instance()->installedProducts(), item, version);
}
