#include "installationtree.h"
#include "logrecorder.h"
#include "products/brivexconfig.h"
#include "products/brivexproductbase.h"
#include "scopedenvironment.h"
#include "stdoutcapture.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QScopeGuard>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(EntryKind)

namespace {

using Kind = EntryKind;

const QByteArray kServerBuild = "Brivex for Server 10.8.1 build 5812\n";
const QByteArray kServerDir = "Z_BrivexServer_INSTALL_DIR=@HOME@/srv\n";
const QByteArray kServerProperties = "Z_REAL_VERSION=10.8.1\n" + kServerDir;

// Runs discovery on a fresh instance with HOME set to the given value (null: unset).
std::unique_ptr<BrivexConfig> discover(const QByteArray &home)
{
    const ScopedEnvironment environment("HOME", home);
    auto config = std::make_unique<BrivexConfig>();
    config->init();
    return config;
}

std::unique_ptr<BrivexConfig> discover(const TemporaryHome &home)
{
    return discover(QFile::encodeName(home.path()));
}

// "display name version in directory", the home shown as "~".
QStringList describe(const BrivexConfig &config, const TemporaryHome &home)
{
    QStringList out;
    const auto products = config.installedProducts();
    for (const BrivexProducts::BrivexProductBase *product : products) {
        out << product->names().constFirst() + QLatin1Char(' ') + product->version()
                + QStringLiteral(" in ") + QString(product->installDir()).replace(home.path(), "~");
    }
    return out;
}

void rule(const char *name, const QString &line, const QString &separator, const QString &value)
{
    QTest::newRow(name) << line << separator << value;
}

void lookup(const char *name, const QStringList &lines, const QString &value, bool isNull = false)
{
    QTest::newRow(name) << lines << value << isNull;
}

void content(const char *name, const QByteArray &properties, const QString &product = {},
    const QString &version = {})
{
    QTest::newRow(name) << properties << (product.isNull() ? QStringList {} : QStringList {product})
                        << (product.isNull() ? QStringList {} : QStringList {version});
}

void build(
    const char *name, const QByteArray &version, Kind kind, const QByteArray &text, bool found)
{
    QTest::newRow(name) << version << kind << text << found;
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void valueFromKeyValuePair_data();
    void valueFromKeyValuePair();
    void propertyValue_data();
    void propertyValue();

    void propertiesContent_data();
    void propertiesContent();
    void buildNumberFile_data();
    void buildNumberFile();
    void propertiesFileName_data();
    void propertiesFileName();
    void unreadablePropertiesFile_data();
    void unreadablePropertiesFile();

    void serverAndPortalInOneFile_data();
    void serverAndPortalInOneFile();
    void severalFilesAndVersions();
    void noPropertiesFile();
    void homeUnset_data();
    void homeUnset();
    void homeNotADirectory();
    void initTwiceChangesNothing();
    void queriesBeforeInit_data();
    void queriesBeforeInit();
};

void TestDiscovery::valueFromKeyValuePair_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    rule("blanks trimmed, inner blanks kept", "dir \t=  /opt/my data \t", "=", "/opt/my data");
    rule("text after second separator dropped", "key=one=two", "=", "one");
    rule("nothing after separator", "key=", "=", "");
    rule("no separator gives empty", "key value", "=", "");
    rule("empty line", "", "=", "");
    rule("quotes kept", "key=\"10.8.1\"", "=", "\"10.8.1\"");
    rule("colon separator", "QFE_ID: BRX-S-1081-P-412", ":", "BRX-S-1081-P-412");
    rule("colon in value cuts it", "QFE_TITLE: Fix: printing", ":", "Fix");
}

void TestDiscovery::valueFromKeyValuePair()
{
    QFETCH(QString, line);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    QCOMPARE(BrivexConfig::valueFromKeyValuePair(line, separator), expected);
}

