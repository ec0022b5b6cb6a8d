#include "catalogue/applicability.h"
#include "catalogue/catalogueparser.h"
#include "catalogue/cataloguereader.h"
#include "catalogue/jsonhelper.h"
#include "catalogue/jsonreader.h"
#include "logrecorder.h"
#include "products/brivexproductbase.h"
#include "testmain.h"
#include "trickledevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>

#include <memory>
#include <vector>

using BrivexProducts::BrivexProductBase;

namespace {

// "version: name, name" per group.
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

QByteArray patch(const char *name, const char *products, const char *qfeId = "")
{
    return QByteArray("{\"Name\":\"") + name + "\",\"Products\":\"" + products + "\",\"QFE_ID\":\""
        + qfeId + "\",\"Platform\":\"Linux\"}";
}

QByteArray group(const char *version, const QList<QByteArray> &patches)
{
    return QByteArray("{\"version\":\"") + version + "\",\"patches\":[" + patches.join(',') + "]}";
}

QByteArray document(const QList<QByteArray> &groups)
{
    return "{\"Product\":[" + groups.join(',') + "]}";
}

// An installation: the products it owns, its versions and patch-log entries.
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
    QList<PatchItem> applicable(const QList<PatchList> &groups) const
    {
        return Applicability::applicablePatches(groups, versions, products, patches);
    }
};

// The plain nested scan that the hashed lookups must agree with; empty
// titles and QFE_IDs never match.
QList<PatchItem> nestedScan(const QList<PatchList> &groups, const Installation &machine)
{
    QList<PatchItem> result;
    for (const PatchList &group : groups) {
        if (!machine.versions.contains(group.version))
            continue;
        for (const PatchItem &item : group.patches) {
            bool installed = false;
            for (const InstalledPatchEntry &entry : machine.patches) {
                installed = installed
                    || (!item.name.isEmpty()
                        && QString::compare(item.name, entry.name, Qt::CaseInsensitive) == 0)
                    || (!entry.crNumber.isEmpty() && item.qfeId.contains(entry.crNumber))
                    || (!item.qfeId.isEmpty() && item.qfeId == entry.qfeId);
            }
            bool productInRelease = false;
            for (const BrivexProductBase *product : machine.products) {
                for (const QString &name : product->names())
                    productInRelease = productInRelease
                        || (item.products.contains(name, Qt::CaseInsensitive)
                            && product->version() == group.version);
            }
            if (!installed && productInRelease && !result.contains(item))
                result.append(item);
        }
    }
    return result;
}


// A catalogue with groups of several versions in either member order,
// patches with fields of every type (escapes, non-ASCII text, numbers),
// entries that cannot be read, repeated members, and now and then one
// damaged byte.
QByteArray randomCatalogue(QRandomGenerator &random)
{
    const auto pick = [&random](const QList<QByteArray> &list) {
        return list.at(random.bounded(int(list.size())));
    };
    const QList<QByteArray> values {R"("Linux")", R"("All")", R"("Windows")",
        R"("Brivex for Server")", R"("PORTAL")", R"("a\"\\\/\n\u00e9\ud83d\ude00")", R"("\udc00x")",
        "\"\xC3\xA9 \xE2\x9C\x93\"", "7", "-0", "1.5E3", "12345678901234567890", "true", "false",
        "null", R"([1,{"a":[]}])", "{}"};
    QList<QByteArray> groups;
    for (int g = random.bounded(6); g > 0; --g) {
        QList<QByteArray> patches;
        for (int p = random.bounded(6); p > 0; --p) {
            QByteArray fields;
            for (const char *name : {"Name", "Products", "Platform", "QFE_ID", "url",
                     "SecurityPatch", "ReleaseDate", "Other", "Platform"}) {
                if (random.bounded(3))
                    fields += (fields.isEmpty() ? "\"" : ",\n \"") + QByteArray(name)
                        + "\":" + pick(values);
            }
            patches << (random.bounded(8) ? '{' + fields + '}' : pick(values));
        }
        QList<QByteArray> members {"\"version\":"
                + pick({R"("10.8.1")", R"("10.7.1")", R"("9.9")", "10.1", "null", "true"}),
            "\"patches\":" + (random.bounded(8) ? '[' + patches.join(", ") + ']' : pick(values))};
        if (random.bounded(2))
            members.swapItemsAt(0, 1);
        if (!random.bounded(12))
            members << members.first();
        groups << (random.bounded(10) ? '{' + members.join(",\t") + '}' : pick(values));
    }
    QByteArray text = "{\"x\":" + pick({R"([1,{"y":null}])", "-0.5e-280", "1e99999999999999999999"})
        + R"(, "Product": [)" + groups.join(",\r\n") + "]}\n";
    if (!random.bounded(5))
        text[random.bounded(int(text.size()))]
            = pick({"\x01", "\xff", ",", ".", "\"", "}", "e"})[0];
    return text;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void conformance();
    void parseKeepsValues();
    void encode();
    void readingRules_data();
    void readingRules();
    void applicable_data();
    void applicable();
    void agreesWithNestedScan();
    void quickReadingAgreesWithFullReading();
};

