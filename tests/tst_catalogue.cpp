#include "catalogue/catalogueparser.h"
#include "catalogue/jsonhelper.h"
#include "testmain.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// Names of the patches of each group, "version: a, b".
QStringList summary(const QList<PatchList> &groups)
{
    QStringList out;
    for (const PatchList &group : groups) {
        QStringList names;
        for (const PatchItem &item : group.patches)
            names << item.name;
        out << group.version + QStringLiteral(": ") + names.join(QStringLiteral(", "));
    }
    return out;
}

QByteArray catalogueWith(const QByteArray &patches, const QByteArray &version = "\"10.8.1\"")
{
    return "{\"Product\":[{\"version\":" + version + ",\"patches\":[" + patches + "]}]}";
}

// The reading rules applied to the decoded variant maps: the reference the
// direct reading of the parsed document must agree with.
QString variantText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::Double)
        return value.toString();
    return QString();
}

QList<PatchList> readThroughVariants(const QByteArray &json)
{
    const QVariantMap root = JSONHelper().decode(QString::fromUtf8(json));
    QList<PatchList> groups;
    const QVariant products = root.value(QStringLiteral("Product"));
    const QVariantList entries
        = products.typeId() == QMetaType::QVariantList ? products.toList() : QVariantList();
    for (const QVariant &entryValue : entries) {
        const QVariantMap entry
            = entryValue.typeId() == QMetaType::QVariantMap ? entryValue.toMap() : QVariantMap();
        PatchList list;
        list.version = variantText(entry.value(QStringLiteral("version")));
        const QVariant patches = entry.value(QStringLiteral("patches"));
        const QVariantList patchList
            = patches.typeId() == QMetaType::QVariantList ? patches.toList() : QVariantList();
        for (const QVariant &patchValue : patchList) {
            const QVariantMap patch = patchValue.typeId() == QMetaType::QVariantMap
                ? patchValue.toMap()
                : QVariantMap();
            PatchItem item;
            item.name = variantText(patch.value(QStringLiteral("Name")));
            item.products = variantText(patch.value(QStringLiteral("Products")));
            item.securityPatch = variantText(patch.value(QStringLiteral("SecurityPatch")));
            item.platform = variantText(patch.value(QStringLiteral("Platform")));
            item.url = variantText(patch.value(QStringLiteral("url")));
            item.qfeId = variantText(patch.value(QStringLiteral("QFE_ID")));
            item.releaseDate = variantText(patch.value(QStringLiteral("ReleaseDate")));
            if (CatalogueParser::isLinuxPlatform(item.platform))
                list.patches.append(item);
        }
        groups.append(list);
    }
    return groups;
}

// A random JSON value of any type, with texts that matter to the reader.
QByteArray randomValue(QRandomGenerator &random, int depth)
{
    static const QList<QByteArray> texts {"\"Linux\"", "\"All\"", "\"Windows\"", "\"10.8.1\"",
        "\"Brivex for Server\"", "\"\"", "\"\\u00e9t\\u00e9\"", "\"Install\""};
    static const QList<QByteArray> numbers {
        "10", "10.1", "-3", "1e21", "0.30000000000000004", "12345678901234567890", "1.5e-7", "-0"};
    switch (random.bounded(depth > 1 ? 5 : 7)) {
    case 0:
    case 1:
        return texts.at(random.bounded(texts.size()));
    case 2:
        return numbers.at(random.bounded(numbers.size()));
    case 3:
        return random.bounded(2) ? "true" : "null";
    case 4:
        return "false";
    case 5:
        return "[" + randomValue(random, depth + 1) + "]";
    default:
        return "{\"Name\":" + randomValue(random, depth + 1) + "}";
    }
}

