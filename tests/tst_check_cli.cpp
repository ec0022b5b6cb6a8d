#include "httptestserver.h"
#include "installationtree.h"
#include "korvaneprocess.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "tinyproxyprocess.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kEquals(79, QLatin1Char('='));
const QString kDashes(79, QLatin1Char('-'));
const QString kTitle
    = QStringLiteral("             Brivex for Server and Extensions Korvane               ");
const QString kCatalogue = QStringLiteral("/korvane/patches.json");

QByteArray patch(const QByteArray &name, const QByteArray &products, const QByteArray &qfeId,
    const QByteArray &platform = "Linux")
{
    return "{\"Name\":\"" + name + "\",\"Products\":\"" + products + "\",\"QFE_ID\":\"" + qfeId
        + "\",\"Platform\":\"" + platform + "\",\"url\":\"https://dl.example/" + qfeId
        + "\",\"SecurityPatch\":\"No\",\"ReleaseDate\":\"2026-01-01\"}";
}

// Server, Portal and DataStore 10.8.1 from one properties file (so they are
// found in this order), with two patches recorded for the Server.
void installThreeProducts(const TemporaryHome &home, bool withPatches = true)
{
    const InstallationTree tree(home);
    tree.writeProperties(QStringLiteral("1"),
        "Z_REAL_VERSION=10.8.1\n"
        "Z_BrivexServer_INSTALL_DIR=@HOME@/server\n"
        "Z_BrivexPortal_INSTALL_DIR=@HOME@/portal\n"
        "Z_BrivexDataStore_INSTALL_DIR=@HOME@/datastore\n");
    for (const char *dir : {"server", "portal", "datastore"})
        tree.addProduct(QString::fromLatin1(dir), "10.8.1 build 5812\n");
    if (withPatches) {
        tree.writePatchLog(QStringLiteral("server"), QStringLiteral(".ZEDO_S_PATCH_LOG"),
            "#START\nQFE_ID: S-1\nQFE_TITLE: Server Fix 1\n#END\n"
            "#START\nQFE_ID: S-2\nQFE_TITLE: Server Fix 2\n#END\n");
    }
}

const QByteArray kTwoProductCatalogue = "{\"Product\":[{\"version\":\"10.8.1\",\"patches\":["
    + patch("Server Fix 1", "Brivex for Server", "S-1") + ","
    + patch("Server Fix 3", "Brivex for Server", "S-3") + ","
    + patch("Windows Fix", "Brivex for Server", "S-4", "Windows") + ","
    + patch("Shared Fix", "Brivex for Server, Portal for Brivex", "SP-1", "All")
    + "]},{\"version\":\"10.7.1\",\"patches\":[" + patch("Old Fix", "Brivex for Server", "S-0")
    + "]}]}";

QStringList reportHead()
{
    return {kEquals, kTitle, kEquals, "", " Installed products:", "",
        "     Brivex for Server 10.8.1", "     Portal for Brivex 10.8.1",
        "     Brivex for DataStore 10.8.1", "", kEquals, ""};
}

QStringList updatesForServerAndPortal()
{
    return {" The following updates are available:", "", "  Updates for Brivex for Server 10.8.1",
        "    - Server Fix 3", "    - https://dl.example/S-3", "", "    - Shared Fix",
        "    - https://dl.example/SP-1", "", "  Updates for Portal for Brivex 10.8.1",
        "    - Shared Fix", "    - https://dl.example/SP-1", "",
        "  Updates for Brivex for DataStore 10.8.1", "    (no updates available)", ""};
}

} // namespace

class TestCheckCli : public QObject
{
    Q_OBJECT

private slots:
    void reportOfUpdates_data();
    void reportOfUpdates();
    void noInstalledPatches();
    void failedCheck_data();
    void failedCheck();
    void noApplicablePatch_data();
    void noApplicablePatch();
    void throughTheStoredProxy_data();
    void throughTheStoredProxy();
    void offlineCopyOfTheCatalogue();
    void nothingInstalled();
    void homeThatCannotBeSearched_data();
    void homeThatCannotBeSearched();
    void charactersTheLocaleCannotShow();
    void sampleInstallation();
};

void TestCheckCli::reportOfUpdates_data()
{
    QTest::addColumn<bool>("curl");
    QTest::newRow("built-in download") << false;
    QTest::newRow("curl") << true;
}