void TestDiscovery::propertyValue_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("isNull");

    lookup("missing key is null", {"a=b"}, "", true);
    lookup("key only in a comment is null", {"#Z_REAL_VERSION=1"}, "", true);
    lookup("comment skipped", {"#Z_REAL_VERSION=1", "Z_REAL_VERSION=2"}, "2");
    lookup("blank before hash is no comment", {" #Z_REAL_VERSION=1", "Z_REAL_VERSION=2"}, "1");
    lookup("first matching line wins", {"Z_REAL_VERSION=1", "Z_REAL_VERSION=2"}, "1");
    lookup("key anywhere, in any case", {"export z_real_version = 1"}, "1");
    lookup(
        "key line without equals: empty, not null", {"Z_REAL_VERSION 1", "Z_REAL_VERSION=2"}, "");
    lookup("quoted value keeps quotes", {"Z_REAL_VERSION=\"1\""}, "\"1\"");
}

void TestDiscovery::propertyValue()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, expected);
    QFETCH(bool, isNull);
    const QString value = BrivexConfig::propertyValue(lines, QStringLiteral("Z_REAL_VERSION"));
    QCOMPARE(value, expected);
    QCOMPARE(value.isNull(), isNull);
}

void TestDiscovery::propertiesContent_data()
{
    QTest::addColumn<QByteArray>("properties");
    QTest::addColumn<QStringList>("products");
    QTest::addColumn<QStringList>("versions");

    const QString server = QStringLiteral("Brivex for Server 10.8.1 in ~/srv");
    content("plain", kServerProperties, server, "10.8.1");
    content("keys in lower case",
        "z_real_version = 10.8.1\nz_brivexserver_install_dir = @HOME@/srv\n", server, "10.8.1");
    content("CRLF line ends", "Z_REAL_VERSION=10.8.1\r\nZ_BrivexServer_INSTALL_DIR=@HOME@/srv\r\n",
        server, "10.8.1");
    content("blank before hash: not a comment, first line wins",
        " #Z_REAL_VERSION=10.8.1\nZ_REAL_VERSION=10.7.1\n" + kServerDir, server, "10.8.1");
    content("bytes that are not UTF-8", "#\xff\xfe\x80 caf\xe9\n" + kServerProperties, server,
        "10.8.1");
    content("trailing slash on directory kept",
        "Z_REAL_VERSION=10.8.1\n" + kServerDir.trimmed() + "/\n",
        "Brivex for Server 10.8.1 in ~/srv/", "10.8.1");
    // An empty string occurs in any build number.
    content("missing version: empty version", kServerDir, "Brivex for Server  in ~/srv", "");
    content(
        "quoted version is not in the build number", "Z_REAL_VERSION=\"10.8.1\"\n" + kServerDir);
    content("quoted directory does not exist",
        "Z_REAL_VERSION=10.8.1\nZ_BrivexServer_INSTALL_DIR=\"@HOME@/srv\"\n");
    content("directory line without equals",
        "Z_REAL_VERSION=10.8.1\nZ_BrivexServer_INSTALL_DIR @HOME@/srv\n");
    content("empty directory value", "Z_REAL_VERSION=10.8.1\nZ_BrivexServer_INSTALL_DIR=\n");
    content("version not in the build number", "Z_REAL_VERSION=10.8.2\n" + kServerDir);
    content("empty file", "");
}

void TestDiscovery::propertiesContent()
{
    QFETCH(QByteArray, properties);
    QFETCH(QStringList, products);
    QFETCH(QStringList, versions);

    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    tree.writeProperties(QStringLiteral("server"), properties);

    const auto config = discover(home);
    QCOMPARE(describe(*config, home), products);
    QCOMPARE(config->installedVersions(), versions);
    QCOMPARE(config->installedProductMask(), products.isEmpty() ? 0 : 2);
}

void TestDiscovery::buildNumberFile_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("found");

    build("version inside the text", "10.8.1", Kind::File, "build of 10.8.1 (5812)\n", true);
    build("other version", "10.8.1", Kind::File, "10.8.0 build 5811\n", false);
    build("case differs", "10.8.1-Final", Kind::File, "10.8.1-final\n", false);
    build("version after a NUL byte", "10.8.1", Kind::File, QByteArray("build\0 10.8.1\n", 14),
        false);
    build("version before a NUL byte", "10.8.1", Kind::File, QByteArray("10.8.1\0\xff", 8), true);
    build("missing", "10.8.1", Kind::Missing, "", false);
    build("link to a good file", "10.8.1", Kind::LinkToFile, "10.8.1\n", true);
    build("FIFO in its place does not hang", "10.8.1", Kind::Fifo, "", false);
    build("empty version, empty file", "", Kind::File, "", true);
    build("empty version, directory in its place", "", Kind::Directory, "", false);
}