QByteArray randomCatalogue(QRandomGenerator &random)
{
    static const QList<QByteArray> patchKeys {
        "Name", "Products", "SecurityPatch", "Platform", "url", "QFE_ID", "ReleaseDate", "Other"};
    QByteArray groups;
    const int groupCount = random.bounded(4);
    for (int g = 0; g < groupCount; ++g) {
        QByteArray patches;
        const int patchCount = random.bounded(5);
        for (int p = 0; p < patchCount; ++p) {
            QByteArray fields;
            const int fieldCount = random.bounded(9);
            for (int f = 0; f < fieldCount; ++f) {
                const QByteArray key = patchKeys.at(random.bounded(patchKeys.size()));
                fields += (fields.isEmpty() ? "" : ",") + ("\"" + key + "\":")
                    + randomValue(random, 1);
            }
            const QByteArray patch
                = random.bounded(8) == 0 ? randomValue(random, 1) : "{" + fields + "}";
            patches += (patches.isEmpty() ? "" : ",") + patch;
        }
        QByteArray group
            = "{\"version\":" + randomValue(random, 1) + ",\"patches\":[" + patches + "]}";
        if (random.bounded(8) == 0)
            group = randomValue(random, 1);
        groups += (groups.isEmpty() ? "" : ",") + group;
    }
    return "{\"Product\":[" + groups + "]}";
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void platformFilter_data();
    void platformFilter();
    void readingRules_data();
    void readingRules();
    void fieldsAreRead();
    void groupsAndOrder_data();
    void groupsAndOrder();
    void unreadableCatalogue_data();
    void unreadableCatalogue();
    void agreesWithVariantReading();
};

void TestCatalogue::platformFilter_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("Linux") << "Linux" << true;
    QTest::newRow("linux in lower case") << "linux" << true;
    QTest::newRow("All") << "All" << true;
    QTest::newRow("ALL") << "ALL" << true;
    QTest::newRow("Linux among others") << "Windows, Linux" << true;
    QTest::newRow("Install contains all") << "Install" << true;
    QTest::newRow("Windows only") << "Windows" << false;
    QTest::newRow("Solaris") << "Solaris" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("L-i-n-u-x split") << "Lin ux" << false;
}

void TestCatalogue::platformFilter()
{
    QFETCH(QString, platform);
    QFETCH(bool, accepted);
    QCOMPARE(CatalogueParser::isLinuxPlatform(platform), accepted);
}

void TestCatalogue::readingRules_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("version as the number 10.1")
        << catalogueWith("", "10.1") << QStringList {"10.1: "};
    QTest::newRow("version as the number 10") << catalogueWith("", "10") << QStringList {"10: "};
    QTest::newRow("version as a large number")
        << catalogueWith("", "1e21") << QStringList {"1e+21: "};
    QTest::newRow("version null") << catalogueWith("", "null") << QStringList {": "};
    QTest::newRow("version true") << catalogueWith("", "true") << QStringList {": "};
    QTest::newRow("version an object") << catalogueWith("", "{\"a\":1}") << QStringList {": "};
    QTest::newRow("name as a number")
        << catalogueWith(R"({"Name":7,"Platform":"Linux"})") << QStringList {"10.8.1: 7"};
    QTest::newRow("missing platform is dropped")
        << catalogueWith(R"({"Name":"a"})") << QStringList {"10.8.1: "};
    QTest::newRow("platform as a boolean is dropped")
        << catalogueWith(R"({"Name":"a","Platform":true})") << QStringList {"10.8.1: "};
    QTest::newRow("patch that is not an object is dropped")
        << catalogueWith(R"("Linux", 5, null, [1])") << QStringList {"10.8.1: "};
    QTest::newRow("empty patches") << catalogueWith("") << QStringList {"10.8.1: "};
    QTest::newRow("patches not an array")
        << QByteArray(R"({"Product":[{"version":"1","patches":"x"}]})") << QStringList {"1: "};
    QTest::newRow("group that is not an object")
        << QByteArray(R"({"Product":[3, "x"]})") << QStringList {": ", ": "};
    QTest::newRow("boolean group is skipped")
        << QByteArray(R"({"Product":[true, {"version":"1"}]})") << QStringList {"1: "};
    QTest::newRow("empty Product list") << QByteArray(R"({"Product":[]})") << QStringList {};
    QTest::newRow("duplicate key: the last wins")
        << QByteArray(R"({"Product":[{"version":"1","version":"2","patches":[]}]})")
        << QStringList {"2: "};
    QTest::newRow("UTF-8 name") << catalogueWith(R"({"Name":"Correctif é ✓","Platform":"All"})")
                                << QStringList {QStringLiteral("10.8.1: Correctif é ✓")};
    QTest::newRow("escaped name") << catalogueWith(
        R"({"Name":"\u00e9\ud83d\ude00","Platform":"All"})")
                                  << QStringList {QStringLiteral("10.8.1: é\U0001F600")};
}

