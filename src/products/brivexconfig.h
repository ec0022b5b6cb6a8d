#pragma once

#include "core/checkerror.h"
#include "products/installedpatchentry.h"
#include "products/producttype.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

namespace BrivexProducts {
class BrivexProductBase;
}

// The products installed for the current user on this machine, found once per
// process from the installer's properties files in $HOME, the products'
// build-number files and their patch logs.
class BrivexConfig
{
public:
    static BrivexConfig *instance();

    // Tests build their own instances; the program uses instance().
    BrivexConfig();
    ~BrivexConfig();

    // Runs discovery the first time; later calls do nothing.
    void init();
    // Why discovery could not look at the installation (code 1), or no error.
    // The front end reports it.
    const CheckError &error() const { return m_error; }

    QList<BrivexProducts::BrivexProductBase *> installedProducts() const;
    QStringList installedVersions() const;
    int installedProductMask() const;
    QList<InstalledPatchEntry> installedPatches() const;

private:
    Q_DISABLE_COPY(BrivexConfig)

    void requireInit(const char *query) const;
    void readLinuxConfig();
    void getLinuxProductList();
    // Adds the products one properties file names.
    void readPropertiesFile(const QString &path);
    void addLinuxProduct(
        const ProductType::ProductType &type, const QString &installDir, const QString &version);
    bool isThisVersionInstalled(const QString &version, const QString &installDir) const;
    void addVersion(const QString &version);
    void processLinuxPatchLogs(const ProductType::ProductType &type);
    void readPatchEntriesFromPatchLog(const QString &path);

    bool m_initialized = false;
    CheckError m_error;
    int m_productMask = 0;
    QStringList m_versions;
    QList<InstalledPatchEntry> m_patches;
    QList<BrivexProducts::BrivexProductBase *> m_products; // owned

    static BrivexConfig *s_instance;
    static QMutex s_mutex;
};