void TestDiscovery::buildNumberFile()
{
    QFETCH(QByteArray, version);
    QFETCH(Kind, kind);
    QFETCH(QByteArray, content);
    QFETCH(bool, found);

    TemporaryHome home;
    InstallationTree tree(home);
    QDir().mkpath(home.filePath(QStringLiteral("srv")));
    QVERIFY(tree.place(QStringLiteral("srv/.Setup/build_number"), kind, content));
    tree.writeProperties(QStringLiteral("server"), "Z_REAL_VERSION=" + version + "\n" + kServerDir);

    LogRecorder log;
    const auto config = discover(home);
    QCOMPARE(config->installedVersions(),
        found ? QStringList {QString::fromUtf8(version)} : QStringList {});
    QCOMPARE(config->installedProductMask(), found ? 2 : 0);
    // A dropped product leaves no message.
    QCOMPARE(log.messages().filter(QStringLiteral("Found Linux Product")).size(), found ? 1 : 0);
}

void TestDiscovery::propertiesFileName_data()
{
    QTest::addColumn<QString>("name"); // {host}: this host's name, {HOST}: in upper case
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("found");

    QTest::newRow("this host") << ".ZEDO.properties.{host}.server" << Kind::File << true;
    QTest::newRow("host part in upper case")
        << ".ZEDO.properties.{HOST}.server" << Kind::File << true;
    QTest::newRow("link to a properties file")
        << ".ZEDO.properties.{host}.server" << Kind::LinkToFile << true;
    QTest::newRow("other host") << ".ZEDO.properties.otherhost.server" << Kind::File << false;
    QTest::newRow("host name longer") << ".ZEDO.properties.{host}x.server" << Kind::File << false;
    QTest::newRow("no dot after host") << ".ZEDO.properties.{host}" << Kind::File << false;
    QTest::newRow("directory of that name")
        << ".ZEDO.properties.{host}.d" << Kind::Directory << false;
}

void TestDiscovery::propertiesFileName()
{
    QFETCH(QString, name);
    QFETCH(Kind, kind);
    QFETCH(bool, found);

    const QString host = QHostInfo::localHostName();
    const QString relative = name.replace(QStringLiteral("{host}"), host)
                                 .replace(QStringLiteral("{HOST}"), host.toUpper());
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    QByteArray properties = kServerProperties;
    properties.replace("@HOME@", QFile::encodeName(home.path()));
    QVERIFY(tree.place(relative, kind, properties));
    if (kind == Kind::Directory)
        home.writeFile(relative + QStringLiteral("/inside"), properties);

    LogRecorder log;
    const auto config = discover(home);
    QCOMPARE(config->installedProducts().size(), found ? 1 : 0);
    QCOMPARE(log.messages().filter(QStringLiteral("Found properties file")),
        found ? QStringList {"Debug: Found properties file: " + home.filePath(relative)}
              : QStringList {});
}

void TestDiscovery::unreadablePropertiesFile_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("warned");

    QTest::newRow("dangling link") << Kind::DanglingLink << QByteArray() << true;
    QTest::newRow("FIFO does not hang") << Kind::Fifo << QByteArray() << true;
    QTest::newRow("binary content")
        << Kind::File << QByteArray("\x7f\x45LF\0\0\x01\xff\n\0=", 12) << false;
}

void TestDiscovery::unreadablePropertiesFile()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, content);
    QFETCH(bool, warned);

    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("ds"), "10.7.1\n");
    const QString bad = InstallationTree::propertiesFileName(QStringLiteral("broken"));
    QVERIFY(tree.place(bad, kind, content));
    tree.writeProperties(QStringLiteral("datastore"),
        "Z_REAL_VERSION=10.7.1\nZ_BrivexDataStore_INSTALL_DIR=@HOME@/ds\n");

    LogRecorder log;
    const auto config = discover(home);
    QCOMPARE(describe(*config, home), QStringList {"Brivex for DataStore 10.7.1 in ~/ds"});
    const QStringList warnings = log.messages().filter(QStringLiteral("Warning: "));
    QCOMPARE(warnings.size(), warned ? 1 : 0);
    if (warned) {
        const QString expected = "Warning: Could not read properties file " + home.filePath(bad);
        QVERIFY2(warnings.first().startsWith(expected + ": "), qPrintable(warnings.first()));
    }
}