void TestCatalogue::conformance()
{
    // y_: JSON, accepted; n_: not JSON, rejected; i_: either, but no crash.
    const QDir suite(QStringLiteral(KORVANE_SOURCE_DIR "/tests/data/jsontestsuite"));
    const QStringList files = suite.entryList({QStringLiteral("*.json")}, QDir::Files);
    QVERIFY(files.size() > 300);
    // JSON in a form the streaming reader leaves to parse().
    const QStringList notStreamed {"y_number_double_close_to_zero.json"};
    for (const QString &name : files) {
        QFile file(suite.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonParseError error;
        JSONHelper::parse(file.readAll(), &error);
        if (!name.startsWith(u'i'))
            QVERIFY2((error.error == QJsonParseError::NoError) == name.startsWith(u'y'),
                qPrintable(name));
        // As a catalogue, each is read or refused with a reason.
        file.seek(0);
        const CatalogueParser::Result result = CatalogueParser::parse(file.readAll());
        QVERIFY(result.ok || !result.error.isEmpty());
        // The streaming reader never takes a text that parse() refuses.
        file.seek(0);
        JSONHelper::Reader reader(file, file.size());
        const bool read = reader.skip() && reader.atEnd();
        QVERIFY2(!read || error.error == QJsonParseError::NoError, qPrintable(name));
        QVERIFY2(read || !name.startsWith(u'y') || notStreamed.contains(name), qPrintable(name));
    }
}

void TestCatalogue::parseKeepsValues()
{
    QJsonParseError error;
    QCOMPARE(JSONHelper::parse("\xEF\xBB\xBF {\"a\":[1,\"\\u00e9\",null]} ", &error).toObject(),
        (QJsonObject {{"a", QJsonArray {1, QStringLiteral("é"), QJsonValue()}}}));
    QCOMPARE(JSONHelper::parse(" 12 ").toDouble(), 12.0);
    QVERIFY(JSONHelper::parse("12 13", &error).isUndefined());
    QVERIFY(error.error != QJsonParseError::NoError);
    QVERIFY(JSONHelper::parse("1+1", &error).isUndefined());
}

void TestCatalogue::encode()
{
    JSONHelper json;
    QCOMPARE(json.encode({{"i", 10}, {"d", 10.0}, {"f", 1.5}, {"s", "x\"\n"}, {"b", true},
                 {"n", QVariant()}, {"ll", qlonglong(1)}}),
        R"({"d":10,"f":1.5,"i":10,"s":"x\"\n"})"); // Int, Double and String only
    QCOMPARE(json.encode({{"a", 1e21}, {"b", 1e-7}, {"c", 123456789012.0}, {"d", 0.000001}}),
        R"({"a":1e+21,"b":1e-7,"c":123456789012,"d":0.000001})"); // as JavaScript writes them
    QCOMPARE(json.encode({{"m", QVariantMap {{"b", false}, {"i", 1}}},
                 {"l", QVariantList {1, true, QVariant(), QVariantMap()}}}),
        R"({"l":[1,true,null,{}],"m":{"i":1}})"); // lists by Qt's standard conversion
}

