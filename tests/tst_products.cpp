#include "datarows.h"
#include "products/brivexconfig.h"
#include "products/brivexproductbase.h"
#include "products/patchlog.h"
#include "products/propertiesfile.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>

namespace {

// path in HOME -> content; "size:N" at the end makes the file N bytes long
// (sparse)
using Files = QList<QPair<QString, QByteArray>>;

// Lays out the files in the home; "{host}" in a path is this machine's name.
void lay(const TemporaryHome &home, const Files &files)
{
    for (auto [path, content] : files) {
        path.replace(QStringLiteral("{host}"), QHostInfo::localHostName());
        const QString full = home.writeFile(path, content);
        if (const qsizetype size = content.indexOf("size:"); size >= 0)
            QVERIFY(QFile::resize(full, content.mid(size + 5).toLongLong()));
    }
}

// "name version dir" per product, "qfeId|title" per installed patch.
QStringList found(const BrivexConfig &config, const QString &home)
{
    QStringList out;
    for (const BrivexProducts::BrivexProductBase *product : config.installedProducts())
        out << product->names().constFirst() + u' ' + product->version() + u' '
                + QString(product->installDir()).replace(home, QStringLiteral("~"));
    for (const InstalledPatchEntry &entry : config.installedPatches())
        out << entry.qfeId + u'|' + entry.name;
    return out;
}

const QByteArray kServer = "Z_REAL_VERSION=10.8.1\nZ_BrivexServer_INSTALL_DIR=@HOME@/srv\n";
const QString kServerFile = QStringLiteral(".ZEDO.properties.{host}.server");
const QString kBuild = QStringLiteral("srv/.Setup/build_number");

} // namespace

class TestProducts : public QObject
{
    Q_OBJECT

private slots:
    void propertyRules_data();
    void propertyRules();
    void patchLogRecords_data();
    void patchLogRecords();
    void discovery_data();
    void discovery();
};

void TestProducts::propertyRules_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("value"); // "null" for a null result
    const struct
    {
        const char *row;
        QStringList lines;
        const char *value;
    } rows[] = {
        {"blanks trimmed, inner kept", {"Z_REAL_VERSION \t=  10.8 beta \t"}, "10.8 beta"},
        {"text after a second '=' dropped", {"Z_REAL_VERSION=1=2"}, "1"},
        {"quotes kept", {"Z_REAL_VERSION=\"1\""}, "\"1\""},
        {"missing key is null", {"a=b"}, "null"},
        {"comment skipped", {"#Z_REAL_VERSION=1", "Z_REAL_VERSION=2"}, "2"},
        {"blank before '#' is no comment", {" #Z_REAL_VERSION=1", "Z_REAL_VERSION=2"}, "1"},
        {"key anywhere, any case", {"export z_real_version = 1"}, "1"},
        {"no '=': empty, not null", {"Z_REAL_VERSION 1", "Z_REAL_VERSION=2"}, ""},
    };
    for (const auto &r : rows)
        QTest::newRow(r.row) << r.lines << QString::fromUtf8(r.value);
}

void TestProducts::propertyRules()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, value);
    const QString actual = PropertiesFile::propertyValue(lines, QStringLiteral("Z_REAL_VERSION"));
    QCOMPARE(actual.isNull() ? QStringLiteral("null") : actual, value);
}

void TestProducts::patchLogRecords_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("entries");
    for (auto [name, lines] : dataRows(QFINDTESTDATA("data/patch-logs.txt"))) {
        lines.replaceInStrings(QStringLiteral("␣"), QStringLiteral(" "));
        const QStringList entries = lines.filter(QRegularExpression(QStringLiteral("^=> ")));
        QTest::newRow(qPrintable(name))
            << QStringList(lines.mid(0, lines.size() - entries.size()))
            << QStringList(entries).replaceInStrings(
                   QRegularExpression(QStringLiteral("^=> ")), QString());
    }
}

void TestProducts::patchLogRecords()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, entries);
    QStringList actual;
    for (const InstalledPatchEntry &entry : PatchLog::entries(lines)) {
        actual << entry.qfeId + u'|' + entry.name;
        QCOMPARE(entry.crNumber, QStringLiteral("dummy"));
    }
    QCOMPARE(actual, entries);
}

void TestProducts::discovery_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("expected");
    // Installations are end-to-end cases (tests/e2e/cases/installation/
    // discovery-*); these need files too large to make there.
    const QString server = QStringLiteral("Brivex for Server 10.8.1 ~/srv");
    QTest::newRow("64 GiB build number: its start is read") << Files {{kServerFile, kServer},
        {kBuild, "10.8.1 size:68719476736"}} << QStringList {server};
    QTest::newRow("properties file above 64 MiB is skipped")
        << Files {{kServerFile, kServer + "size:67108865"}, {kBuild, "10.8.1"}} << QStringList {};
    QTest::newRow("patch log above 64 MiB is skipped") << Files {{kServerFile, kServer},
        {kBuild, "10.8.1"}, {"srv/.ZEDO_S_PATCH_LOG", "#START\nQFE_ID: A\n#END\nsize:67108865"}}
                                                       << QStringList {server};
}

void TestProducts::discovery()
{
    QFETCH(Files, files);
    QFETCH(QStringList, expected);
    TemporaryHome home;
    lay(home, files);
    BrivexConfig config;
    config.init();
    QVERIFY(!config.error().failed());
    QCOMPARE(found(config, home.path()), expected);
}

KORVANE_TEST_MAIN(QCoreApplication, TestProducts)
#include "tst_products.moc"
