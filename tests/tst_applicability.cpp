#include "catalogue/applicability.h"
#include "catalogue/catalogueparser.h"
#include "catalogue/installedpatchindex.h"
#include "core/utils.h"
#include "products/brivexproductbase.h"
#include "testmain.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <vector>

using BrivexProducts::BrivexProductBase;

namespace {

// An installation: products it owns, plus the patch-log entries.
struct Installation
{
    std::vector<std::unique_ptr<BrivexProductBase>> owned;
    QList<BrivexProductBase *> products;
    QStringList versions;
    QList<InstalledPatchEntry> patches;

    void add(ProductType::ProductType type, const QString &version)
    {
        owned.emplace_back(BrivexProductBase::Create(type, QStringLiteral("/opt/x"), version));
        products.append(owned.back().get());
        if (!versions.contains(version))
            versions.append(version);
    }
    void installed(const QString &title, const QString &qfeId)
    {
        patches.append({title, qfeId, QStringLiteral("dummy")});
    }
};

// The plain nested scan the hashed version must agree with.
QList<PatchItem> nestedScan(const QList<PatchList> &groups, const Installation &machine)
{
    QList<PatchItem> result;
    for (const PatchList &group : groups) {
        if (!machine.versions.contains(group.version))
            continue;
        for (const PatchItem &item : group.patches) {
            bool installed = false;
            for (const InstalledPatchEntry &entry : machine.patches) {
                if ((!item.name.isEmpty()
                        && QString::compare(item.name, entry.name, Qt::CaseInsensitive) == 0)
                    || (!entry.crNumber.isEmpty() && item.qfeId.contains(entry.crNumber))
                    || (!item.qfeId.isEmpty() && item.qfeId == entry.qfeId)) {
                    installed = true;
                    break;
                }
            }
            if (installed)
                continue;
            bool productInRelease = false;
            for (const BrivexProductBase *product : machine.products) {
                for (const QString &name : product->names()) {
                    if (item.products.contains(name, Qt::CaseInsensitive)
                        && product->version() == group.version)
                        productInRelease = true;
                }
            }
            if (!productInRelease || result.contains(item))
                continue;
            result.append(item);
        }
    }
    return result;
}

QList<PatchList> catalogue(const QByteArray &json)
{
    const CatalogueParser::Result result = CatalogueParser::parse(json);
    return result.groups;
}

QStringList names(const QList<PatchItem> &items)
{
    QStringList out;
    for (const PatchItem &item : items)
        out << item.name;
    return out;
}

QByteArray patch(const char *name, const char *products, const char *qfeId = "")
{
    return QByteArray("{\"Name\":\"") + name + "\",\"Products\":\"" + products + "\",\"QFE_ID\":\""
        + qfeId + "\",\"Platform\":\"Linux\"}";
}

QByteArray group(const char *version, const QList<QByteArray> &patches)
{
    QByteArray list;
    for (const QByteArray &p : patches)
        list += (list.isEmpty() ? "" : ",") + p;
    return QByteArray("{\"version\":\"") + version + "\",\"patches\":[" + list + "]}";
}

QByteArray document(const QList<QByteArray> &groups)
{
    QByteArray list;
    for (const QByteArray &g : groups)
        list += (list.isEmpty() ? "" : ",") + g;
    return "{\"Product\":[" + list + "]}";
}

} // namespace

class TestApplicability : public QObject
{
    Q_OBJECT

private slots:
    void applicable_data();
    void applicable();
    void matchesProduct_data();
    void matchesProduct();
    void productHasNewPatches();
    void caseFoldedKey_data();
    void caseFoldedKey();
    void agreesWithNestedScan();
};