void TestDiscovery::serverAndPortalInOneFile_data()
{
    QTest::addColumn<int>("level");
    QTest::newRow("verbose log") << int(LogLevel::Verbose);
    QTest::newRow("normal log leaves out the file") << int(LogLevel::Normal);
}

void TestDiscovery::serverAndPortalInOneFile()
{
    QFETCH(int, level);
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    tree.addProduct(QStringLiteral("portal"), "Portal for Brivex 10.8.1 build 5812\n");
    // The Portal key comes first in the file; the Server is still found first.
    const QString properties = tree.writeProperties(QStringLiteral("server-portal"),
        "Z_BrivexPortal_INSTALL_DIR=@HOME@/portal\n"
        "Z_REAL_VERSION=10.8.1\n"
            + kServerDir);

    LogRecorder log(static_cast<LogLevel::LogLevel>(level));
    const auto config = discover(home);
    QCOMPARE(describe(*config, home),
        (QStringList {
            "Brivex for Server 10.8.1 in ~/srv", "Portal for Brivex 10.8.1 in ~/portal"}));
    QCOMPARE(config->installedProducts().at(1)->productType(), ProductType::Portal);
    QCOMPARE(config->installedVersions(), QStringList {"10.8.1"});
    QCOMPARE(config->installedProductMask(), 6);

    QStringList expected {"Info: Reading Linux configuration",
        "Debug: Found properties file: " + properties,
        "Info: Found Linux Product: Brivex for Server 10.8.1",
        "Info: Found Linux Product: Portal for Brivex 10.8.1"};
    if (level == LogLevel::Normal)
        expected.removeAt(1);
    QCOMPARE(log.messages(), expected);
}

void TestDiscovery::severalFilesAndVersions()
{
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    tree.addProduct(QStringLiteral("ds"), "10.7.1\n");
    tree.addProduct(QStringLiteral("srv2"), "10.7.1\n");
    tree.writeProperties(QStringLiteral("a"), kServerProperties);
    tree.writeProperties(QStringLiteral("b"),
        "Z_REAL_VERSION=10.7.1\n"
        "Z_BrivexDataStore_INSTALL_DIR=@HOME@/ds\n"
        "Z_BrivexServer_INSTALL_DIR=@HOME@/srv2\n");
    // A second file naming the same directory gives a second product.
    tree.writeProperties(
        QStringLiteral("c"), "Z_REAL_VERSION=10.7.1\nZ_BrivexDataStore_INSTALL_DIR=@HOME@/ds\n");

    const auto config = discover(home);
    // Files come in directory order: versions follow the order of first discovery.
    QStringList firstSeen;
    const auto products = config->installedProducts();
    for (const auto *product : products) {
        if (!firstSeen.contains(product->version()))
            firstSeen << product->version();
    }
    QCOMPARE(config->installedVersions(), firstSeen);
    QCOMPARE(firstSeen.size(), 2);
    QCOMPARE(config->installedProductMask(), 10);
    QStringList found = describe(*config, home);
    found.sort();
    QCOMPARE(found,
        (QStringList {"Brivex for DataStore 10.7.1 in ~/ds", "Brivex for DataStore 10.7.1 in ~/ds",
            "Brivex for Server 10.7.1 in ~/srv2", "Brivex for Server 10.8.1 in ~/srv"}));
}

void TestDiscovery::noPropertiesFile()
{
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    tree.writePatchLog(
        QStringLiteral("srv"), QStringLiteral(".ZEDO_S_PATCH_LOG"), "#START\nQFE_ID: X\n#END\n");
    home.writeFile(QStringLiteral(".ZEDO.properties"), kServerProperties);

    LogRecorder log;
    const auto config = discover(home);
    QVERIFY(config->installedProducts().isEmpty());
    QVERIFY(config->installedVersions().isEmpty());
    QVERIFY(config->installedPatches().isEmpty());
    QCOMPARE(config->installedProductMask(), 0);
    QCOMPARE(log.messages(), QStringList {"Info: Reading Linux configuration"});
}

