#include "catalogue/updaterequest.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "gui/messageboxes.h"
#include "gui/proxyprompt.h"
#include "gui/settingsdialog.h"
#include "logrecorder.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTimer>

#include <functional>

namespace {

template<typename T> T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

// Runs the action once on the first visible top-level widget of type W, from
// inside the modal loop that shows it.
template<typename W> void whenShown(std::function<void(W *)> action)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<W *>(widget); found && found->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(found);
                return;
            }
        }
    });
    timer->start(10);
}

void fill(SettingsDialog *dialog, bool use, const QString &host, const QString &port)
{
    child<QCheckBox>(dialog, "useProxyCheckbox")->setChecked(true);
    child<QLineEdit>(dialog, "proxyHost")->setText(host);
    child<QLineEdit>(dialog, "proxyPort")->clear();
    QTest::keyClicks(child<QLineEdit>(dialog, "proxyPort"), port); // through the validator
    child<QCheckBox>(dialog, "useProxyCheckbox")->setChecked(use);
}

} // namespace

class TestGui : public QObject
{
    Q_OBJECT

private slots:
    void storedValuesShown();
    void portField_data();
    void portField();
    void okSaves_data();
    void okSaves();
    void missingFieldsKeepTheDialogOpen();
    void messagesBecomeBoxes();
    void downloadAsksForAMissingProxyHost();
};

void TestGui::storedValuesShown()
{
    TemporaryHome home;
    Common *store = Common::instance();
    store->useProxy = false;
    store->proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("h"), 0,
        QStringLiteral("u"), QStringLiteral("pw"));
    SettingsDialog dialog;
    QVERIFY(!child<QGroupBox>(&dialog, "proxySettingsGroupbox")->isEnabled());
    QCOMPARE(child<QLineEdit>(&dialog, "proxyHost")->text(), QStringLiteral("h"));
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPort")->text(), QString()); // port 0
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPassword")->text(), QStringLiteral("pw"));
}

void TestGui::portField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("highest port") << "65535"
                                  << "65535";
    QTest::newRow("one above the highest") << "65536"
                                           << "6553";
    QTest::newRow("70000 refused, not cut to 16 bits") << "70000"
                                                       << "7000";
    QTest::newRow("letters, signs and separators refused") << "8a0-,8"
                                                           << "808";
}

void TestGui::portField()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    SettingsDialog dialog;
    fill(&dialog, true, QStringLiteral("h"), typed);
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPort")->text(), shown);
}

void TestGui::okSaves_data()
{
    QTest::addColumn<bool>("use");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::newRow("proxy on, host keeps its blanks") << true << " proxy.example "
                                                     << "3128";
    QTest::newRow("proxy off, empty fields") << false << ""
                                             << "";
    QTest::newRow("typed port 0") << true << "p"
                                  << "0";
}

void TestGui::okSaves()
{
    QFETCH(bool, use);
    QFETCH(QString, host);
    QFETCH(QString, port);
    TemporaryHome home;
    SettingsDialog dialog;
    fill(&dialog, use, host, port);
    QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QSettings stored(home.settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Startup/UseProxyServer")).toBool(), use);
    QCOMPARE(stored.value(QStringLiteral("Startup/ProxyHost")).toString(), host);
    QCOMPARE(stored.value(QStringLiteral("Startup/ProxyPort")).toInt(), port.toInt());
}

void TestGui::missingFieldsKeepTheDialogOpen()
{
    installMessageBoxes();
    TemporaryHome home;
    SettingsDialog dialog;
    dialog.show();
    fill(&dialog, true, QStringLiteral("proxy.example"), QString());
    QString text;
    whenShown<QMessageBox>([&text](QMessageBox *box) {
        text = box->windowTitle() + u'|' + box->text();
        box->accept();
    });
    QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    QCOMPARE(text, QStringLiteral("Missing Fields|You need to specify a proxy host and port."));
    QVERIFY(dialog.isVisible());
    QVERIFY(!QFile::exists(home.settingsFile()));
}

void TestGui::messagesBecomeBoxes()
{
    // With a display and a desktop application, a failed check is a box.
    installMessageBoxes();
    QString text;
    whenShown<QMessageBox>([&text](QMessageBox *box) {
        text = box->windowTitle() + u'|' + box->text() + u'|'
            + QString::number(box->icon() == QMessageBox::Critical);
        box->accept();
    });
    reportCheckError({Common::ErrNetwork, QStringLiteral("Network Error"), QStringLiteral("down")});
    QCOMPARE(text, QStringLiteral("Network Error|down|1"));
}

void TestGui::downloadAsksForAMissingProxyHost()
{
    // A proxy switched on without a host: the console has nobody to ask, so
    // the download warns and goes straight to the server (which never
    // answers); the desktop asks with the settings dialog and uses the proxy
    // entered there (which refuses connections).
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    TemporaryHome home;
    LogRecorder log;
    Common *store = Common::instance();
    store->useProxy = true;
    store->proxy = QNetworkProxy();
    store->updateUrl = QStringLiteral("http://127.0.0.1:%1/p.json").arg(silent.serverPort());
    DownloadSettings settings = DownloadSettings::fromStore(store->updateUrl);
    settings.timeoutMs = 300;
    QCOMPARE(UpdateRequest(settings).error().title, QStringLiteral("Network Timeout"));
    QVERIFY(log.messages().contains(
        "Warning: The proxy is switched on but no proxy host is set; connecting without a proxy."));

    settings = desktopDownloadSettings();
    settings.timeoutMs = 300;
    whenShown<SettingsDialog>([](SettingsDialog *dialog) {
        fill(dialog, true, QStringLiteral("127.0.0.1"), QStringLiteral("1"));
        QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    });
    QVERIFY(UpdateRequest(settings).error().message.contains(QLatin1String("refused")));
    QCOMPARE(store->proxy.hostName(), QStringLiteral("127.0.0.1"));
}

KORVANE_TEST_MAIN(QApplication, TestGui)
#include "tst_gui.moc"