void TestCatalogue::readingRules_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected");
    const char *linux = R"({"Name":"L","Platform":"Linux"})";
    QTest::newRow("platform Linux, all, Install; not Windows, empty or missing")
        << catalogueWith(
               R"({"Name":"a","Platform":"linux"},{"Name":"b","Platform":"Windows, All"},)"
               R"({"Name":"c","Platform":"Install"},{"Name":"d","Platform":"Windows"},)"
               R"({"Name":"e","Platform":""},{"Name":"f"},{"Name":"g","Platform":true})")
        << QStringList {"10.8.1: a, b, c"};
    QTest::newRow("version as the number 10.1")
        << catalogueWith("", "10.1") << QStringList {"10.1: "};
    QTest::newRow("version as the number 10") << catalogueWith("", "10") << QStringList {"10: "};

    QTest::newRow("name as a number")
        << catalogueWith(R"({"Name":7,"Platform":"All"})") << QStringList {"10.8.1: 7"};
    QTest::newRow("patches that are not objects are dropped") << catalogueWith(
        QByteArray(R"("Linux", 5, null, [1], )") + linux) << QStringList {"10.8.1: L"};
    QTest::newRow("unusable groups skipped, order kept")
        << QByteArray(R"({"Product":[3, true, {"patches":"x","version":"1"},)")
            + group("2", {linux}) + R"(,{"version":[],"patches":[]},{"version":"4"}]})"
        << QStringList {"2: L"};
    QTest::newRow("empty Product list") << QByteArray(R"({"Product":[]})") << QStringList {};
    QTest::newRow("duplicate key: the last wins")
        << QByteArray(R"({"Product":[{"version":"1","version":"2","patches":[]}]})")
        << QStringList {"2: "};
    QTest::newRow("bytes that are not UTF-8 read as U+FFFD")
        << catalogueWith("{\"Name\":\"a\xff\xc3\",\"Platform\":\"All\"}")
        << QStringList {QStringLiteral("10.8.1: a\uFFFD\uFFFD")};
    QTest::newRow("UTF-8 and escapes")
        << catalogueWith(R"({"Name":"é ✓ \u00e9\ud83d\ude00","Platform":"All"})")
        << QStringList {QStringLiteral("10.8.1: é ✓ é\U0001F600")};
    const std::pair<const char *, QByteArray> unreadable[] = {
        {"illegal value at offset 1", "<html>Not found</html>"},
        {"unterminated string at offset 26", R"({"Product":[{"version":"1")"},
        {"illegal number at offset 24", catalogueWith("", "1.")}, // a number Qt alone takes
        {"no \"Product\" list", R"({"Products":[]})"},
        {"no \"Product\" list", R"([{"Product":[]}])"},
        {"illegal value at offset 0", ""},
        {"too deeply nested document at offset 1025", QByteArray(100000, '[')},
        {"no release group with a version and a patch list", R"({"Product":[1,2,3]})"},
        {"no release group with a version and a patch list",
            document({R"({"version":null,"patches":[]})", R"({"version":{},"patches":[]})",
                R"({"version":"1","patches":{}})"})},
    };
    for (const auto &[error, json] : unreadable)
        QTest::addRow("%s", error) << json << QStringList {QStringLiteral("error: ") + error};
}

void TestCatalogue::readingRules()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);
    const CatalogueParser::Result result = CatalogueParser::parse(json);
    QCOMPARE(result.ok ? summary(result.groups) : QStringList {"error: " + result.error}, expected);
}

void TestCatalogue::applicable_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected");
    const char *server = "Brivex for Server";
    QTest::newRow("installed release, not installed")
        << document({group("10.8.1", {patch("A", server), patch("B", "Portal for Brivex")})})
        << QStringList {"A", "B"};
    QTest::newRow("release differs in any way: skipped")
        << document({group("10.8", {patch("A", server)}), group("10.8.1 ", {patch("C", server)})})
        << QStringList {};
    QTest::newRow("installed by title in another case, by QFE_ID, or by CR number")
        << document({group("10.8.1",
               {patch("SERVER SECURITY FIX 1", server), patch("New title", server, "BRX-S-412"),
                   patch("D", server, "dummy-7"), patch("Other", server, "BRX-S-4")})})
        << QStringList {"Other"};
    QTest::newRow("empty title and QFE_ID never match an empty record")
        << document({group("10.8.1", {patch("", server, ""), patch("F", server, "")})})
        << QStringList {"", "F"};
    QTest::newRow("product installed in another release is not offered")
        << document({group("10.8.1", {patch("G", "Brivex for DataStore")}),
               group("10.7.1", {patch("H", "Data Store"), patch("I", server)})})
        << QStringList {"H"};
    QTest::newRow("listed once, at its first position; another field is another patch")
        << document({group("10.8.1", {patch("K", "Server, Portal"), patch("N", server, "1")}),
               group("10.8.1", {patch("N", server, "2"), patch("K", "Server, Portal")})})
        << QStringList {"K", "N", "N"};
    QTest::newRow("names match as substrings, in any case") << document({group("10.8.1",
        {patch("O", "Brivex Image Server"), patch("P", "PORTAL"), patch("Q", "Serve"),
            patch("S", "")})}) << QStringList {"O", "P"};
}

