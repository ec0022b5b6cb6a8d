#include "installationtree.h"
#include "korvaneprocess.h"
#include "logrecorder.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QRegularExpression>
#include <QTest>

namespace {

// Nothing listens there: a check that gets as far as the download fails at
// once instead of reaching out to the network.
const QString kNoCatalogue = QStringLiteral("http://127.0.0.1:1/korvane/patches.json");

} // namespace

class TestDiscoveryCli : public QObject
{
    Q_OBJECT

private slots:
    void sampleInstallationIsFound();
    void withoutHome_data();
    void withoutHome();
};

void TestDiscoveryCli::sampleInstallationIsFound()
{
    TemporaryHome home;
    QVERIFY(InstallationTree(home).copySample());
    const QString logPath = home.filePath(QStringLiteral("run.log"));

    KorvaneProcess korvane(home.path());
    QCOMPARE(korvane.run({"-c", "-v", "2", "-l", logPath, "-u", kNoCatalogue}), 0);

    const QStringList log = LogRecorder::messagesOf(logPath);
    QCOMPARE(log.filter(QStringLiteral("Found Linux Product")).size(), 3);
    // The properties files come in directory order; within the server-portal
    // file the Server comes before the Portal.
    const int server
        = log.indexOf(QStringLiteral("Info: Found Linux Product: Brivex for Server 10.8.1"));
    const int portal
        = log.indexOf(QStringLiteral("Info: Found Linux Product: Portal for Brivex 10.8.1"));
    QVERIFY(server >= 0);
    QCOMPARE(portal, server + 1);
    QVERIFY(log.contains(QStringLiteral("Info: Found Linux Product: Brivex for DataStore 10.7.1")));

    // Logs are read by kind: Server, Portal, DataStore; the unclosed last
    // DataStore record is not counted.
    QCOMPARE(log.filter(QStringLiteral("Found installed patch")),
        (QStringList {
            "Info: Found installed patch: Brivex for Server 10.8.1 Security Update 1",
            "Info: Found installed patch: Brivex for Server 10.8.1 Map Service Printing Patch",
            "Info: Found installed patch: Portal for Brivex 10.8.1 Security Update 1",
            "Info: Found installed patch: Brivex for DataStore 10.7.1 Backup Retention Patch",
        }));
    QCOMPARE(log.filter(QStringLiteral("Found patch log")),
        (QStringList {
            "Info:   Found patch log: " + home.filePath("brivex/server/.ZEDO_S_PATCH_LOG"),
            "Info:   Found patch log: " + home.filePath("brivex/portal/.ZEDO_PORTAL_PATCH_LOG"),
            "Info:   Found patch log: "
                + home.filePath("brivex/datastore/.ZEDO_DATASTORE_PATCH_LOG"),
        }));
    QCOMPARE(log.filter(QStringLiteral("Debug: Found properties file: ")).size(), 2);
    // Discovery comes after the switches and before the mode runs.
    QVERIFY(log.indexOf(QStringLiteral("Info: Reading Linux configuration"))
        > log.indexOf(QStringLiteral("Info: ----------------- Program start -------------------")));
    QVERIFY(log.indexOf(QStringLiteral("Info: <<<<<<< Running in console mode >>>>>>>>>"))
        > log.lastIndexOf(QRegularExpression(QStringLiteral("^Info: Found "))));
}

void TestDiscoveryCli::withoutHome_data()
{
    QTest::addColumn<bool>("unset");
    QTest::newRow("HOME unset") << true;
    QTest::newRow("HOME empty") << false;
}

void TestDiscoveryCli::withoutHome()
{
    QFETCH(bool, unset);
    TemporaryHome logDir;
    const QString logPath = logDir.filePath(QStringLiteral("run.log"));
    KorvaneProcess korvane(logDir.path());
    if (unset)
        korvane.unsetEnv(QStringLiteral("HOME"));
    else
        korvane.setEnv(QStringLiteral("HOME"), QString());

    QCOMPARE(korvane.run({"-c", "-l", logPath, "-u", kNoCatalogue}), 0);
    const QStringList printed = korvane.outputLines();
    const int message = printed.indexOf(QStringLiteral("HOME environment variable is not set."));
    QVERIFY2(message >= 0, qPrintable(korvane.standardOutput()));
    QVERIFY(printed.value(message + 1).endsWith(": Fatal: Could not determine HOME directory."));
    const QStringList log = LogRecorder::messagesOf(logPath);
    QVERIFY(log.contains(QStringLiteral("Fatal: Could not determine HOME directory.")));
    QVERIFY(log.filter(QStringLiteral("Found")).isEmpty());
}

KORVANE_TEST_MAIN(TestDiscoveryCli)
#include "tst_discovery_cli.moc"
