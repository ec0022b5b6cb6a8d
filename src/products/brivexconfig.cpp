#include "products/brivexconfig.h"

#include "core/common.h"
#include "core/logger.h"
#include "products/brivexproductbase.h"
#include "products/buildnumber.h"
#include "products/patchlog.h"
#include "products/propertiesfile.h"
#include "products/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QMutexLocker>
#include <QObject>

#include <utility>

BrivexConfig *BrivexConfig::s_instance = nullptr;
QMutex BrivexConfig::s_mutex;

namespace {

const QString kPropertiesPrefix = QStringLiteral(".ZEDO.properties.");
const QString kVersionKey = QStringLiteral("Z_REAL_VERSION");

void log(Severity::Severity severity, const QString &text)
{
    Logger::instance()->Print(severity, text);
}

} // namespace

BrivexConfig *BrivexConfig::instance()
{
    QMutexLocker locker(&s_mutex);
    if (!s_instance)
        s_instance = new BrivexConfig;
    return s_instance;
}

BrivexConfig::BrivexConfig() = default;

BrivexConfig::~BrivexConfig()
{
    qDeleteAll(m_products);
}

void BrivexConfig::init()
{
    if (m_initialized)
        return;
    readLinuxConfig();
    m_initialized = true;
}

QList<BrivexProducts::BrivexProductBase *> BrivexConfig::installedProducts() const
{
    requireInit("installedProducts");
    return m_products;
}

QStringList BrivexConfig::installedVersions() const
{
    requireInit("installedVersions");
    return m_versions;
}

int BrivexConfig::installedProductMask() const
{
    requireInit("installedProductMask");
    return m_productMask;
}

QList<InstalledPatchEntry> BrivexConfig::installedPatches() const
{
    requireInit("installedPatches");
    return m_patches;
}

void BrivexConfig::requireInit(const char *query) const
{
    // Queries before discovery are a programming error; they say so and
    // return the empty members.
    if (!m_initialized) {
        log(Severity::Fatal,
            QStringLiteral("You need to call BrivexConfig::instance()->init() before calling %1()")
                .arg(QLatin1String(query)));
    }
}

void BrivexConfig::readLinuxConfig()
{
    log(Severity::Info, QStringLiteral("Reading Linux configuration"));
    getLinuxProductList();
    for (const ProductType::ProductType type :
        {ProductType::Server, ProductType::Portal, ProductType::DataStore}) {
        if (m_productMask & type)
            processLinuxPatchLogs(type);
    }
}

void BrivexConfig::getLinuxProductList()
{
    m_productMask = 0;

    const QString home = QString::fromLocal8Bit(qgetenv("HOME"));
    if (home.isEmpty()) {
        // Listing an empty path would search the current directory instead.
        // Nothing could be looked at, so no report may say "no updates".
        m_error = {Common::ErrSystemConfig, Common::errorString(Common::ErrSystemConfig),
            QObject::tr("HOME environment variable is not set.")};
        return;
    }
    const QFileInfo homeInfo(home);
    if (!homeInfo.isDir() || !homeInfo.isReadable() || !homeInfo.isExecutable()) {
        log(Severity::Warning, QStringLiteral("Cannot list the HOME directory %1").arg(home));
        m_error = {Common::ErrSystemConfig, Common::errorString(Common::ErrSystemConfig),
            QObject::tr("The home directory %1 cannot be read.").arg(home)};
        return;
    }

    // The installer names the file after the host; the host part is matched
    // ignoring case, and the name must go on after a dot.
    const QString prefix = kPropertiesPrefix + QHostInfo::localHostName() + QLatin1Char('.');
    const QFileInfoList candidates
        = QDir(home).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo &candidate : candidates) {
        if (!candidate.fileName().startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString path = candidate.absoluteFilePath();
        log(Severity::Debug, QStringLiteral("Found properties file: %1").arg(path));
        readPropertiesFile(path);
    }
}

void BrivexConfig::readPropertiesFile(const QString &path)
{
    QStringList lines;
    QString error;
    if (!TextFile::readLines(path, &lines, &error)) {
        log(Severity::Warning,
            QStringLiteral("Could not read properties file %1: %2").arg(path, error));
        return;
    }

    const QString version = PropertiesFile::propertyValue(lines, kVersionKey);
    const std::pair<ProductType::ProductType, QString> keys[] = {
        {ProductType::Server, QStringLiteral("Z_BrivexServer_INSTALL_DIR")},
        {ProductType::Portal, QStringLiteral("Z_BrivexPortal_INSTALL_DIR")},
        {ProductType::DataStore, QStringLiteral("Z_BrivexDataStore_INSTALL_DIR")},
    };
    for (const auto &[type, key] : keys) {
        const QString installDir = PropertiesFile::propertyValue(lines, key);
        if (!installDir.isEmpty())
            addLinuxProduct(type, installDir, version);
    }
}

void BrivexConfig::addLinuxProduct(
    const ProductType::ProductType &type, const QString &installDir, const QString &version)
{
    // A properties file can outlive its product: only a build-number file
    // naming the version shows that the product is still there.
    if (!isThisVersionInstalled(version, installDir))
        return;
    addVersion(version);
    m_productMask |= type;
    BrivexProducts::BrivexProductBase *product
        = BrivexProducts::BrivexProductBase::Create(type, installDir, version);
    m_products.append(product);
    log(Severity::Info,
        QStringLiteral("Found Linux Product: %1 %2").arg(product->names().constFirst(), version));
}

bool BrivexConfig::isThisVersionInstalled(const QString &version, const QString &installDir) const
{
    const QString path = installDir + QStringLiteral("/.Setup/build_number");
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray text = file.read(BuildNumber::kReadLimit);
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    return BuildNumber::confirmsVersion(text, version);
}

void BrivexConfig::addVersion(const QString &version)
{
    if (!m_versions.contains(version))
        m_versions.append(version);
}

void BrivexConfig::processLinuxPatchLogs(const ProductType::ProductType &type)
{
    const QString fileName = PatchLog::fileName(type);
    for (const BrivexProducts::BrivexProductBase *product : std::as_const(m_products)) {
        if (product->productType() != type)
            continue;
        const QString path = product->installDir() + QLatin1Char('/') + fileName;
        if (!QFileInfo::exists(path))
            continue;
        log(Severity::Info, QStringLiteral("  Found patch log: %1").arg(path));
        readPatchEntriesFromPatchLog(path);
    }
}

void BrivexConfig::readPatchEntriesFromPatchLog(const QString &path)
{
    QStringList lines;
    QString error;
    if (!TextFile::readLines(path, &lines, &error)) {
        log(Severity::Warning, QStringLiteral("Could not read patch log %1: %2").arg(path, error));
        return;
    }
    const QList<InstalledPatchEntry> entries = PatchLog::entries(lines);
    for (const InstalledPatchEntry &entry : entries) {
        log(Severity::Info, QStringLiteral("Found installed patch: %1").arg(entry.name));
        m_patches.append(entry);
    }
}
