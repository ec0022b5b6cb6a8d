#include "installationtree.h"
#include "logrecorder.h"
#include "products/brivexconfig.h"
#include "products/brivexproductbase.h"
#include "scopedenvironment.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QFile>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(EntryKind)

namespace {

// One entry as "qfeId|name"; crNumber is checked separately.
QStringList describe(const QList<InstalledPatchEntry> &entries)
{
    QStringList out;
    for (const InstalledPatchEntry &entry : entries)
        out << entry.qfeId + QLatin1Char('|') + entry.name;
    return out;
}

QByteArray record(const QByteArray &id, const QByteArray &title)
{
    return "#START\nQFE_ID: " + id + "\nQFE_TITLE: " + title + "\n#END\n";
}

std::unique_ptr<BrivexConfig> discover(const TemporaryHome &home)
{
    const ScopedEnvironment environment("HOME", QFile::encodeName(home.path()));
    auto config = std::make_unique<BrivexConfig>();
    config->init();
    return config;
}

const QString kServerLog = QStringLiteral(".ZEDO_S_PATCH_LOG");
const QString kPortalLog = QStringLiteral(".ZEDO_PORTAL_PATCH_LOG");
const QString kDataStoreLog = QStringLiteral(".ZEDO_DATASTORE_PATCH_LOG");

} // namespace

class TestPatchLog : public QObject
{
    Q_OBJECT

private slots:
    void records_data();
    void records();

    void logsOfEveryKind();
    void twoServerInstallations();
    void logsThatAreNotRead();
    void logThatCannotBeRead_data();
    void logThatCannotBeRead();
    void lineEndsAndEncoding_data();
    void lineEndsAndEncoding();
};

void TestPatchLog::records_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("entries");

    auto row = [](const char *name, const QStringList &lines, const QStringList &entries) {
        QTest::newRow(name) << lines << entries;
    };
    row("typical record",
        {"#START", "QFE_ID: BRX-S-1081-P-412", "QFE_TITLE: Update 1", "QFE_DATE: 2024-03-21",
            "#END"},
        {"BRX-S-1081-P-412|Update 1"});
    row("records in file order, fields outside ignored",
        {"QFE_ID: OUT", "#START", "QFE_ID: A", "#END", "QFE_ID: OUT", "#START", "QFE_ID: B",
            "#END"},
        {"A|", "B|"});
    row("only a title", {"#START", "QFE_TITLE: Printing Patch", "#END"}, {"|Printing Patch"});
    row("no fields still an entry", {"#START", "installed", "#END"}, {"|"});
    row("last occurrence wins",
        {"#START", "QFE_ID: A", "QFE_TITLE: one", "QFE_ID: B", "QFE_TITLE: two", "#END"},
        {"B|two"});
    row("colon in value cuts it", {"#START", "QFE_TITLE: Fix: map printing", "#END"}, {"|Fix"});
    row("field without colon is empty", {"#START", "QFE_ID BRX-1", "QFE_TITLE T", "#END"}, {"|"});
    row("fields are case-sensitive prefixes",
        {"#START", "qfe_id: a", " QFE_ID: b", "QFE_IDENT: c", "#END"}, {"c|"});
    row("start with trailing blank is no marker", {"#START ", "QFE_ID: A", "#END"}, {});
    row("start in lower case is no marker", {"#start", "QFE_ID: A", "#END"}, {});
    row("end with trailing blank does not close",
        {"#START", "QFE_ID: A", "#END ", "QFE_ID: B", "#END"}, {"B|"});
    row("end in lower case does not close", {"#START", "QFE_ID: A", "#end", "QFE_TITLE: T", "#END"},
        {"A|T"});
    row("end right after start is content",
        {"#START", "#END", "QFE_ID: A", "#END", "#START", "QFE_ID: B", "#END"}, {"A|", "B|"});
    row("start inside a record is content",
        {"#START", "QFE_ID: A", "#START", "QFE_TITLE: T", "#END"}, {"A|T"});
    row("unclosed last record is not installed",
        {"#START", "QFE_ID: A", "#END", "#START", "QFE_ID: B", "QFE_TITLE: T"}, {"A|"});
    row("start as last line", {"#START", "QFE_ID: A", "#END", "#START"}, {"A|"});
    row("end right after start at end of file", {"#START", "#END"}, {});
    row("empty", {}, {});
}

