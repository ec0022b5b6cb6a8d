#include "catalogue/checkreport.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "core/logger.h"
#include "core/utils.h"
#include "datarows.h"
#include "download/updaterequest.h"
#include "gui/autostart.h"
#include "gui/iconwindow.h"
#include "gui/messageboxes.h"
#include "gui/notificationdialog.h"
#include "gui/notificationpopup.h"
#include "gui/proxyprompt.h"
#include "gui/reporthtml.h"
#include "gui/settingsdialog.h"
#include "logrecorder.h"
#include "products/brivexconfig.h"
#include "products/brivexproductbase.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <csignal>
#include <functional>
#include <sys/resource.h>

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

QStringList s_titles; // of every message box

void recordMessage(Utils::MessageKind, const QString &title, const QString &, QWidget *)
{
    s_titles << title;
}

} // namespace

class TestGui : public QObject
{
    Q_OBJECT

private slots:
    void proxyDialog_data();
    void proxyDialog();
    void messageBoxesShowPlainText();
    void downloadAsksForAMissingProxyHost();
    void report_data();
    void report();
    void reportDialogStartsAfresh_data();
    void reportDialogStartsAfresh();
    void startupEntryText_data();
    void startupEntryText();
    void startupEntryFile_data();
    void startupEntryFile();
    void logOnBoxShowsWhatWasSaved_data();
    void logOnBoxShowsWhatWasSaved();
    void popup_data();
    void popup();
    void popupTimeOutNeverEarly();
};

void TestGui::proxyDialog_data()
{
    QTest::addColumn<bool>("use");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("typed"); // into the port field
    QTest::addColumn<QString>("shown"); // there, and then saved
    QTest::addColumn<QString>("box"); // "title|text" of the box OK raises
    const auto row = [](const char *name, bool use, const char *host, const char *typed,
                         const char *shown, const char *box = "") {
        QTest::newRow(name) << use << host << typed << shown << box;
    };
    row("highest port", true, "h", "65535", "65535");
    row("one above the highest", true, "h", "65536", "6553");
    row("70000 refused, not cut to 16 bits", true, "h", "70000", "7000");
    row("letters, signs and separators refused", true, "h", "8a0-,8", "808");
    row("proxy on, host keeps its blanks", true, " proxy.example ", "3128", "3128");
    row("proxy off, empty fields", false, "", "", "");
    row("typed port 0", true, "p", "0", "0");
    row("no port: nothing saved, the dialog stays open", true, "proxy.example", "", "",
        "Missing Fields|You need to specify a proxy host and port.");
}

void TestGui::proxyDialog()
{
    QFETCH(bool, use);
    QFETCH(QString, host);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, box);
    installMessageBoxes();
    TemporaryHome home;
    Common *store = Common::instance();
    store->readSettings(); // what a save compares with
    store->useProxy = false;
    store->proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("h"), 0,
        QStringLiteral("u"), QStringLiteral("pw"));
    SettingsDialog dialog;
    // The stored values, the password hidden, port 0 as none.
    QVERIFY(!child<QGroupBox>(&dialog, "proxySettingsGroupbox")->isEnabled());
    QCOMPARE(child<QLineEdit>(&dialog, "proxyHost")->text(), QStringLiteral("h"));
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPort")->text(), QString());
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPassword")->text(), QStringLiteral("pw"));
    dialog.show();
    fill(&dialog, use, host, typed);
    QCOMPARE(child<QLineEdit>(&dialog, "proxyPort")->text(), shown);
    QString text;
    if (!box.isEmpty()) {
        whenShown<QMessageBox>([&text](QMessageBox *found) {
            text = found->windowTitle() + u'|' + found->text();
            found->accept();
        });
    }
    QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    QCOMPARE(text, box);
    const bool saved = box.isEmpty();
    QCOMPARE(dialog.isVisible(), !saved);
    QCOMPARE(dialog.result() == QDialog::Accepted, saved);
    QCOMPARE(store->useProxy, use && saved); // as it was when not saved
    QCOMPARE(QFile::exists(home.settingsFile()), saved);
    QSettings stored(home.settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("Startup/UseProxyServer")).toBool(), use && saved);
    QCOMPARE(
        stored.value(QStringLiteral("Startup/ProxyHost")).toString(), saved ? host : QString());
    QCOMPARE(stored.value(QStringLiteral("Startup/ProxyPort")).toInt(), saved ? shown.toInt() : 0);
}