void TestCatalogue::applicable()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);
    Installation machine;
    machine.add(ProductType::Server, QStringLiteral("10.8.1"));
    machine.add(ProductType::Portal, QStringLiteral("10.8.1"));
    machine.add(ProductType::DataStore, QStringLiteral("10.7.1"));
    machine.installed(QStringLiteral("Server Security Fix 1"), QStringLiteral("BRX-S-412"));
    machine.installed(QString(), QString());
    const QList<PatchList> groups = CatalogueParser::parse(json).groups;
    const QList<PatchItem> result = machine.applicable(groups);
    QCOMPARE(
        summary({{QString(), result}}), QStringList {": " + expected.join(QStringLiteral(", "))});
    QCOMPARE(result, nestedScan(groups, machine));
}

void TestCatalogue::agreesWithNestedScan()
{
    QRandomGenerator random(20261206);
    const QStringList titles {"Fix A", "fix a", "Fix B", QStringLiteral("Ärger"),
        QStringLiteral("äRGER"), QStringLiteral("ß"), QStringLiteral("ẞ"), "", "Fix C",
        QStringLiteral("\u212Aelvin"), "KELVIN"}; // a Kelvin sign folds to an ASCII k
    const QStringList ids {"", "Q-1", "Q-2", "q-1", "dummy", "x-dummy-y", "Q-10"};
    const QStringList texts {"Brivex for Server", "portal", "Data Store", "Server, Portal", "",
        "DATASTORE", "Brivex Image Server", "none"};
    const QStringList versions {"10.8.1", "10.7.1", "10.8", "11.0"};
    auto pick = [&random](const QStringList &list) { return list.at(random.bounded(list.size())); };
    for (int round = 0; round < 500; ++round) {
        Installation machine;
        for (int i = random.bounded(4); i > 0; --i)
            machine.add(
                static_cast<ProductType::ProductType>(2 << random.bounded(3)), pick(versions));
        for (int i = random.bounded(6); i > 0; --i)
            machine.installed(pick(titles), pick(ids));
        QList<PatchList> groups;
        for (int g = random.bounded(5); g > 0; --g) {
            PatchList list {pick(versions), {}};
            for (int p = random.bounded(8); p > 0; --p)
                list.patches.append({pick(titles), pick(texts), {}, {},
                    random.bounded(4) ? QStringLiteral("u1") : QStringLiteral("u2"), pick(ids),
                    {}});
            groups.append(list);
        }
        QCOMPARE(machine.applicable(groups), nestedScan(groups, machine));
    }
}

void TestCatalogue::quickReadingAgreesWithFullReading()
{
    QRandomGenerator random(14);
    const QStringList versions {"10.8.1", "10.7.1", "10.1"};
    Installation machine;
    machine.add(ProductType::Server, QStringLiteral("10.8.1"));
    machine.add(ProductType::Portal, QStringLiteral("10.1"));
    const auto keep = [&machine](const QString &version, const PatchItem &item) {
        return Applicability::productVersionInstalled(machine.products, item, version);
    };
    int quickly = 0, readableLeft = 0, unreadable = 0;
    for (int round = 0; round < 600; ++round) {
        const QByteArray text = randomCatalogue(random);
        TrickleDevice device(text, 1 + random.bounded(40));
        const auto logged = [](const auto &read) {
            const LogRecorder log(LogLevel::Normal);
            read();
            return log.messages();
        };
        std::optional<CatalogueParser::Result> quick;
        CatalogueParser::Result full;
        const QStringList quickLog = logged(
            [&] { quick = CatalogueReader::readInstalled(device, text.size(), versions, keep); });
        const QStringList fullLog = logged([&] { full = CatalogueParser::parse(text); });
        const QList<PatchItem> offered = machine.applicable(full.groups);
        full.groups.removeIf(
            [&](const PatchList &group) { return !versions.contains(group.version); });
        for (PatchList &group : full.groups)
            group.patches.removeIf([&](const PatchItem &p) { return !keep(group.version, p); });
        if (!quick) {
            QVERIFY(quickLog.isEmpty());
            ++(full.ok ? readableLeft : unreadable);
            continue;
        }
        ++quickly;
        QVERIFY2(full.ok, text.constData());
        QCOMPARE(quick->groups, full.groups);
        QCOMPARE(machine.applicable(quick->groups), offered);
        QCOMPARE(quickLog, fullLog);
    }
    // Each way out is taken often.
    QVERIFY2(quickly > 200 && readableLeft > 30 && unreadable > 100,
        qPrintable(QStringLiteral("%1 %2 %3").arg(quickly).arg(readableLeft).arg(unreadable)));
}

KORVANE_TEST_MAIN(QCoreApplication, TestCatalogue)
#include "tst_catalogue.moc"