void TestCatalogue::readingRules()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);
    const CatalogueParser::Result result = CatalogueParser::parse(json);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(summary(result.groups), expected);
}

void TestCatalogue::fieldsAreRead()
{
    const CatalogueParser::Result result = CatalogueParser::parse(catalogueWith(
        R"({"Name":"Fix","Products":"Brivex for Server","SecurityPatch":true,"Platform":"Linux",)"
        R"("url":"http://x/y","QFE_ID":"BRX-1","ReleaseDate":"2026-01-02","Extra":"ignored"},)"
        R"({"Name":"Sec","SecurityPatch":"Yes","Platform":"all"})"));
    QVERIFY(result.ok);
    QCOMPARE(result.groups.size(), 1);
    const QList<PatchItem> &patches = result.groups.first().patches;
    QCOMPARE(patches.size(), 2);
    const PatchItem &fix = patches.at(0);
    QCOMPARE(fix.name, QStringLiteral("Fix"));
    QCOMPARE(fix.products, QStringLiteral("Brivex for Server"));
    QCOMPARE(fix.securityPatch, QString());
    QCOMPARE(fix.platform, QStringLiteral("Linux"));
    QCOMPARE(fix.url, QStringLiteral("http://x/y"));
    QCOMPARE(fix.qfeId, QStringLiteral("BRX-1"));
    QCOMPARE(fix.releaseDate, QStringLiteral("2026-01-02"));
    QCOMPARE(patches.at(1).securityPatch, QStringLiteral("Yes"));
}

void TestCatalogue::groupsAndOrder_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("catalogue order kept") << QByteArray(R"({"Product":[
            {"version":"2","patches":[{"Name":"z","Platform":"Linux"},{"Name":"a","Platform":"Linux"}]},
            {"version":"1","patches":[{"Name":"w","Platform":"Windows"},{"Name":"m","Platform":"All"}]}]})")
                                          << QStringList {"2: z, a", "1: m"};
    QTest::newRow("keys in any order") << QByteArray(
        R"({"Other":1,"Product":[{"patches":[{"Platform":"Linux","Name":"p"}],"version":"3"}]})")
                                       << QStringList {"3: p"};
}

void TestCatalogue::groupsAndOrder()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);
    const CatalogueParser::Result result = CatalogueParser::parse(json);
    QVERIFY(result.ok);
    QCOMPARE(summary(result.groups), expected);
}

void TestCatalogue::unreadableCatalogue_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    QTest::newRow("not JSON") << QByteArray("<html>Not found</html>")
                              << "illegal value at offset 1";
    QTest::newRow("truncated") << QByteArray(R"({"Product":[{"version":"1")")
                               << "unterminated string at offset 26";
    QTest::newRow("plural Products") << QByteArray(R"({"Products":[]})") << "no \"Product\" list";
    QTest::newRow("Product not an array")
        << QByteArray(R"({"Product":{"version":"1"}})") << "no \"Product\" list";
    QTest::newRow("top-level array") << QByteArray(R"([{"Product":[]}])") << "no \"Product\" list";
    QTest::newRow("top-level string") << QByteArray(R"("Product")") << "illegal value at offset 1";
    QTest::newRow("empty text") << QByteArray() << "illegal value at offset 0";
    QTest::newRow("nested 100,000 deep") << QByteArray(100000, '[')
                                         << "too deeply nested document at offset 1025";
    QTest::newRow("patches nested 2,000 deep")
        << "{\"Product\":" + QByteArray(2000, '[') + QByteArray(2000, ']') + "}"
        << "too deeply nested document at offset 1035";
}

void TestCatalogue::unreadableCatalogue()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    const CatalogueParser::Result result = CatalogueParser::parse(json);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    QVERIFY(result.groups.isEmpty());
}

void TestCatalogue::agreesWithVariantReading()
{
    QRandomGenerator random(4711);
    for (int round = 0; round < 500; ++round) {
        const QByteArray json = randomCatalogue(random);
        const CatalogueParser::Result direct = CatalogueParser::parse(json);
        QVERIFY2(direct.ok, json.constData());
        QVERIFY2(direct.groups == readThroughVariants(json), json.constData());
    }
}

KORVANE_TEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
