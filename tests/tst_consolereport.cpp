#include "app/consolereport.h"
#include "products/brivexproductbase.h"
#include "testmain.h"

#include <QTest>

#include <memory>
#include <vector>

using BrivexProducts::BrivexProductBase;

namespace {

const QString kEquals(79, QLatin1Char('='));
const QString kDashes(79, QLatin1Char('-'));
const QString kTitle
    = QStringLiteral("             Brivex for Server and Extensions Korvane               ");

PatchItem item(const QString &name, const QString &products, const QString &url)
{
    PatchItem patch;
    patch.name = name;
    patch.products = products;
    patch.url = url;
    return patch;
}

} // namespace

class TestConsoleReport : public QObject
{
    Q_OBJECT

private slots:
    void twoProductsOneUpdate();
    void errorReplacesUpdates();
    void nothingInstalled();
};

void TestConsoleReport::twoProductsOneUpdate()
{
    const std::unique_ptr<BrivexProductBase> server(BrivexProductBase::Create(
        ProductType::Server, QStringLiteral("/s"), QStringLiteral("10.8.1")));
    const std::unique_ptr<BrivexProductBase> portal(BrivexProductBase::Create(
        ProductType::Portal, QStringLiteral("/p"), QStringLiteral("10.8.1")));
    const QList<PatchItem> items {
        item("Fix 1", "Brivex for Server", "http://x/1"), item("Fix 2", "Server", "http://x/2")};
    const QList<InstalledPatchEntry> installed {
        {"Old fix", "Q-1", "dummy"}, {"Older fix", "", "dummy"}};

    QCOMPARE(consoleReportLines(items, {server.get(), portal.get()}, installed, 0),
        (QStringList {kEquals, kTitle, kEquals, "", " Installed products:", "",
            "     Brivex for Server 10.8.1", "     Portal for Brivex 10.8.1", "", kEquals, "",
            " The following updates are available:", "", "  Updates for Brivex for Server 10.8.1",
            "    - Fix 1", "    - http://x/1", "", "    - Fix 2", "    - http://x/2", "",
            "  Updates for Portal for Brivex 10.8.1", "    (no updates available)", "",
            "  Installed Patches", "    - Old fix", "    - Older fix", "", kDashes}));
}

void TestConsoleReport::errorReplacesUpdates()
{
    const std::unique_ptr<BrivexProductBase> store(BrivexProductBase::Create(
        ProductType::DataStore, QStringLiteral("/d"), QStringLiteral("10.7.1")));
    QCOMPARE(consoleReportLines({item("Fix", "Data Store", "u")}, {store.get()}, {}, 3),
        (QStringList {kEquals, kTitle, kEquals, "", " Installed products:", "",
            "     Brivex for DataStore 10.7.1", "", kEquals, "",
            ">>>>>Network connection error.<<<<<", "  Installed Patches", "    (none)", "",
            kDashes}));
}

void TestConsoleReport::nothingInstalled()
{
    QCOMPARE(consoleReportLines({item("Fix", "Server", "u")}, {}, {}, 0),
        (QStringList {kEquals, kTitle, kEquals, "", " Installed products:", "", "", kEquals, "",
            " The following updates are available:", "", "", "  Installed Patches", "    (none)",
            "", kDashes}));
}

KORVANE_TEST_MAIN(TestConsoleReport)
#include "tst_consolereport.moc"