void TestPatchLog::records()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, entries);
    const QList<InstalledPatchEntry> found = BrivexConfig::patchEntries(lines);
    QCOMPARE(describe(found), entries);
    for (const InstalledPatchEntry &entry : found)
        QCOMPARE(entry.crNumber, QStringLiteral("dummy"));
}

void TestPatchLog::logsOfEveryKind()
{
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("ds"), "10.8.1\n");
    tree.addProduct(QStringLiteral("portal"), "10.8.1\n");
    tree.addProduct(QStringLiteral("srv"), "10.8.1\n");
    tree.writeProperties(QStringLiteral("all"),
        "Z_REAL_VERSION=10.8.1\n"
        "Z_BrivexDataStore_INSTALL_DIR=@HOME@/ds\n"
        "Z_BrivexPortal_INSTALL_DIR=@HOME@/portal\n"
        "Z_BrivexServer_INSTALL_DIR=@HOME@/srv\n");
    const QString dsLog
        = tree.writePatchLog(QStringLiteral("ds"), kDataStoreLog, record("D-1", "DataStore fix"));
    const QString portalLog
        = tree.writePatchLog(QStringLiteral("portal"), kPortalLog, record("P-1", "Portal fix"));
    const QString serverLog = tree.writePatchLog(QStringLiteral("srv"), kServerLog,
        record("S-1", "Server fix") + "#START\nQFE_ID: S-2\n#END\n");

    LogRecorder log;
    const auto config = discover(home);
    QCOMPARE(describe(config->installedPatches()),
        (QStringList {"S-1|Server fix", "S-2|", "P-1|Portal fix", "D-1|DataStore fix"}));
    QCOMPARE(log.messages().mid(5),
        (QStringList {"Info:   Found patch log: " + serverLog,
            "Info: Found installed patch: Server fix", "Info: Found installed patch: ",
            "Info:   Found patch log: " + portalLog, "Info: Found installed patch: Portal fix",
            "Info:   Found patch log: " + dsLog, "Info: Found installed patch: DataStore fix"}));
}

void TestPatchLog::twoServerInstallations()
{
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("one"), "10.8.1\n");
    tree.addProduct(QStringLiteral("two"), "10.7.1\n");
    tree.writeProperties(
        QStringLiteral("one"), "Z_REAL_VERSION=10.8.1\nZ_BrivexServer_INSTALL_DIR=@HOME@/one\n");
    tree.writeProperties(
        QStringLiteral("two"), "Z_REAL_VERSION=10.7.1\nZ_BrivexServer_INSTALL_DIR=@HOME@/two\n");
    tree.writePatchLog(
        QStringLiteral("one"), kServerLog, record("ONE-1", "a") + record("ONE-2", "b"));
    tree.writePatchLog(QStringLiteral("two"), kServerLog, record("TWO-1", "c"));

    const auto config = discover(home);
    const auto products = config->installedProducts();
    QCOMPARE(products.size(), 2);
    // Properties files come in directory order: the first-found
    // installation's patches come first.
    const QStringList one {"ONE-1|a", "ONE-2|b"};
    const QStringList two {"TWO-1|c"};
    const bool oneFirst = products.first()->installDir().endsWith(QStringLiteral("/one"));
    QCOMPARE(describe(config->installedPatches()), oneFirst ? one + two : two + one);
}

void TestPatchLog::logsThatAreNotRead()
{
    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), "10.8.1\n");
    // The Portal's build number names another version: no Portal, so no Portal log.
    tree.addProduct(QStringLiteral("portal"), "10.7.1\n");
    tree.writeProperties(QStringLiteral("both"),
        "Z_REAL_VERSION=10.8.1\n"
        "Z_BrivexServer_INSTALL_DIR=@HOME@/srv\n"
        "Z_BrivexPortal_INSTALL_DIR=@HOME@/portal\n");
    tree.writePatchLog(QStringLiteral("portal"), kPortalLog, record("P-1", "Portal fix"));
    // Only the log named for the product's own kind counts.
    tree.writePatchLog(QStringLiteral("srv"), kPortalLog, record("P-2", "Portal fix"));
    tree.writePatchLog(QStringLiteral("srv"), kDataStoreLog, record("D-1", "DataStore fix"));
    tree.writePatchLog(QStringLiteral("srv"), QStringLiteral("ZEDO_S_PATCH_LOG"), record("S", "s"));

    LogRecorder log;
    const auto config = discover(home);
    QCOMPARE(config->installedProductMask(), 2);
    QVERIFY(config->installedPatches().isEmpty());
    QVERIFY(log.messages().filter(QStringLiteral("patch")).isEmpty());
}