void TestApplicability::applicable_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected");

    const char *server = "Brivex for Server";
    QTest::newRow("installed release, not installed")
        << document({group("10.8.1", {patch("A", server), patch("B", "Portal for Brivex")})})
        << QStringList {"A", "B"};
    QTest::newRow("release differs in any way: skipped") << document(
        {group("10.8", {patch("A", server)}), group("10.8.1.0", {patch("B", server)}),
            group("10.8.1 ", {patch("C", server)})}) << QStringList {};
    QTest::newRow("title in another case counts as installed") << document(
        {group("10.8.1", {patch("SERVER SECURITY FIX 1", server), patch("Other", server)})})
                                                               << QStringList {"Other"};
    QTest::newRow("matching QFE_ID counts as installed") << document(
        {group("10.8.1", {patch("New title", server, "BRX-S-412"), patch("X", server, "BRX-S-4")})})
                                                         << QStringList {"X"};
    QTest::newRow("QFE_ID containing dummy counts as installed") << document(
        {group("10.8.1", {patch("D", server, "dummy-7"), patch("E", server, "Dummy-7")})})
                                                                 << QStringList {"E"};
    QTest::newRow("empty title and QFE_ID never match an empty record")
        << document({group("10.8.1", {patch("", server, ""), patch("F", server, "")})})
        << QStringList {"", "F"};
    QTest::newRow("product installed in another release is not offered")
        << document({group("10.8.1", {patch("G", "Brivex for DataStore")}),
               group("10.7.1", {patch("H", "Brivex for DataStore"), patch("I", server)})})
        << QStringList {"H"};
    QTest::newRow("patch for two products is listed once")
        << document({group("10.8.1", {patch("J", "Brivex for Server, Portal for Brivex")})})
        << QStringList {"J"};
    QTest::newRow("same patch in two groups of one release: first position")
        << document({group("10.8.1", {patch("K", server), patch("L", server)}),
               group("10.8.1", {patch("M", server), patch("K", server)})})
        << QStringList {"K", "L", "M"};
    QTest::newRow("a different field makes a different patch")
        << document({group("10.8.1", {patch("N", server, "1"), patch("N", server, "2")})})
        << QStringList {"N", "N"};
    QTest::newRow("Server matches as a substring") << document({group("10.8.1",
        {patch("O", "Brivex Image Server"), patch("P", "server extensions"), patch("Q", "Serve")})})
                                                   << QStringList {"O", "P"};
    QTest::newRow("product text in another case")
        << document({group("10.8.1", {patch("R", "PORTAL")})}) << QStringList {"R"};
    QTest::newRow("no product named")
        << document({group("10.8.1", {patch("S", "")})}) << QStringList {};
    QTest::newRow("Windows patch was never read") << QByteArray(
        R"({"Product":[{"version":"10.8.1","patches":[{"Name":"W","Products":"Server","Platform":"Windows"}]}]})")
                                                  << QStringList {};
}

void TestApplicability::applicable()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);

    Installation machine;
    machine.add(ProductType::Server, QStringLiteral("10.8.1"));
    machine.add(ProductType::Portal, QStringLiteral("10.8.1"));
    machine.add(ProductType::DataStore, QStringLiteral("10.7.1"));
    machine.installed(QStringLiteral("Server Security Fix 1"), QStringLiteral("BRX-S-412"));
    machine.installed(QStringLiteral("Portal fix"), QString());
    machine.installed(QString(), QString());

    const QList<PatchList> groups = catalogue(json);
    const QList<PatchItem> result = Applicability::applicablePatches(
        groups, machine.versions, machine.products, machine.patches);
    QCOMPARE(names(result), expected);
    QCOMPARE(result, nestedScan(groups, machine));
}

void TestApplicability::matchesProduct_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("products");
    QTest::addColumn<bool>("matches");
    QTest::newRow("Server display name") << int(ProductType::Server) << "Brivex for Server" << true;
    QTest::newRow("Server short name in lower case")
        << int(ProductType::Server) << "server" << true;
    QTest::newRow("Portal other name") << int(ProductType::Portal) << "brivex for portal" << true;
    QTest::newRow("Portal not named") << int(ProductType::Portal) << "Brivex for Server" << false;
    QTest::newRow("DataStore with a blank") << int(ProductType::DataStore) << "Data Store" << true;
    QTest::newRow("DataStore split differently")
        << int(ProductType::DataStore) << "Data-Store" << false;
    QTest::newRow("empty text") << int(ProductType::Server) << "" << false;
}