void TestDiscovery::homeUnset_data()
{
    QTest::addColumn<QByteArray>("home");
    QTest::newRow("unset") << QByteArray();
    QTest::newRow("empty") << QByteArray("");
}

void TestDiscovery::homeUnset()
{
    QFETCH(QByteArray, home);

    // The current directory holds an installation: it must not be searched.
    TemporaryHome cwd;
    InstallationTree tree(cwd);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    tree.writeProperties(QStringLiteral("server"), kServerProperties);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd.path()));
    const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });

    LogRecorder log;
    StdoutCapture capture;
    const auto config = discover(home);
    const QStringList printed = capture.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    QVERIFY(config->installedProducts().isEmpty());
    QCOMPARE(log.messages(),
        (QStringList {
            "Info: Reading Linux configuration", "Fatal: Could not determine HOME directory."}));
    QCOMPARE(printed.size(), 2);
    QCOMPARE(printed.at(0), QStringLiteral("HOME environment variable is not set."));
    QVERIFY(printed.at(1).endsWith(QStringLiteral(": Fatal: Could not determine HOME directory.")));
}

void TestDiscovery::homeNotADirectory()
{
    TemporaryHome parent;
    const QString file = parent.writeFile(QStringLiteral("home"), kServerProperties);
    const QString missing = parent.filePath(QStringLiteral("missing"));
    for (const QString &path : {file, missing}) {
        LogRecorder log;
        const auto config = discover(QFile::encodeName(path));
        QVERIFY(config->installedProducts().isEmpty());
        QCOMPARE(log.messages(),
            (QStringList {"Info: Reading Linux configuration",
                "Warning: Cannot list the HOME directory " + path}));
    }
}

void TestDiscovery::initTwiceChangesNothing()
{
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    tree.writeProperties(QStringLiteral("server"), kServerProperties);
    const ScopedEnvironment environment("HOME", QFile::encodeName(home.path()));
    BrivexConfig config;
    config.init();

    // Another product appears; a second init neither sees it nor logs.
    tree.addProduct(QStringLiteral("ds"), "10.7.1\n");
    tree.writeProperties(
        QStringLiteral("ds"), "Z_REAL_VERSION=10.7.1\nZ_BrivexDataStore_INSTALL_DIR=@HOME@/ds\n");
    LogRecorder log;
    config.init();
    QCOMPARE(describe(config, home), QStringList {"Brivex for Server 10.8.1 in ~/srv"});
    QCOMPARE(config.installedVersions(), QStringList {"10.8.1"});
    QCOMPARE(config.installedProductMask(), 2);
    QCOMPARE(log.messages(), QStringList {});
}

void TestDiscovery::queriesBeforeInit_data()
{
    QTest::addColumn<QString>("query");
    QTest::newRow("products") << "installedProducts";
    QTest::newRow("versions") << "installedVersions";
    QTest::newRow("mask") << "installedProductMask";
    QTest::newRow("patches") << "installedPatches";
}

void TestDiscovery::queriesBeforeInit()
{
    QFETCH(QString, query);
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), kServerBuild);
    tree.writeProperties(QStringLiteral("server"), kServerProperties);
    const ScopedEnvironment environment("HOME", QFile::encodeName(home.path()));

    BrivexConfig config;
    LogRecorder log;
    StdoutCapture capture;
    bool empty = false;
    if (query == QLatin1String("installedProducts"))
        empty = config.installedProducts().isEmpty();
    else if (query == QLatin1String("installedVersions"))
        empty = config.installedVersions().isEmpty();
    else if (query == QLatin1String("installedProductMask"))
        empty = config.installedProductMask() == 0;
    else
        empty = config.installedPatches().isEmpty();

    // The query neither runs discovery nor stops the program.
    QVERIFY(empty);
    const QString message = "Fatal: You need to call BrivexConfig::instance()->init() before "
                            "calling "
        + query + "()";
    QCOMPARE(log.messages(), QStringList {message});
    QVERIFY2(capture.text().endsWith(": " + message + "\n"), qPrintable(capture.text()));
}

KORVANE_TEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