void TestPatchLog::logThatCannotBeRead_data()
{
    QTest::addColumn<EntryKind>("kind");
    QTest::addColumn<bool>("seen"); // "Found patch log" and a warning
    QTest::newRow("missing: silent") << EntryKind::Missing << false;
    QTest::newRow("dangling link: silent") << EntryKind::DanglingLink << false;
    QTest::newRow("directory in its place") << EntryKind::Directory << true;
    QTest::newRow("FIFO in its place does not hang") << EntryKind::Fifo << true;
}

void TestPatchLog::logThatCannotBeRead()
{
    QFETCH(EntryKind, kind);
    QFETCH(bool, seen);

    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), "10.8.1\n");
    tree.addProduct(QStringLiteral("portal"), "10.8.1\n");
    tree.writeProperties(QStringLiteral("both"),
        "Z_REAL_VERSION=10.8.1\n"
        "Z_BrivexServer_INSTALL_DIR=@HOME@/srv\n"
        "Z_BrivexPortal_INSTALL_DIR=@HOME@/portal\n");
    const QString bad = QStringLiteral("srv/") + kServerLog;
    QVERIFY(tree.place(bad, kind));
    tree.writePatchLog(QStringLiteral("portal"), kPortalLog, record("P-1", "Portal fix"));

    LogRecorder log;
    const auto config = discover(home);
    QCOMPARE(describe(config->installedPatches()), QStringList {"P-1|Portal fix"});
    const QStringList messages = log.messages();
    QCOMPARE(messages.contains("Info:   Found patch log: " + home.filePath(bad)), seen);
    const QStringList warnings = messages.filter(QStringLiteral("Warning: "));
    QCOMPARE(warnings.size(), seen ? 1 : 0);
    if (seen)
        QVERIFY2(warnings.first().startsWith(
                     "Warning: Could not read patch log " + home.filePath(bad) + ": "),
            qPrintable(warnings.first()));
}

void TestPatchLog::lineEndsAndEncoding_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("CRLF line ends")
        << QByteArray("#START\r\nQFE_ID: A\r\nQFE_TITLE: T\r\n#END\r\n") << QStringList {"A|T"};
    QTest::newRow("no line end after the last marker")
        << QByteArray("#START\nQFE_ID: A\n#END") << QStringList {"A|"};
    QTest::newRow("UTF-8 title") << QByteArray(
        "#START\nQFE_TITLE: Korrektur f\xc3\xbcr Karten\n#END\n")
                                 << QStringList {QString::fromUtf8("|Korrektur f\xc3\xbcr Karten")};
    QTest::newRow("binary bytes around a record") << QByteArray(
        "\x7f"
        "ELF\0\0\xff\xfe\n#START\nQFE_ID: A\n#END\n\0\0\x01",
        32) << QStringList {"A|"};
    QTest::newRow("empty file") << QByteArray() << QStringList {};
}

void TestPatchLog::lineEndsAndEncoding()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, entries);

    TemporaryHome home;
    InstallationTree tree(home);
    tree.addProduct(QStringLiteral("srv"), "10.8.1\n");
    tree.writeProperties(
        QStringLiteral("srv"), "Z_REAL_VERSION=10.8.1\nZ_BrivexServer_INSTALL_DIR=@HOME@/srv\n");
    tree.writePatchLog(QStringLiteral("srv"), kServerLog, content);

    const auto config = discover(home);
    QCOMPARE(describe(config->installedPatches()), entries);
}

KORVANE_TEST_MAIN(TestPatchLog)
#include "tst_patchlog.moc"