void TestApplicability::matchesProduct()
{
    QFETCH(int, type);
    QFETCH(QString, products);
    QFETCH(bool, matches);
    const std::unique_ptr<BrivexProductBase> product(BrivexProductBase::Create(
        static_cast<ProductType::ProductType>(type), QStringLiteral("/d"), QStringLiteral("1")));
    PatchItem item;
    item.products = products;
    QCOMPARE(Utils::thisPatchMatchesThisProduct(*product, item), matches);
}

void TestApplicability::productHasNewPatches()
{
    const std::unique_ptr<BrivexProductBase> portal(
        BrivexProductBase::Create(ProductType::Portal, QStringLiteral("/d"), QStringLiteral("1")));
    PatchItem server;
    server.products = QStringLiteral("Server");
    PatchItem both;
    both.products = QStringLiteral("Server and Portal");
    QVERIFY(!Utils::thisProductHasNewPatches(*portal, {}));
    QVERIFY(!Utils::thisProductHasNewPatches(*portal, {server}));
    QVERIFY(Utils::thisProductHasNewPatches(*portal, {server, both}));
}

void TestApplicability::caseFoldedKey_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("ASCII") << "Patch A"
                           << "pATCH a";
    QTest::newRow("accented") << QStringLiteral("Éte") << QStringLiteral("éTE");
    QTest::newRow("sharp s and capital sharp s") << QStringLiteral("ß") << QStringLiteral("ẞ");
    QTest::newRow("different lengths") << "ss" << QStringLiteral("ß");
    QTest::newRow("title-case digraph") << QStringLiteral("ǅ") << QStringLiteral("ǆ");
    QTest::newRow("outside the BMP")
        << QStringLiteral("\U00010400") << QStringLiteral("\U00010428");
    QTest::newRow("dotted I") << QStringLiteral("İ") << "i";
}

void TestApplicability::caseFoldedKey()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    const bool equalIgnoringCase = QString::compare(a, b, Qt::CaseInsensitive) == 0;
    QCOMPARE(InstalledPatchIndex::caseFoldedKey(a) == InstalledPatchIndex::caseFoldedKey(b),
        equalIgnoringCase);
}

void TestApplicability::agreesWithNestedScan()
{
    QRandomGenerator random(20261206);
    const QStringList titles {"Fix A", "fix a", "FIX A", "Fix B", QStringLiteral("Ärger"),
        QStringLiteral("äRGER"), QStringLiteral("ß"), QStringLiteral("ẞ"), "", "Fix C"};
    const QStringList ids {"", "Q-1", "Q-2", "q-1", "dummy", "x-dummy-y", "Q-10"};
    const QStringList productTexts {"Brivex for Server", "portal", "Data Store", "Server, Portal",
        "", "DATASTORE", "Brivex Image Server", "none"};
    const QStringList versions {"10.8.1", "10.7.1", "10.8", "11.0"};
    const QList<ProductType::ProductType> types {
        ProductType::Server, ProductType::Portal, ProductType::DataStore};
    auto pick = [&random](const QStringList &list) { return list.at(random.bounded(list.size())); };

    for (int round = 0; round < 400; ++round) {
        Installation machine;
        const int productCount = random.bounded(4);
        for (int i = 0; i < productCount; ++i)
            machine.add(types.at(random.bounded(types.size())), pick(versions));
        const int installedCount = random.bounded(6);
        for (int i = 0; i < installedCount; ++i)
            machine.installed(pick(titles), pick(ids));

        QList<PatchList> groups;
        const int groupCount = random.bounded(5);
        for (int g = 0; g < groupCount; ++g) {
            PatchList list;
            list.version = pick(versions);
            const int patchCount = random.bounded(8);
            for (int p = 0; p < patchCount; ++p) {
                PatchItem item;
                item.name = pick(titles);
                item.qfeId = pick(ids);
                item.products = pick(productTexts);
                item.url = random.bounded(4) == 0 ? QStringLiteral("u2") : QStringLiteral("u1");
                list.patches.append(item);
            }
            groups.append(list);
        }
        const QList<PatchItem> hashed = Applicability::applicablePatches(
            groups, machine.versions, machine.products, machine.patches);
        QCOMPARE(hashed, nestedScan(groups, machine));
    }
}

KORVANE_TEST_MAIN(TestApplicability)
#include "tst_applicability.moc"
