#include "catalogue/applicability.h"
#include "catalogue/cataloguereader.h"
#include "logrecorder.h"
#include "products/brivexproductbase.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

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
            names << item.name
                    + (item.securityPatch.isEmpty() ? QString() : u'/' + item.securityPatch);
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

// The reading of a text handed over in pieces of `step` bytes, so that the
// pieces end at every place of a token.
CatalogueReader::Result readInPieces(const QByteArray &text, qsizetype step,
    std::optional<QStringList> versions = std::nullopt, CatalogueReader::PatchFilter keep = {})
{
    CatalogueReader reader(std::move(versions), std::move(keep));
    for (qsizetype at = 0; at < text.size(); at += step)
        reader.write(QByteArrayView(text).sliced(at, std::min(step, text.size() - at)));
    return reader.finish();
}

QStringList outcome(const CatalogueReader::Result &result)
{
    if (result.empty)
        return {QStringLiteral("empty")};
    return result.ok ? summary(result.groups) : QStringList {"error: " + result.error};
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void conformance();
    void readingRules_data();
    void readingRules();
    void logged_data();
    void logged();
    void applicable_data();
    void applicable();
};

void TestCatalogue::conformance()
{
    // y_: JSON, accepted; n_: not JSON, refused; i_: either, but no crash.
    // Each is read as the value of a member the catalogue passes over and of
    // one it reads, in pieces of every size up to 64 bytes.
    const QDir suite(QStringLiteral(KORVANE_SOURCE_DIR "/tests/data/jsontestsuite"));
    const QStringList files = suite.entryList({QStringLiteral("*.json")}, QDir::Files);
    QVERIFY(files.size() > 300);
    QRandomGenerator random(7);
    for (const QString &name : files) {
        QFile file(suite.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray json = file.readAll();
        const QByteArray places[] = {"{\"x\":" + json + ",\"Product\":[]}",
            catalogueWith("{\"Platform\":\"All\",\"Name\":" + json + '}')};
        for (const QByteArray &text : places) {
            const CatalogueReader::Result result = readInPieces(text, 1 + random.bounded(64));
            QVERIFY2(result.ok || !result.error.isEmpty(), qPrintable(name));
            if (!name.startsWith(u'i'))
                QVERIFY2(
                    result.ok == name.startsWith(u'y'), qPrintable(name + ": " + result.error));
        }
        // Alone, each is refused as a catalogue, with a reason.
        const CatalogueReader::Result alone = CatalogueReader::read(json);
        QVERIFY2(!alone.ok && !alone.error.isEmpty(), qPrintable(name));
    }
}

void TestCatalogue::readingRules_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("versions"); // kept; empty: all
    QTest::addColumn<QStringList>("expected");
    const char *linux = R"({"Name":"L","Platform":"Linux"})";
    const QStringList all;
    QTest::newRow("platform Linux, all, Install; not Windows, empty or missing")
        << catalogueWith(
               R"({"Name":"a","Platform":"linux"},{"Name":"b","Platform":"Windows, All"},)"
               R"({"Name":"c","Platform":"Install"},{"Name":"d","Platform":"Windows"},)"
               R"({"Name":"e","Platform":""},{"Name":"f"},{"Name":"g","Platform":true})")
        << all << QStringList {"10.8.1: a, b, c"};
    QTest::newRow("version as the number 10.1")
        << catalogueWith("", "10.1") << all << QStringList {"10.1: "};
    QTest::newRow("version as the number 10")
        << catalogueWith("", "1e1") << all << QStringList {"10: "};
    QTest::newRow("numbers as the shortest text that reads back")
        << catalogueWith(R"({"Name":7,"Platform":"All"},{"Name":1.5E3,"Platform":"All"},)"
                         R"({"Name":12345678901234567890,"Platform":"All"},)"
                         R"({"Name":0.1000000000000000055511151231257827,"Platform":"All"},)"
                         R"({"Name":-1E400,"Platform":"All"})")
        << all << QStringList {"10.8.1: 7, 1500, 12345678901234567000, 0.1, -1E400"};
    QTest::newRow("SecurityPatch: a boolean as text, other fields not")
        << catalogueWith(R"({"Name":"a","Platform":"All","SecurityPatch":true},)"
                         R"({"Name":false,"Platform":"All","SecurityPatch":"No"},)"
                         R"({"Name":"c","Platform":"All","SecurityPatch":null})")
        << all << QStringList {"10.8.1: a/true, /No, c"};
    QTest::newRow("patches that are not objects are dropped")
        << catalogueWith(QByteArray(R"("Linux", 5, null, [1], )") + linux) << all
        << QStringList {"10.8.1: L"};
    QTest::newRow("unusable groups skipped, order kept")
        << QByteArray(R"({"Product":[3, true, {"patches":"x","version":"1"},)")
            + group("2", {linux}) + R"(,{"version":[],"patches":[]},{"version":"4"}]})"
        << all << QStringList {"2: L"};
    QTest::newRow("empty Product list") << QByteArray(R"({"Product":[]})") << all << QStringList {};
    QTest::newRow("repeated members: the last counts")
        << QByteArray(R"({"Product":[1],"Product":[{"version":"1","version":"2","patches":)"
                      R"([{"Name":"x","Name":"a","Platform":"All"}],"patches":[)")
            + linux + R"(]}]})"
        << all << QStringList {"2: L"};
    QTest::newRow("a version repeated around the patches: the last counts")
        << QByteArray(R"({"Product":[{"version":"9","patches":[)") + linux
            + R"(],"version":"10.8.1"},{"patches":[)" + linux + R"(],"version":"9"}]})"
        << QStringList {"10.8.1"} << QStringList {"10.8.1: L"};
    QTest::newRow("only the versions asked for, and patches the filter keeps")
        << document({group("10.8.1", {linux, patch("dropped", "x")}), group("9", {linux}),
               group("10.7.1", {patch("K", "x")})})
        << QStringList {"10.8.1", "10.7.1"} << QStringList {"10.8.1: L", "10.7.1: K"};
    QTest::newRow("escaped member names read") << QByteArray(
        R"({"\u0050roduct":[{"versio\u006e":"1","patches":[{"N\u0061me":"a",)"
        R"("Platform":"All"}]}]})") << all << QStringList {"1: a"};
    QTest::newRow("bytes that are not UTF-8 read as U+FFFD")
        << catalogueWith("{\"Name\":\"a\xff\xc3\",\"Platform\":\"All\",\"x\":\"\xe2\x82\"}") << all
        << QStringList {QStringLiteral("10.8.1: a\uFFFD\uFFFD")};
    QTest::newRow("UTF-8 and escapes")
        << catalogueWith(R"({"Name":"é ✓ \u00e9\ud83d\ude00","Platform":"All"})") << all
        << QStringList {QStringLiteral("10.8.1: é ✓ é\U0001F600")};
    QTest::newRow("a byte-order mark passed over")
        << "\xEF\xBB\xBF" + catalogueWith(linux) << all << QStringList {"10.8.1: L"};
    QTest::newRow("the text ends at a NUL byte")
        << catalogueWith(linux) + QByteArray("\0<html>", 7) << all << QStringList {"10.8.1: L"};
    QTest::newRow("numbers out of range in a member passed over")
        << QByteArray(R"({"x":[1e400,-1e400,1e-400,123456789012345678901234567890],"Product":[]})")
        << all << QStringList {};
    QTest::newRow("white space around")
        << QByteArray(" \t\r\n{\"Product\":[]}\n\n ") << all << QStringList {};
    for (const auto &[row, text] : {std::pair("nothing", QByteArray()),
             std::pair("only a byte-order mark", QByteArray("\xEF\xBB\xBF")),
             std::pair("NUL first", QByteArray("\0{}", 3))})
        QTest::newRow(row) << text << all << QStringList {"empty"};
    // The library parses the exponent and gives up on one this long.
    QTest::newRow("an exponent too long, passed over")
        << QByteArray(R"({"x":1e99999999999,"Product":[]})") << all
        << QStringList {"error: illegal number at offset 5"};
    const std::pair<const char *, QByteArray> unreadable[] = {
        {"illegal value at offset 0", "<html>Not found</html>"},
        {"illegal value at offset 0", "\xEF\xBB\xBF\xEF\xBB\xBF{}"},
        {"unterminated object at offset 26", R"({"Product":[{"version":"1")"},
        {"unterminated string at offset 25", R"({"Product":[{"version":"1)"},
        {"unterminated array at offset 12", R"({"Product":[)"},
        {"illegal value at offset 25", catalogueWith("", "1.")},
        {"invalid escape sequence at offset 25", catalogueWith("", R"("\udc00")")},
        {"illegal value at offset 2", " \n"},
        {"garbage at the end of the document at offset 15", R"({"Product":[]} x)"},
        {"no \"Product\" list", R"({"Products":[]})"},
        {"no \"Product\" list", R"([{"Product":[]}])"},
        {"no \"Product\" list", R"({"Product":{}})"},
        {"no \"Product\" list", R"({"Product":[],"Product":null})"},
        {"no \"Product\" list", "12"},
        {"too deeply nested document at offset 1024", QByteArray(100000, '[')},
        {"too deeply nested document at offset 1028",
            "{\"x\":" + QByteArray(2000, '[') + ",\"Product\":[]}"},
        {"no release group with a version and a patch list", R"({"Product":[1,2,3]})"},
        {"no release group with a version and a patch list",
            document({R"({"version":null,"patches":[]})", R"({"version":{},"patches":[]})",
                R"({"version":"1","patches":{}})"})},
    };
    for (const auto &[error, json] : unreadable)
        QTest::addRow("%s", error)
            << json << all << QStringList {QStringLiteral("error: ") + error};
}

