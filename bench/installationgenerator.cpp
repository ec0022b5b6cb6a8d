#include "installationgenerator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

InstallationGenerator::InstallationGenerator(int recordsPerLog, int unrelatedFiles)
    : m_recordsPerLog(recordsPerLog)
    , m_unrelatedFiles(unrelatedFiles)
{ }

bool InstallationGenerator::writeFile(const QString &path, const QByteArray &content) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}

QByteArray InstallationGenerator::patchLog(
    const QByteArray &idPrefix, const QByteArray &product) const
{
    QByteArray log;
    log.reserve(m_recordsPerLog * 160);
    for (int i = 0; i < m_recordsPerLog; ++i) {
        const QByteArray number = QByteArray::number(i);
        log += "#START\nQFE_ID: " + idPrefix + number + "\nQFE_TITLE: " + product
            + " Cumulative Patch " + number + "\nQFE_INSTALL_DATE: 2024-03-21\n"
            + "QFE_INSTALLED_BY: brivex\n#END\n";
    }
    return log;
}

bool InstallationGenerator::writeTo(const QString &home, const QString &hostName) const
{
    const QByteArray root = QFile::encodeName(home);
    const QString prefix = home + QStringLiteral("/.ZEDO.properties.") + hostName;
    bool ok = writeFile(prefix + QStringLiteral(".server-portal"),
        "#written by the installer\nZ_REAL_VERSION=10.8.1\n"
        "Z_BrivexServer_INSTALL_DIR="
            + root + "/brivex/server\nZ_BrivexPortal_INSTALL_DIR=" + root + "/brivex/portal\n");
    ok = writeFile(prefix + QStringLiteral(".datastore"),
             "#written by the installer\nZ_REAL_VERSION=10.7.1\n"
             "Z_BrivexDataStore_INSTALL_DIR="
                 + root + "/brivex/datastore\n")
        && ok;

    const struct
    {
        const char *dir;
        const char *build;
        const char *log;
        const char *idPrefix;
        const char *product;
    } products[] = {
        {"server", "10.8.1 build 5812\n", ".ZEDO_S_PATCH_LOG", "BRX-S-1081-P-",
            "Brivex for Server"},
        {"portal", "10.8.1 build 5812\n", ".ZEDO_PORTAL_PATCH_LOG", "BRX-P-1081-P-",
            "Portal for Brivex"},
        {"datastore", "10.7.1 build 4407\n", ".ZEDO_DATASTORE_PATCH_LOG", "BRX-D-1071-P-",
            "Brivex for DataStore"},
    };
    for (const auto &product : products) {
        const QString dir = home + QStringLiteral("/brivex/") + QLatin1String(product.dir);
        ok = writeFile(dir + QStringLiteral("/.Setup/build_number"), product.build) && ok;
        ok = writeFile(dir + QLatin1Char('/') + QLatin1String(product.log),
                 patchLog(product.idPrefix, product.product))
            && ok;
    }

    // Dot files and documents, some of them properties files of other hosts.
    const QByteArray filler(1024, 'x');
    for (int i = 0; i < m_unrelatedFiles; ++i) {
        QString name;
        switch (i % 4) {
        case 0:
            name = QStringLiteral(".config-%1.rc").arg(i);
            break;
        case 1:
            name = QStringLiteral("document-%1.txt").arg(i);
            break;
        case 2:
            name = QStringLiteral(".ZEDO.properties.otherhost%1.server").arg(i);
            break;
        default:
            name = QStringLiteral(".cache-%1").arg(i);
            break;
        }
        ok = writeFile(home + QLatin1Char('/') + name, filler) && ok;
    }
    return ok;
}
