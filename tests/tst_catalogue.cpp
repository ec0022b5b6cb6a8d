#include "catalogue/applicability.h"
#include "catalogue/cataloguereader.h"
#include "datarows.h"
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

QString names(const QList<PatchItem> &patches)
{
    QStringList out;
    for (const PatchItem &item : patches)
        out << item.name + (item.securityPatch.isEmpty() ? QString() : u'/' + item.securityPatch);
    return out.join(QStringLiteral(", "));
}

QByteArray catalogueWith(const QByteArray &patches)
{
    return "{\"Product\":[{\"version\":\"10.8.1\",\"patches\":[" + patches + "]}]}";
}

// What is offered to an installation of Server and Portal 10.8.1 and
// DataStore 10.7.1, with some patches installed.
QString offered(const QList<PatchList> &groups)
{
    std::vector<std::unique_ptr<BrivexProductBase>> owned;
    QList<BrivexProductBase *> products;
    for (const auto &[type, version] : {std::pair(ProductType::Server, "10.8.1"),
             std::pair(ProductType::Portal, "10.8.1"), std::pair(ProductType::DataStore, "10.7.1")})
        products << owned.emplace_back(BrivexProductBase::Create(type, "/opt/x", version)).get();
    QList<InstalledPatchEntry> installed;
    for (const auto &[title, qfeId] :
        {std::pair("Server Security Fix 1", "BRX-S-412"), std::pair("", ""),
            std::pair("kelvin", "K-1"), std::pair("straße", "K-2"), std::pair("äRGER", "K-3")})
        installed.append({QString::fromUtf8(title), QString::fromUtf8(qfeId), "dummy"});
    return names(
        Applicability::applicablePatches(groups, {"10.8.1", "10.7.1"}, products, installed));
}

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

// "=> VERSION: NAMES" per group, "=> empty" or "=> error: WHY".
QStringList outcome(const CatalogueReader::Result &result)
{
    if (result.empty || !result.ok)
        return {result.empty ? QStringLiteral("=> empty") : "=> error: " + result.error};
    QStringList out;
    for (const PatchList &group : result.groups)
        out << "=> " + group.version + QStringLiteral(": ") + names(group.patches);
    return out;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void conformance();
    void readingRules_data();
    void readingRules();
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
    QTest::addColumn<QStringList>("expected"); // as written in the file
    for (const auto &[name, lines] : dataRows(QFINDTESTDATA("data/catalogues.txt"))) {
        QByteArray json;
        QStringList versions, expected;
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1String("versions ")))
                versions = line.mid(9).split(u' ');
            else if (expected.contains(QLatin1String("log:"))
                || line.startsWith(QLatin1String("=> "))
                || line.startsWith(QLatin1String("offered")) || line == QLatin1String("log:"))
                expected << line;
            else
                json += (json.isEmpty() ? "" : "\n") + line.toUtf8();
        }
        for (qsizetype at; (at = json.indexOf("\\x")) >= 0;) // "\xNN": the byte NN
            json.replace(at, 4, QByteArray::fromHex(json.mid(at + 2, 2)));
        QTest::newRow(qPrintable(name)) << json << versions << expected;
    }
    // Nested deeper than the library goes, passed over or not.
    QTest::newRow("nested too deeply")
        << QByteArray(100000, '[') << QStringList()
        << QStringList {"=> error: too deeply nested document at offset 1024"};
    QTest::newRow("nested too deeply in a member passed over")
        << "{\"x\":" + QByteArray(2000, '[') + ",\"Product\":[]}" << QStringList()
        << QStringList {"=> error: too deeply nested document at offset 1028"};
}

void TestCatalogue::readingRules()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, versions);
    QFETCH(QStringList, expected);
    const auto keep = [](const QString &, const PatchItem &item) { return item.name != "dropped"; };
    const std::optional<QStringList> wanted
        = versions.isEmpty() ? std::nullopt : std::optional(versions);
    // Whole, and in pieces that end at every place of a token, but for where
    // in the text an error is found.
    static const QRegularExpression offset(QStringLiteral(" at offset [0-9]+$"));
    for (const qsizetype step : {0, 1, 2, 3, 5, 64}) {
        const LogRecorder log;
        const CatalogueReader::Result result = step ? readInPieces(json, step, wanted, keep)
                                                    : CatalogueReader::read(json, wanted, keep);
        QStringList found = outcome(result);
        if (expected.contains(QRegularExpression(QStringLiteral("offered.*"))))
            found << QStringLiteral("offered ") + offered(result.groups);
        if (expected.contains(QLatin1String("log:")))
            found << QStringLiteral("log:") << log.messages();
        QStringList wantedLines = expected;
        if (step) {
            found.replaceInStrings(offset, QString());
            wantedLines.replaceInStrings(offset, QString());
        }
        QCOMPARE(found.replaceInStrings(QRegularExpression(QStringLiteral("\\s+$")), QString()),
            wantedLines);
    }
}

KORVANE_TEST_MAIN(QCoreApplication, TestCatalogue)
#include "tst_catalogue.moc"
