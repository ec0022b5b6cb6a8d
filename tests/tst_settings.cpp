#include "core/common.h"
#include "stdoutcapture.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

namespace {

void resetStore()
{
    Common *store = Common::instance();
    store->proxy = QNetworkProxy();
    store->useProxy = false;
    store->checkAtLogin = false;
    store->lastError = Common::ErrNone;
}

const QFileDevice::Permissions ownerOnly = TemporaryHome::ownerReadWrite();

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { resetStore(); }

    void firstRunDefaults();
    void saveAndReadBack();
    void passwordIsStoredEnciphered();
    void clearedProxyIsStoredEmpty();
    void settingsOfEarlierVersionsStillRead();
    void fileIsOwnerOnly();
    void existingFileBecomesOwnerOnly();
    void unwritableStore_data();
    void unwritableStore();
    void unreadableStoreIsReported();
    void damagedPasswordIsReported();
    void lastErrorString_data();
    void lastErrorString();
};

void TestSettings::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Zedo"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
}

void TestSettings::firstRunDefaults()
{
    TemporaryHome home;
    home.useForSettings();
    Common *store = Common::instance();
    store->useProxy = true;
    store->proxy.setHostName(QStringLiteral("stale"));

    StdoutCapture capture;
    store->readSettings();
    QCOMPARE(capture.text(), QString());
    QCOMPARE(store->checkAtLogin, false);
    QCOMPARE(store->useProxy, false);
    QCOMPARE(store->proxy.hostName(), QString());
    QCOMPARE(int(store->proxy.port()), 0);
    QCOMPARE(store->proxy.user(), QString());
    QCOMPARE(store->proxy.password(), QString());
    QCOMPARE(store->proxy.type(), QNetworkProxy::HttpProxy);
    QCOMPARE(store->lastError, int(Common::ErrNone));
}

void TestSettings::saveAndReadBack()
{
    TemporaryHome home;
    home.useForSettings();
    Common *store = Common::instance();
    store->checkAtLogin = true;
    store->useProxy = true;
    store->proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral(" proxy.example "), 3128,
        QStringLiteral("üser"), QStringLiteral("pä:ss@word"));
    QVERIFY(store->saveSettings());
    QCOMPARE(store->settingsFileName(), home.settingsFile());

    resetStore();
    store->readSettings();
    QCOMPARE(store->checkAtLogin, true);
    QCOMPARE(store->useProxy, true);
    QCOMPARE(store->proxy.hostName(), QStringLiteral(" proxy.example "));
    QCOMPARE(int(store->proxy.port()), 3128);
    QCOMPARE(store->proxy.user(), QStringLiteral("üser"));
    QCOMPARE(store->proxy.password(), QStringLiteral("pä:ss@word"));
    QCOMPARE(store->lastError, int(Common::ErrNone));
}

void TestSettings::passwordIsStoredEnciphered()
{
    TemporaryHome home;
    home.useForSettings();
    Common *store = Common::instance();
    store->proxy.setPassword(QStringLiteral("secret"));
    QVERIFY(store->saveSettings());
    const QString first = QSettings().value(QStringLiteral("Startup/ProxyPassword")).toString();
    QVERIFY(store->saveSettings());
    const QString second = QSettings().value(QStringLiteral("Startup/ProxyPassword")).toString();

    QVERIFY(!home.readFile(QStringLiteral(".config/Zedo/Korvane.conf")).contains("secret"));
    QCOMPARE(first.size(), 14);
    QCOMPARE(store->crypt->decrypt(first), QStringLiteral("secret"));
    QCOMPARE(store->crypt->decrypt(second), QStringLiteral("secret"));
}

void TestSettings::clearedProxyIsStoredEmpty()
{
    TemporaryHome home;
    home.useForSettings();
    Common *store = Common::instance();
    store->useProxy = true;
    store->proxy = QNetworkProxy(
        QNetworkProxy::HttpProxy, QStringLiteral("h"), 1, QStringLiteral("u"), QStringLiteral("p"));
    QVERIFY(store->saveSettings());
    store->proxy = QNetworkProxy();
    store->useProxy = false;
    QVERIFY(store->saveSettings());

    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("Startup/UseProxyServer")).toBool(), false);
    QCOMPARE(settings.value(QStringLiteral("Startup/ProxyHost")).toString(), QString());
    QCOMPARE(settings.value(QStringLiteral("Startup/ProxyPort")).toInt(), 0);
    QCOMPARE(settings.value(QStringLiteral("Startup/ProxyUsername")).toString(), QString());
    QVERIFY(settings.contains(QStringLiteral("Startup/ProxyPassword")));
    QCOMPARE(settings.value(QStringLiteral("Startup/ProxyPassword")).toString(), QString());
}