void TestCheckCli::reportOfUpdates()
{
    QFETCH(bool, curl);
    TemporaryHome home;
    installThreeProducts(home);
    HttpTestServer server;
    server.route(kCatalogue, 200, kTwoProductCatalogue);

    KorvaneProcess korvane(home.path());
    QStringList arguments {"-c", "-u", server.url(kCatalogue)};
    if (curl)
        arguments << QStringLiteral("-r");
    QCOMPARE(korvane.run(arguments), 0);
    const QStringList installed {
        "  Installed Patches", "    - Server Fix 1", "    - Server Fix 2", "", kDashes};
    QCOMPARE(korvane.outputLines(), reportHead() + updatesForServerAndPortal() + installed);
    QCOMPARE(server.hits(kCatalogue), 1);
}

void TestCheckCli::noInstalledPatches()
{
    TemporaryHome home;
    installThreeProducts(home, false);
    HttpTestServer server;
    server.route(kCatalogue, 200,
        "{\"Product\":[{\"version\":\"10.8.1\",\"patches\":["
            + patch("Data Fix", "Data Store", "D-1") + "]}]}");

    KorvaneProcess korvane(home.path());
    QCOMPARE(korvane.run({"-c", "-u", server.url(kCatalogue)}), 0);
    const QStringList rest {" The following updates are available:", "",
        "  Updates for Brivex for Server 10.8.1", "    (no updates available)",
        "  Updates for Portal for Brivex 10.8.1", "    (no updates available)",
        "  Updates for Brivex for DataStore 10.8.1", "    - Data Fix",
        "    - https://dl.example/D-1", "", "", "  Installed Patches", "    (none)", "", kDashes};
    QCOMPARE(korvane.outputLines(), reportHead() + rest);
}

void TestCheckCli::failedCheck_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("message");

    QTest::newRow("not found")
        << kCatalogue + "x" << 200 << QByteArray() << false
        << "<<<< An error occurred: Error transferring %1 - server replied: Not "
           "Found (203) >>>>";
    QTest::newRow("server error")
        << kCatalogue << 500 << QByteArray("oops") << false
        << "<<<< An error occurred: Error transferring %1 - server replied: "
           "Internal Server Error (401) >>>>";
    QTest::newRow("empty body") << kCatalogue << 200 << QByteArray() << false
                                << "<<<< The update server sent an empty patch catalogue. >>>>";
    QTest::newRow("not found through curl")
        << kCatalogue + "x" << 200 << QByteArray() << true
        << "<<<< An error occurred: curl: (22) The requested URL returned error: 404 (22) >>>>";
    QTest::newRow("an HTML page") << kCatalogue << 200 << QByteArray("<html>Moved</html>") << false
                                  << "<<<< The patch catalogue could not be read: illegal value at "
                                     "offset 1 >>>>";
    QTest::newRow("an HTML page through curl")
        << kCatalogue << 200 << QByteArray("<html>Moved</html>") << true
        << "<<<< The patch catalogue could not be read: illegal value at offset 1 >>>>";
    QTest::newRow("truncated JSON")
        << kCatalogue << 200 << QByteArray("{\"Product\":[{\"version\"") << false
        << "<<<< The patch catalogue could not be read: unterminated "
           "string at offset 22 >>>>";
    QTest::newRow("plural Products")
        << kCatalogue << 200 << QByteArray("{\"Products\":[]}") << false
        << "<<<< The patch catalogue could not be read: no \"Product\" "
           "list >>>>";
    QTest::newRow("a JSON array") << kCatalogue << 200 << QByteArray("[]") << false
                                  << "<<<< The patch catalogue could not be read: no \"Product\" "
                                     "list >>>>";
}

void TestCheckCli::failedCheck()
{
    QFETCH(QString, route);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, curl);
    QFETCH(QString, message);

    TemporaryHome home;
    installThreeProducts(home);
    HttpTestServer server;
    server.route(route, status, body);
    const QString url = server.url(kCatalogue);

    KorvaneProcess korvane(home.path());
    QStringList arguments {"-c", "-u", url};
    if (curl)
        arguments << QStringLiteral("-r");
    QCOMPARE(korvane.run(arguments), 0);
    // The failure alone: no report, and above all no "No updates available."
    QCOMPARE(korvane.outputLines(), QStringList {message.arg(url)});
}

void TestCheckCli::noApplicablePatch_data()
{
    QTest::addColumn<QByteArray>("catalogue");
    QTest::newRow("other releases only") << "{\"Product\":[{\"version\":\"10.7.1\",\"patches\":["
            + patch("Old", "Server", "O-1") + "]}]}";
    QTest::newRow("everything installed") << "{\"Product\":[{\"version\":\"10.8.1\",\"patches\":["
            + patch("SERVER FIX 2", "Server", "X") + "," + patch("Renamed", "Server", "S-1")
            + "]}]}";
    QTest::newRow("empty Product list") << QByteArray("{\"Product\":[]}");
}