void TestGui::messageBoxesShowPlainText()
{
    // A server's reason phrase reaches the box: as markup, an <img> of
    // /dev/zero fills memory and a link starts programs.
    installMessageBoxes();
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        format = box->textFormat();
        text = box->text();
        box->accept();
    });
    const QString markup
        = QStringLiteral("404 <img src=\"/dev/zero\"><a href=\"file:///etc/passwd\">x</a>\n");
    Utils::ErrorMsg(QStringLiteral("Network Error"), markup + QChar(0x202E) + "exe", nullptr);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(text, markup + QChar(0xFFFD) + "exe");
}

void TestGui::downloadAsksForAMissingProxyHost()
{
    // A proxy switched on without a host: the desktop asks with the settings
    // dialog and uses the proxy entered there (which refuses connections).
    TemporaryHome home;
    Common *store = Common::instance();
    store->useProxy = true;
    store->proxy = QNetworkProxy();
    DownloadSettings run;
    run.url = QStringLiteral("http://127.0.0.1:1/p.json");
    run.timeoutMs = 300;
    const DownloadSettings settings = checkSettings(run);
    whenShown<SettingsDialog>([](SettingsDialog *dialog) {
        fill(dialog, true, QStringLiteral("127.0.0.1"), QStringLiteral("1"));
        QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    });
    QVERIFY(UpdateRequest(settings).error().message.contains(QLatin1String("refused")));
    QCOMPARE(store->proxy.hostName(), QStringLiteral("127.0.0.1"));
}

void TestGui::report_data()
{
    for (const char *column : {"product", "patch", "installed", "want", "lack", "error"})
        QTest::addColumn<QStringList>(column);
    for (const auto &[name, lines] : dataRows(QFINDTESTDATA("data/reports.txt"))) {
        QHash<QString, QStringList> row;
        for (const QString &line : lines)
            row[line.section(u' ', 0, 0)] << line.section(u' ', 1);
        QTest::newRow(qPrintable(name)) << row["product"] << row["patch"] << row["installed"]
                                        << row["want"] << row["lack"] << row["error"];
    }
}

void TestGui::report()
{
    QFETCH(QStringList, product);
    QFETCH(QStringList, patch);
    QFETCH(QStringList, installed);
    QFETCH(QStringList, error);
    QList<BrivexProducts::BrivexProductBase *> products;
    for (const QString &p : product) // ProductType: server 2, portal 4, datastore 8
        products << BrivexProducts::BrivexProductBase::Create(
            ProductType::ProductType(2 << QStringLiteral("SPD").indexOf(p.at(0))), "/opt",
            p.mid(2));
    QList<PatchItem> patches;
    for (const QString &p : patch) {
        const QStringList f = p.split(u'|');
        patches << PatchItem {f.value(0), f.value(1), f.value(4), {}, f.value(2), {}, f.value(3)};
    }
    QList<InstalledPatchEntry> installedPatches;
    for (const QString &name : installed)
        installedPatches << InstalledPatchEntry {name, {}, {}};
    const QString failure = error.value(0);
    const QString html = reportHtml(CheckReport::of({}, products, installedPatches, patches,
        {failure.section(u' ', 0, 0).toInt(), {}, failure.section(u' ', 1)}));
    qDeleteAll(products);
    QFETCH(QStringList, want);
    QFETCH(QStringList, lack);
    for (const QString &text : want)
        QVERIFY2(html.contains(text), qPrintable(text + "\nnot in\n" + html));
    for (const QString &text : lack)
        QVERIFY2(!html.contains(text), qPrintable(text + "\nin\n" + html));
}

void TestGui::reportDialogStartsAfresh_data()
{
    QTest::addColumn<bool>("found"); // the catalogue is there
    QTest::addColumn<QString>("heading"); // "" when there is none
    QTest::newRow("a check that succeeds shows no error") << true << "";
    QTest::newRow("failing check shows its own error") << false << "connection error";
}

