#include "core/common.h"
#include "gui/settingsdialog.h"
#include "settingsdialogdriver.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "whenshown.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

class TestSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void storedValuesShown_data();
    void storedValuesShown();
    void portField_data();
    void portField();
    void missingFields_data();
    void missingFields();
    void okSaves_data();
    void okSaves();

private:
    TemporaryHome m_home;
};

void TestSettingsDialog::initTestCase()
{
    // Messages appear as boxes only with a display.
    qputenv("DISPLAY", ":0");
    QCoreApplication::setOrganizationName(QStringLiteral("Zedo"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    m_home.useForSettings();
}

void TestSettingsDialog::init()
{
    QFile::remove(m_home.settingsFile());
    setStore(false, QNetworkProxy());
}

void TestSettingsDialog::storedValuesShown_data()
{
    QTest::addColumn<bool>("useProxy");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("portText");
    QTest::newRow("proxy on") << true << 3128 << "3128";
    QTest::newRow("proxy off: fields disabled but filled") << false << 8080 << "8080";
    QTest::newRow("port 0 is shown empty") << true << 0 << "";
}

void TestSettingsDialog::storedValuesShown()
{
    QFETCH(bool, useProxy);
    QFETCH(int, port);
    QFETCH(QString, portText);
    setStore(useProxy,
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.example"), quint16(port),
            QStringLiteral("ann"), QStringLiteral("pw")));

    SettingsDialog dialog;
    QCOMPARE(child<QCheckBox>(&dialog, "useProxyCheckbox")->isChecked(), useProxy);
    QCOMPARE(child<QGroupBox>(&dialog, "proxySettingsGroupbox")->isEnabled(), useProxy);
    QCOMPARE(child<QLineEdit>(&dialog, "proxyHost")->text(), QStringLiteral("proxy.example"));
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPort")->text(), portText);
    QCOMPARE(child<QLineEdit>(&dialog, "proxyUsername")->text(), QStringLiteral("ann"));
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPassword")->text(), QStringLiteral("pw"));
}

void TestSettingsDialog::portField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("highest port") << QStringLiteral("65535") << QStringLiteral("65535");
    QTest::newRow("0") << QStringLiteral("0") << QStringLiteral("0");
    QTest::newRow("one above the highest") << QStringLiteral("65536") << QStringLiteral("6553");
    QTest::newRow("70000 is refused, not cut to 16 bits")
        << QStringLiteral("70000") << QStringLiteral("7000");
    QTest::newRow("letters are refused") << QStringLiteral("8a0b8") << QStringLiteral("808");
    QTest::newRow("minus is refused") << QStringLiteral("-80") << QStringLiteral("80");
    QTest::newRow("group separator is refused")
        << QStringLiteral("1,080") << QStringLiteral("1080");
    QTest::newRow("long input") << QStringLiteral("123456789012") << QStringLiteral("12345");
}

void TestSettingsDialog::portField()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    setStore(true, QNetworkProxy());
    SettingsDialog dialog;
    dialog.show();
    auto *port = child<QLineEdit>(&dialog, "proxyPort");
    QTest::keyClicks(port, typed);
    QCOMPARE(port->text(), shown);
}

void TestSettingsDialog::missingFields_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::newRow("no port") << QStringLiteral("proxy.example") << QString();
    QTest::newRow("no host") << QString() << QStringLiteral("3128");
    QTest::newRow("nothing") << QString() << QString();
}

void TestSettingsDialog::missingFields()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    SettingsDialog dialog;
    dialog.show();
    fill(&dialog, true, host, port);

    QString title;
    QString text;
    const WhenShown<QMessageBox> closer([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    click(&dialog, "okButton");

    QVERIFY(closer.done());
    QCOMPARE(title, QStringLiteral("Missing Fields"));
    QCOMPARE(text, QStringLiteral("You need to specify a proxy host and port."));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!QFile::exists(m_home.settingsFile()));
    QCOMPARE(Common::instance()->useProxy, true); // in memory only
}

void TestSettingsDialog::okSaves_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("savedPort");
    QTest::newRow("proxy off and empty fields") << false << QString() << QString() << 0;
    QTest::newRow("host keeps its blanks")
        << true << QStringLiteral("  proxy.example  ") << QStringLiteral("3128") << 3128;
    QTest::newRow("typed port 0") << true << QStringLiteral("proxy.example") << QStringLiteral("0")
                                  << 0;
    QTest::newRow("proxy off keeps the fields")
        << false << QStringLiteral("proxy.example") << QStringLiteral("8080") << 8080;
}

void TestSettingsDialog::okSaves()
{
    QFETCH(bool, checked);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(int, savedPort);
    const QString password = QStringLiteral("p@ss:w\u00f6rd");
    {
        SettingsDialog dialog;
        dialog.show();
        fill(&dialog, checked, host, port, QStringLiteral("ann"), password);
        click(&dialog, "okButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // Read back what was written.
    setStore(!checked, QNetworkProxy());
    Common::instance()->readSettings();
    const Common *store = Common::instance();
    QCOMPARE(store->useProxy, checked);
    QCOMPARE(store->proxy.hostName(), host);
    QCOMPARE(int(store->proxy.port()), savedPort);
    QCOMPARE(store->proxy.user(), QStringLiteral("ann"));
    QCOMPARE(store->proxy.password(), password);

    SettingsDialog reopened;
    QCOMPARE(child<QLineEdit>(&reopened, "proxyPort")->text(),
        savedPort == 0 ? QString() : QString::number(savedPort));
}

KORVANE_TEST_GUI_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