void TestCheckCli::noApplicablePatch()
{
    QFETCH(QByteArray, catalogue);
    TemporaryHome home;
    installThreeProducts(home);
    HttpTestServer server;
    server.route(kCatalogue, 200, catalogue);
    KorvaneProcess korvane(home.path());
    QCOMPARE(korvane.run({"-c", "-u", server.url(kCatalogue)}), 0);
    QCOMPARE(korvane.outputLines(), QStringList {"No updates available."});
}

void TestCheckCli::throughTheStoredProxy_data()
{
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("arrives");
    QTest::newRow("built-in download") << false << "s3cret" << true;
    QTest::newRow("curl") << true << "s3cret" << true;
    QTest::newRow("built-in download, wrong password") << false << "wrong" << false;
    QTest::newRow("curl, wrong password") << true << "wrong" << false;
}

void TestCheckCli::throughTheStoredProxy()
{
    QFETCH(bool, curl);
    QFETCH(QString, password);
    QFETCH(bool, arrives);

    TinyproxyProcess proxy(QStringLiteral("korvane"), QStringLiteral("s3cret"));
    QVERIFY2(proxy.start(), qPrintable(proxy.errorString()));
    TemporaryHome home;
    installThreeProducts(home);
    HttpTestServer server;
    server.route(kCatalogue, 200, kTwoProductCatalogue);
    KorvaneProcess korvane(home.path());

    // One run stores the proxy, the next one uses it.
    const QString proxyUrl
        = QStringLiteral("http://korvane:%1@127.0.0.1:%2").arg(password).arg(proxy.port());
    QCOMPARE(korvane.run({"-c", "-p", proxyUrl, "-s"}), 0);
    QStringList arguments {"-c", "-u", server.url(kCatalogue)};
    if (curl)
        arguments << QStringLiteral("-r");
    QCOMPARE(korvane.run(arguments), 0);

    const QStringList lines = korvane.outputLines();
    if (arrives) {
        QCOMPARE(lines.mid(12, updatesForServerAndPortal().size()), updatesForServerAndPortal());
        QCOMPARE(server.hits(kCatalogue), 1);
        QVERIFY(server.requests().last().header("Via").contains("tinyproxy"));
    } else {
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QStringLiteral("<<<< An error occurred: ")),
            qPrintable(lines.first()));
        QCOMPARE(server.hits(kCatalogue), 0);
    }
}

void TestCheckCli::offlineCopyOfTheCatalogue()
{
    TemporaryHome home;
    installThreeProducts(home);
    const QString file = home.writeFile(QStringLiteral("copy/patches.json"), kTwoProductCatalogue);
    KorvaneProcess korvane(home.path());
    QCOMPARE(korvane.run({"-c", "-u", QUrl::fromLocalFile(file).toString()}), 0);
    QCOMPARE(korvane.outputLines().mid(12, updatesForServerAndPortal().size()),
        updatesForServerAndPortal());
}

void TestCheckCli::nothingInstalled()
{
    TemporaryHome home;
    HttpTestServer server;
    server.route(kCatalogue, 200, kTwoProductCatalogue);
    KorvaneProcess korvane(home.path());
    QCOMPARE(korvane.run({"-c", "-u", server.url(kCatalogue)}), 0);
    // Said plainly, so that a check run as the wrong user is not taken for
    // an up-to-date installation.
    QCOMPARE(korvane.outputLines(),
        (QStringList {
            "<<<< No installed products were found for this user. >>>>", "No updates available."}));
}

void TestCheckCli::homeThatCannotBeSearched_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QStringList>("output");
    const QString noProducts
        = QStringLiteral("<<<< No installed products were found for this user. >>>>");
    QTest::newRow("HOME empty") << QString()
                                << QStringList {
                                       "HOME environment variable is not set.", noProducts};
    QTest::newRow("HOME missing") << QStringLiteral("missing") << QStringList {noProducts};
}

void TestCheckCli::homeThatCannotBeSearched()
{
    QFETCH(QString, home);
    QFETCH(QStringList, output);
    TemporaryHome temporary;
    HttpTestServer server;
    server.route(kCatalogue, 200, kTwoProductCatalogue);
    KorvaneProcess korvane(temporary.path());
    korvane.setEnv(QStringLiteral("HOME"), home.isEmpty() ? QString() : temporary.filePath(home));
    QCOMPARE(korvane.run({"-c", "-u", server.url(kCatalogue)}), 0);
    // Discovery could not look at anything: that is not "no updates".
    QStringList printed = korvane.outputLines();
    printed.removeIf(
        [](const QString &line) { return line.contains(QStringLiteral(": Fatal: ")); });
    QCOMPARE(printed, output);
}