void TestGui::reportDialogStartsAfresh()
{
    QFETCH(bool, found);
    QFETCH(QString, heading);
    TemporaryHome home;
    Utils::setMessagePresenter(&recordMessage);
    BrivexConfig::instance()->init(); // nothing is installed in this home
    const QString catalogue = home.writeFile("p.json", "{\"Product\":[]}") + (found ? "" : "x");
    DownloadSettings settings;
    settings.url = QUrl::fromLocalFile(catalogue).toString();
    s_titles.clear();
    LogRecorder log;
    NotificationDialog dialog(settings);
    dialog.show();
    dialog.hide(); // shown again while its check is pending: no second check
    dialog.show();
    const auto *view = child<QLabel>(&dialog, "mainView");
    QTRY_VERIFY(view->isVisible());
    QCOMPARE(view->text().contains("<h4"), !heading.isEmpty());
    QVERIFY(view->text().contains(heading));
    QCOMPARE(s_titles, QStringList()); // the window tells a failure, no box before it
    QCOMPARE(log.messages().filter(QStringLiteral("Connecting to update server")).size(), 1);
}

void TestGui::startupEntryText_data()
{
    QTest::addColumn<QString>("path"); // in the home
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("tryExec");
    QTest::addColumn<bool>("installed");
    const char *rows[][4]
        = {{"plain", "k/korvane_alert", "@HOME@/k/korvane_alert", "@HOME@/k/korvane_alert"},
            {"space", "my k/k", "\"@HOME@/my k/k\"", "@HOME@/my k/k"},
            {"dollar, backslash, percent", "a$b\\c%d/k", "/bin/sh \"@HOME@/a\\\\$b\\\\\\\\c%%d/k\"",
                "@HOME@/a$b\\\\c%d/k"},
            {"quotes and backtick", "it's \"x\"`/k", "\"@HOME@/it's \\\\\"x\\\\\"\\\\`/k\"",
                "@HOME@/it's \"x\"`/k"},
            {"percent, which GLib looks for doubled", "50%/k", "/bin/sh @HOME@/50%%/k",
                "@HOME@/50%/k"}};
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2])
                              << QString::fromUtf8(row[3]) << true;
    QTest::newRow("launcher removed with its package: the entry is skipped")
        << "k/korvane_alert"
        << "@HOME@/k/korvane_alert"
        << "@HOME@/k/korvane_alert" << false;
}

