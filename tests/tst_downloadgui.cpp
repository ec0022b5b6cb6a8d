#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "gui/settingsdialog.h"
#include "httptestserver.h"
#include "logrecorder.h"
#include "proxyenvironment.h"
#include "settingsdialogdriver.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "tinyproxyprocess.h"
#include "whenshown.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

const QByteArray kCatalogue = R"({"Patches":[]})";

} // namespace

// The download in desktop mode: the settings dialog when the proxy has no
// host, and message boxes for failures.
class TestDownloadGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void downloadAsksForTheProxy_data();
    void downloadAsksForTheProxy();
    void failureShowsAMessageBox_data();
    void failureShowsAMessageBox();

private:
    TemporaryHome m_home;
    LogRecorder m_log;
};

void TestDownloadGui::initTestCase()
{
    // Messages appear as boxes only with a display.
    qputenv("DISPLAY", ":0");
    qputenv("HOME", m_home.path().toLocal8Bit());
    clearProxyEnvironment();
    QCoreApplication::setOrganizationName(QStringLiteral("Zedo"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    m_home.useForSettings();
}

void TestDownloadGui::init()
{
    setStore(false, QNetworkProxy());
    m_log.restart();
}

void TestDownloadGui::downloadAsksForTheProxy_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("viaProxy");
    QTest::newRow("user enters the proxy") << "enter" << true;
    QTest::newRow("user switches the proxy off") << "off" << false;
    QTest::newRow("user cancels") << "cancel" << false;
}

void TestDownloadGui::downloadAsksForTheProxy()
{
    QFETCH(QString, answer);
    QFETCH(bool, viaProxy);
    HttpTestServer server;
    server.route("/korvane/patches.json", 200, kCatalogue);
    TinyproxyProcess proxy(QStringLiteral("korvane"), QStringLiteral("s3cret"));
    QVERIFY2(proxy.start(), qPrintable(proxy.errorString()));
    setStore(true, QNetworkProxy(QNetworkProxy::HttpProxy));

    const WhenShown<SettingsDialog> user([&](SettingsDialog *dialog) {
        if (answer == QLatin1String("enter")) {
            fill(dialog, true, QStringLiteral("127.0.0.1"), QString::number(proxy.port()),
                QStringLiteral("korvane"), QStringLiteral("s3cret"));
            click(dialog, "okButton");
        } else if (answer == QLatin1String("off")) {
            fill(dialog, false, QString(), QString());
            click(dialog, "okButton");
        } else {
            click(dialog, "cancelButton");
        }
    });
    // A failure would show a message box; close it so that the test ends.
    QString failure;
    const WhenShown<QMessageBox> closer([&](QMessageBox *box) {
        failure = box->text();
        box->close();
    });
    const UpdateRequest request(server.url(QStringLiteral("/korvane/patches.json")));

    QVERIFY(user.done());
    QCOMPARE(failure, QString());
    QCOMPARE(request.jsonBytes(), kCatalogue);
    QCOMPARE(server.requests().last().header("Via").contains("tinyproxy"), viaProxy);
    QCOMPARE(
        m_log.messages().contains(QStringLiteral("Warning: The proxy is switched on but no proxy "
                                                 "host is set; connecting without a proxy.")),
        answer == QLatin1String("cancel"));
}

void TestDownloadGui::failureShowsAMessageBox_data()
{
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text"); // start of the message
    QTest::newRow("HTTP error") << false << QStringLiteral("/missing")
                                << QStringLiteral("An error occurred: Error transferring");
    QTest::newRow("empty catalogue")
        << false << QStringLiteral("/empty")
        << QStringLiteral("The update server sent an empty patch catalogue.");
    QTest::newRow("curl failure") << true << QStringLiteral("/missing")
                                  << QStringLiteral("An error occurred: curl: (22)");
}

void TestDownloadGui::failureShowsAMessageBox()
{
    QFETCH(bool, curl);
    QFETCH(QString, path);
    QFETCH(QString, text);
    HttpTestServer server;
    server.route("/empty", 200, "");
    Common::instance()->useCurl = curl;

    QString title;
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const WhenShown<QMessageBox> closer([&](QMessageBox *box) {
        title = box->windowTitle();
        shown = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    const UpdateRequest request(server.url(path));

    QVERIFY(closer.done());
    QCOMPARE(title, QStringLiteral("Network Error"));
    QVERIFY2(shown.startsWith(text), qPrintable(shown));
    QCOMPARE(icon, QMessageBox::Critical);
    QVERIFY(request.jsonBytes().isEmpty());
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNetwork));
}

KORVANE_TEST_GUI_MAIN(TestDownloadGui)
#include "tst_downloadgui.moc"