void TestCatalogue::readingRules()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, versions);
    QFETCH(QStringList, expected);
    const auto keep = [](const QString &, const PatchItem &item) { return item.name != "dropped"; };
    const std::optional<QStringList> wanted
        = versions.isEmpty() ? std::nullopt : std::optional(versions);
    QCOMPARE(outcome(CatalogueReader::read(json, wanted, keep)), expected);
    // The same in pieces that end at every place of a token, but for where in
    // the text an error is found.
    static const QRegularExpression offset(QStringLiteral(" at offset [0-9]+$"));
    for (const qsizetype step : {1, 2, 3, 5, 64}) {
        QCOMPARE(outcome(readInPieces(json, step, wanted, keep)).replaceInStrings(offset, ""),
            QStringList(expected).replaceInStrings(offset, ""));
    }
}

void TestCatalogue::logged_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("log");
    const char *notUtf8 = "The patch catalogue is not valid UTF-8; the invalid bytes are read as "
                          "U+FFFD.";
    QTest::newRow("every Linux patch of the usable groups named, other versions too")
        << QByteArray(R"({"Product":[{"version":"9","patches":[{"Name":"a","Platform":"All"},)"
                      R"({"Name":"w","Platform":"Windows"}]},{"version":"1","patches":)"
                      R"([{"Name":"gone","Platform":"All"}],"patches":[{"Name":"b",)"
                      R"("Platform":"All"}]},{"patches":[{"Name":"c","Platform":"All"}]}]})")
        << QStringList {"Debug: Adding patch to master list: a",
               "Debug: Adding patch to master list: b",
               "Warning: Skipped 1 of 3 release groups of the patch catalogue that have no "
               "version text or no patch list."};
    QTest::newRow("a repeated Product list: only the last one's patches")
        << QByteArray(R"({"Product":[{"version":"1","patches":[{"Name":"a","Platform":"All"}]}],)"
                      R"("Product":[{"version":"1","patches":[1,{"Name":"b","Platform":"All"}]}]})")
        << QStringList {"Debug: Adding patch to master list: b",
               "Warning: Skipped 1 patch entries of the patch catalogue that are not objects."};
    QTest::newRow("not UTF-8: one warning, however many bytes")
        << catalogueWith("{\"Name\":\"\xff\xfe\",\"Platform\":\"All\",\"x\":\"\xc3\"}")
        << QStringList {QStringLiteral("Warning: ") + notUtf8,
               QStringLiteral("Debug: Adding patch to master list: \uFFFD\uFFFD")};
    QTest::newRow("a sequence split between pieces is UTF-8")
        << catalogueWith("{\"Name\":\"\xF0\x9F\x98\x80\xE2\x9C\x93\",\"Platform\":\"All\"}")
        << QStringList {QStringLiteral("Debug: Adding patch to master list: \U0001F600\u2713")};
    QTest::newRow("a sequence cut at the end is not") << QByteArray(
        "{\"Product\":[]}  \xE2\x9C") << QStringList {QStringLiteral("Warning: ") + notUtf8};
    QTest::newRow("a text that is not JSON names no patch") << QByteArray(
        "{\"Product\":[{\"version\":\"1\",\"patches\":[{\"Name\":\"a\",\"Platform\":\"All\"}]}]")
                                                            << QStringList {};
}

void TestCatalogue::logged()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, log);
    for (const qsizetype step : {1, 4096}) {
        const LogRecorder recorder(LogLevel::Verbose);
        readInPieces(json, step, QStringList {"1"});
        QCOMPARE(recorder.messages(), log);
    }
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
    QTest::newRow("titles compared as folded: a Kelvin sign is a k, a sharp s no ss")
        << document({group("10.8.1",
               {patch("\u212Aelvin", server), patch("STRASSE", server), patch("Ärger", server)})})
        << QStringList {"STRASSE"};
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
    machine.installed(QStringLiteral("kelvin"), QStringLiteral("K-1"));
    machine.installed(QStringLiteral("straße"), QStringLiteral("K-2"));
    machine.installed(QStringLiteral("äRGER"), QStringLiteral("K-3"));
    const QList<PatchList> groups = CatalogueReader::read(json).groups;
    const QList<PatchItem> result = machine.applicable(groups);
    QCOMPARE(
        summary({{QString(), result}}), QStringList {": " + expected.join(QStringLiteral(", "))});
}

KORVANE_TEST_MAIN(QCoreApplication, TestCatalogue)
#include "tst_catalogue.moc"