void TestGui::startupEntryText()
{
    QFETCH(QString, path);
    QFETCH(QString, exec);
    QFETCH(QString, tryExec);
    QFETCH(bool, installed);
    TemporaryHome home;
    const QString launcher = home.path() + u'/' + path;
    const QString text = Utils::startupEntryText(launcher);
    QCOMPARE(text,
        "[Desktop Entry]\nType=Application\nExec=" + exec.replace("@HOME@", home.path())
            + "\nTryExec=" + tryExec.replace("@HOME@", home.path())
            + "\nHidden=false\nX-GNOME-Autostart-enabled=true\nName[en_US]=Korvane\nName="
              "Korvane\nComment[en_US]=\nComment=\n\n");
    const QString entry = home.writeFile("K.desktop", text.toUtf8());
    QProcess validate;
    validate.start("desktop-file-validate", {entry});
    QVERIFY2(
        validate.waitForStarted(), "desktop-file-validate is missing: scripts/deps.sh installs it");
    validate.waitForFinished(); // scripts/deps.sh installs it
    QCOMPARE(validate.readAll() + QByteArray::number(validate.exitCode()), QByteArray("0"));

    // GLib's launcher, as GNOME and the other GLib desktops start the entry.
    if (installed) {
        home.writeFile(path, "#!/bin/sh\ntouch \"$0.ran\"\n");
        QFile::setPermissions(launcher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcess gio;
    gio.start("gio", {"launch", entry});
    QVERIFY(gio.waitForFinished()); // from libglib2.0-bin
    QCOMPARE(gio.exitCode() == 0, installed);
    if (installed)
        QTRY_VERIFY(QFile::exists(launcher + ".ran"));
}

void TestGui::startupEntryFile_data()
{
    QTest::addColumn<bool>("homeSet");
    QTest::addColumn<bool>("failWrite"); // of an entry that is there
    QTest::addColumn<QString>("message"); // title of the error box
    QTest::newRow("fresh account without ~/.config") << true << false << "";
    QTest::newRow("failed write keeps the old entry") << true << true << "File Error";
    QTest::newRow("HOME unset") << false << false << "Error Creating Directory";
}

void TestGui::startupEntryFile()
{
    QFETCH(bool, homeSet);
    QFETCH(bool, failWrite);
    QFETCH(QString, message);
    TemporaryHome home;
    Utils::setMessagePresenter(&recordMessage);
    s_titles.clear();
    const QString path = home.path() + QStringLiteral("/.config/autostart/Korvane.desktop");
    if (failWrite)
        home.writeFile(QStringLiteral(".config/autostart/Korvane.desktop"), "old");
    if (!homeSet)
        qunsetenv("HOME");
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit {failWrite ? 8 : saved.rlim_cur, saved.rlim_max}; // more fails: EFBIG
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = Utils::createStartupLaunchEntry();
    setrlimit(RLIMIT_FSIZE, &saved);

    QCOMPARE(s_titles.join(QString()), message);
    QCOMPARE(written, message.isEmpty());
    QVERIFY(!QFile::exists("/.config/autostart/Korvane.desktop"));
    QFile entry(path);
    QVERIFY(entry.open(QIODevice::ReadOnly) == homeSet);
    QCOMPARE(entry.readAll().startsWith("[Desktop Entry]"), written);
    const QFileDevice::Permissions everyone(0x7077); // the user's bits repeat the owner's
    for (const char *folder : {"/.config", "/.config/autostart"})
        QVERIFY(!written
            || (QFileInfo(home.path() + folder).permissions() & everyone)
                == (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
}

void TestGui::logOnBoxShowsWhatWasSaved_data()
{
    QTest::addColumn<bool>("before"); // ticked, with the entry in place
    QTest::addColumn<bool>("settingsWritable");
    QTest::addColumn<bool>("entryWritable");
    QTest::addColumn<bool>("after");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("ticked and saved") << false << true << true << true << QStringList();
    QTest::newRow("settings not written: the entry still starts the check")
        << false << false << true << true << QStringList {"Settings Error"};
    QTest::newRow("entry not written: no check at log-on, as before, nothing to store")
        << false << true << false << false << QStringList {"Error Creating Directory"};
    QTest::newRow("neither written") << false << false << false << false
                                     << QStringList {"Error Creating Directory", "Settings Error"};
    QTest::newRow("unticked: entry removed") << true << true << true << false << QStringList();
}

void TestGui::logOnBoxShowsWhatWasSaved()
{
    QFETCH(bool, before);
    QFETCH(bool, settingsWritable);
    QFETCH(bool, entryWritable);
    QFETCH(bool, after);
    QFETCH(QStringList, boxes);
    TemporaryHome home;
    Utils::setMessagePresenter(&recordMessage);
    if (before) {
        home.writeFile(".config/autostart/Korvane.desktop", "[Desktop Entry]\n");
        home.writeFile(".config/Zedo/Korvane.conf", "[Startup]\ncheckAtLogin=true\n");
    }
    if (!entryWritable)
        home.writeFile(".config/autostart", "a file where the folder belongs");
    if (!settingsWritable)
        QDir().mkpath(home.settingsFile()); // a folder where the file belongs
    Common::instance()->readSettings();
    NotificationDialog dialog {DownloadSettings()};
    auto *box = child<QCheckBox>(&dialog, "updateCheck");
    QCOMPARE(box->isChecked(), before);
    s_titles.clear();
    box->click();
    QCOMPARE(s_titles, boxes);
    QCOMPARE(box->isChecked(), after);
    QCOMPARE(Utils::startupEntryInPlace(), after);
    QSettings stored(home.settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value("Startup/checkAtLogin", "unwritten").toString(), // only a change
        settingsWritable && after != before ? QVariant(after).toString() : "unwritten");
}

void TestGui::popup_data()
{
    QTest::addColumn<int>("updates");
    QTest::addColumn<QString>("failure"); // the failed check's message, or none
    QTest::addColumn<QString>("shown"); // in the message's HTML
    QTest::newRow("updates") << 12 << ""
                             << "<p> 12 update(s) are available.  Click here to review these "
                                "updates. </p>";
    QTest::newRow("no updates") << 0 << ""
                                << "<p> No updates available. </p>";
    QTest::newRow("failed check, shown as text") << 0 << "down <here>"
                                                 << "<p> down &lt;here&gt; </p>";
    QTest::newRow("failed check with a long address wraps")
        << 0
        << "An error occurred: Error transferring http://127.0.0.1:4711/korvane/"
            + QString(300, u'x') + "/patches.json - server replied: Not Found (203)"
        << " - server replied: Not Found (203) </p>";
}

void TestGui::popup()
{
    QFETCH(int, updates);
    QFETCH(QString, failure);
    QFETCH(QString, shown);
    const CheckError error {failure.isEmpty() ? 0 : 3, QStringLiteral("Network Error"), failure};
    NotificationPopup popup(IconWindow::popupMessage(updates, error), -1);
    auto *view = child<QLabel>(&popup, "mainView");
    QVERIFY2(view->text().startsWith("<h2>Brivex for Server and Extensions</h2>")
            && view->text().endsWith(shown),
        qPrintable(view->text()));
    QVERIFY(child<QCheckBox>(&popup, "updateCheck")->isHidden());
    popup.show();
    QTRY_VERIFY(popup.findChildren<QAbstractAnimation *>().isEmpty()); // risen
    // All of the message shows, beside the whole image (its corner of the
    // screen and its close button: the tray cases).
    QVERIFY(view->minimumSizeHint().width() <= view->width());
    QVERIFY(view->heightForWidth(view->width()) <= view->height());
    const auto *image = child<QLabel>(&popup, "leftPanel");
    QVERIFY(image->contentsRect().width() >= image->pixmap().width());
    auto *title = child<QWidget>(&popup, "titleBar");
    const QPoint corner = popup.pos();
    QTest::mousePress(title, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(title, QPoint(40, 25));
    QCOMPARE(popup.pos(), corner + QPoint(30, 20));
}

void TestGui::popupTimeOutNeverEarly()
{
    // A coarse timer may fire up to 5 % early: with 2 s started just after a
    // whole second of the monotonic clock, which its rounding prefers, 20 to
    // 100 ms early. The slide-out starts no earlier than the time-out.
    constexpr int timeoutMs = 2000;
    while (QDeadlineTimer::current().deadline() % 1000 / 10 != 2) { }
    QElapsedTimer elapsed;
    elapsed.start();
    NotificationPopup popup(QStringLiteral("m"), timeoutMs);
    popup.show();
    // The slide-out runs in a loop of its own; a timer sees it start.
    qint64 closingAt = -1;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    connect(&watch, &QTimer::timeout, &popup, [&] {
        if (closingAt < 0 && elapsed.elapsed() > timeoutMs / 2
            && !popup.findChildren<QAbstractAnimation *>().isEmpty())
            closingAt = elapsed.elapsed();
    });
    watch.start(1);
    QTRY_VERIFY_WITH_TIMEOUT(closingAt >= 0, 2 * timeoutMs);
    QVERIFY2(closingAt >= timeoutMs, qPrintable(QString::number(closingAt)));
}

namespace {

// The tray mode as a process of its own, with short time limits, for the
// end-to-end cases that need them: tst_gui --child-tray MS URL [-l LOG].
int trayChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int limitMs = QByteArray(argv[2]).toInt();
    if (argc > 5 && qstrcmp(argv[4], "-l") == 0)
        Logger::instance()->init(QString::fromLocal8Bit(argv[5]), LogLevel::Verbose);
    QCoreApplication::setOrganizationName(QStringLiteral("Zedo"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    Common::instance()->readSettings();
    DownloadSettings settings;
    settings.url = QString::fromLocal8Bit(argv[3]);
    BrivexConfig::instance()->init();
    IconWindow tray(settings, {limitMs, limitMs});
    Logger::instance()->close();
    return 0;
}

} // namespace

KORVANE_TEST_MAIN_WITH_CHILD(QApplication, TestGui, trayChild)
#include "tst_gui.moc"