void TestSettings::settingsOfEarlierVersionsStillRead()
{
    TemporaryHome home;
    home.useForSettings();
    home.writeFile(QStringLiteral(".config/Zedo/Korvane.conf"),
        "[Startup]\n"
        "checkAtLogin=true\n"
        "UseProxyServer=true\n"
        "ProxyHost=cache.example\n"
        "ProxyPort=8080\n"
        "ProxyUsername=alice\n"
        "ProxyPassword=122c99f88aef9b\n");
    StdoutCapture capture;
    Common *store = Common::instance();
    store->readSettings();
    QCOMPARE(capture.text(), QString());
    QCOMPARE(store->checkAtLogin, true);
    QCOMPARE(store->useProxy, true);
    QCOMPARE(store->proxy.hostName(), QStringLiteral("cache.example"));
    QCOMPARE(int(store->proxy.port()), 8080);
    QCOMPARE(store->proxy.user(), QStringLiteral("alice"));
    QCOMPARE(store->proxy.password(), QStringLiteral("secret"));
}

void TestSettings::fileIsOwnerOnly()
{
    TemporaryHome home;
    home.useForSettings();
    QVERIFY(Common::instance()->saveSettings());
    QCOMPARE(TemporaryHome::permissionBits(home.settingsFile()), ownerOnly);
}

void TestSettings::existingFileBecomesOwnerOnly()
{
    TemporaryHome home;
    home.useForSettings();
    const QString path
        = home.writeFile(QStringLiteral(".config/Zedo/Korvane.conf"), "[Startup]\nProxyHost=old\n");
    QFile::setPermissions(path, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    Common::instance()->proxy.setPassword(QStringLiteral("pw"));
    QVERIFY(Common::instance()->saveSettings());
    QCOMPARE(TemporaryHome::permissionBits(path), ownerOnly);
}

void TestSettings::unwritableStore_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("a directory where the file belongs")
        << QStringLiteral(".config/Zedo/Korvane.conf/x");
    QTest::newRow("a file where the folder belongs") << QStringLiteral(".config/Zedo");
}

void TestSettings::unwritableStore()
{
    QFETCH(QString, obstacle);
    TemporaryHome home;
    home.useForSettings();
    home.writeFile(obstacle, "x");
    Common *store = Common::instance();
    store->useProxy = true;
    QVERIFY(!store->saveSettings());
    QCOMPARE(store->lastError, int(Common::ErrSettingsWrite));
    QCOMPARE(store->lastErrorString(), QStringLiteral("Error writing settings."));
    // The values stay in memory for the rest of the run.
    QCOMPARE(store->useProxy, true);
}

void TestSettings::unreadableStoreIsReported()
{
    TemporaryHome home;
    home.useForSettings();
    home.writeFile(QStringLiteral(".config/Zedo/Korvane.conf/x"), "x");
    StdoutCapture capture;
    Common::instance()->readSettings();
    QCOMPARE(capture.text(),
        QStringLiteral("<<<< The settings could not be read from %1. The default settings are "
                       "used for this run. >>>>\n")
            .arg(home.settingsFile()));
    QCOMPARE(Common::instance()->useProxy, false);
}

void TestSettings::damagedPasswordIsReported()
{
    TemporaryHome home;
    home.useForSettings();
    home.writeFile(QStringLiteral(".config/Zedo/Korvane.conf"),
        "[Startup]\nUseProxyServer=true\nProxyHost=h\nProxyPassword=secret\n");
    StdoutCapture capture;
    Common *store = Common::instance();
    store->readSettings();
    QCOMPARE(capture.text(),
        QStringLiteral("<<<< The stored proxy password in %1 is damaged and was ignored. Please "
                       "enter the proxy settings again. >>>>\n")
            .arg(home.settingsFile()));
    QCOMPARE(store->proxy.password(), QString());
    QCOMPARE(store->proxy.hostName(), QStringLiteral("h"));
    QCOMPARE(store->lastError, int(Common::ErrNone));
}

void TestSettings::lastErrorString_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "No Error";
    QTest::newRow("1") << 1 << "Error reading system configuration";
    QTest::newRow("2") << 2 << "Error writing settings.";
    QTest::newRow("3") << 3 << "Network connection error.";
    QTest::newRow("4") << 4 << "A server authentication error occurred.";
    QTest::newRow("5") << 5 << "The patch catalogue could not be read.";
    QTest::newRow("7 is unknown") << 7 << "";
    QTest::newRow("-1 is unknown") << -1 << "";
}

void TestSettings::lastErrorString()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    Common::instance()->lastError = code;
    QCOMPARE(Common::instance()->lastErrorString(), text);
}

KORVANE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