void TestCheckCli::charactersTheLocaleCannotShow()
{
    TemporaryHome home;
    installThreeProducts(home);
    HttpTestServer server;
    server.route(kCatalogue, 200,
        "{\"Product\":[{\"version\":\"10.8.1\",\"patches\":["
            + patch("Correctif d\xE2\x80\x99"
                    "affichage \xC3\xA9t\xC3\xA9",
                "Portal", "P-9")
            + "]}]}");
    KorvaneProcess korvane(home.path());
    korvane.setEnv(QStringLiteral("LANG"), QStringLiteral("C"));
    korvane.setEnv(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    QCOMPARE(korvane.run({"-c", "-u", server.url(kCatalogue)}), 0);
    const QStringList lines = korvane.outputLines();
    // The characters are replaced, and nothing after them is lost.
    QVERIFY(lines.contains(QStringLiteral("    - Correctif d?affichage ?t?")));
    QCOMPARE(lines.last(), kDashes);

    korvane.setEnv(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    korvane.unsetEnv(QStringLiteral("LC_ALL"));
    QCOMPARE(korvane.run({"-c", "-u", server.url(kCatalogue)}), 0);
    QVERIFY(korvane.outputLines().contains(QStringLiteral("    - Correctif d’affichage été")));
}

void TestCheckCli::sampleInstallation()
{
    TemporaryHome home;
    QVERIFY(InstallationTree(home).copySample());
    const QString catalogue = QDir(qEnvironmentVariable("KORVANE_SOURCE_DIR"))
                                  .filePath(QStringLiteral("examples/catalogue/patches.json"));
    KorvaneProcess korvane(home.path());
    QCOMPARE(korvane.run({"-c", "-u", QUrl::fromLocalFile(catalogue).toString()}), 0);
    const QString output = korvane.standardOutput();
    // The products come in directory order, so look at each product's block.
    auto block = [&output](const QString &heading) {
        const qsizetype start = output.indexOf(heading);
        // The block ends where the next heading (two blanks, then text) starts.
        static const QRegularExpression nextHeading(QStringLiteral("\n  \\S"));
        const qsizetype end = output.indexOf(nextHeading, start + heading.size()) + 1;
        QString text = start < 0 ? QString() : output.mid(start, end - start);
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        return text;
    };
    QCOMPARE(block("  Updates for Brivex for Server 10.8.1"),
        QStringLiteral("  Updates for Brivex for Server 10.8.1\n"
                       "    - Brivex for Server 10.8.1 Security Update 2\n"
                       "    - https://downloads.zedo.example/patches/10.8.1/BRX-S-1081-P-455/\n\n"
                       "    - Brivex Server and Portal 10.8.1 Single Sign-On Patch\n"
                       "    - https://downloads.zedo.example/patches/10.8.1/BRX-SP-1081-P-470/"));
    QCOMPARE(block("  Updates for Portal for Brivex 10.8.1"),
        QStringLiteral("  Updates for Portal for Brivex 10.8.1\n"
                       "    - Brivex Server and Portal 10.8.1 Single Sign-On Patch\n"
                       "    - https://downloads.zedo.example/patches/10.8.1/BRX-SP-1081-P-470/\n\n"
                       "    - Portal for Brivex 10.8.1 Édition localisée – correctif d’affichage\n"
                       "    - https://downloads.zedo.example/patches/10.8.1/BRX-P-1081-P-214/"));
    QCOMPARE(block("  Updates for Brivex for DataStore 10.7.1"),
        QStringLiteral("  Updates for Brivex for DataStore 10.7.1\n"
                       "    - Brivex for DataStore 10.7.1 Replication Patch\n"
                       "    - https://downloads.zedo.example/patches/10.7.1/BRX-D-1071-P-131/"));
    QVERIFY(output.contains(
        QStringLiteral("  Installed Patches\n"
                       "    - Brivex for Server 10.8.1 Security Update 1\n"
                       "    - Brivex for Server 10.8.1 Map Service Printing Patch\n"
                       "    - Portal for Brivex 10.8.1 Security Update 1\n"
                       "    - Brivex for DataStore 10.7.1 Backup Retention Patch\n\n")));
}

KORVANE_TEST_MAIN(TestCheckCli)
#include "tst_check_cli.moc"
