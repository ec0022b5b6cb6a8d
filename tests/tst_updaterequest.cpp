#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "downloadprobe.h"
#include "httptestserver.h"
#include "logrecorder.h"
#include "proxyenvironment.h"
#include "stdoutcapture.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTest>

namespace {

const QByteArray kCatalogue = R"({"Patches":[{"Name":"Fix"}]})";
const QByteArray kUtf8Catalogue = "{\"Name\":\"Caf\xC3\xA9 \xE2\x82\xAC\"}";
const QByteArray kBom = "\xEF\xBB\xBF";
const QString kTimeoutMessage = QStringLiteral(
    "A network timeout occurred.  Please make sure you are connected to the internet.");

} // namespace

class TestUpdateRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void catalogueArrives_data();
    void catalogueArrives();
    void failureIsReported_data();
    void failureIsReported();
    void largeBody();
    void offlineCopy();
    void untrustedCertificateFails();
    void stalledServerTimesOut_data();
    void stalledServerTimesOut();

private:
    TemporaryHome m_home;
    HttpTestServer m_server;
    LogRecorder m_log;
};

void TestUpdateRequest::initTestCase()
{
    clearProxyEnvironment();
    m_home.useForSettings();
    QVERIFY(m_server.isListening());

    m_server.route("/plain", 200, kCatalogue);
    for (int status : {301, 302, 303, 307, 308})
        m_server.redirect(
            QStringLiteral("/r%1").arg(status), status, m_server.url("/plain").toUtf8());
    m_server.redirect("/dir/relative", 302, "../plain");
    m_server.redirect("/path-only", 301, "/plain");
    m_server.route("/nul", 200, kCatalogue + QByteArray(1, '\0') + "trailing garbage");
    m_server.route("/utf8", 200, kUtf8Catalogue);
    m_server.route("/bom", 200, kBom + kUtf8Catalogue);
    m_server.route("/bom-nul", 200, kBom + kCatalogue + QByteArray(1, '\0') + "x");

    m_server.redirect("/hop1", 302, "/hop2");
    m_server.redirect("/hop2", 302, "/never");
    m_server.route("/never", 200, kCatalogue);
    m_server.route("/error500", 500, "<html>oops</html>");
    m_server.redirect("/no-location", 302, "");
    m_server.redirect("/to-file", 302, "file:///etc/passwd");
    m_server.redirect("/to-invalid", 307, "http://[::1");
    m_server.route("/empty", 200, "");
    m_server.route("/starts-with-nul", 200, QByteArray(1, '\0') + kCatalogue);
    m_server.route("/only-bom", 200, kBom);
    m_server.truncated("/truncated", kCatalogue, 4096);
    m_server.raw("/closed", "");
    m_server.stall("/stall");
    m_server.redirect("/to-stall", 302, "/stall");
}

void TestUpdateRequest::init()
{
    resetDownloadSettings(false);
    m_log.restart();
}

void TestUpdateRequest::catalogueArrives_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("redirectedTo");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("received");

    const int size = int(kCatalogue.size());
    QTest::newRow("200") << "/plain" << QString() << kCatalogue << size;
    for (int status : {301, 302, 303, 307, 308}) {
        QTest::addRow("%d is followed", status)
            << QStringLiteral("/r%1").arg(status) << "/plain" << kCatalogue << size;
    }
    QTest::newRow("relative Location is resolved") << "/dir/relative"
                                                   << "/plain" << kCatalogue << size;
    QTest::newRow("Location with a path only") << "/path-only"
                                               << "/plain" << kCatalogue << size;
    QTest::newRow("text ends at a NUL byte, count does not")
        << "/nul" << QString() << kCatalogue << size + 1 + 16;
    QTest::newRow("UTF-8") << "/utf8" << QString() << kUtf8Catalogue << int(kUtf8Catalogue.size());
    QTest::newRow("UTF-8 with byte-order mark")
        << "/bom" << QString() << kUtf8Catalogue << int(kUtf8Catalogue.size()) + 3;
    QTest::newRow("byte-order mark and NUL") << "/bom-nul" << QString() << kCatalogue << size + 5;
}

void TestUpdateRequest::catalogueArrives()
{
    QFETCH(QString, path);
    QFETCH(QString, redirectedTo);
    QFETCH(QByteArray, expected);
    QFETCH(int, received);

    const DownloadOutcome outcome = downloadCatalogue(m_server.url(path));

    QCOMPARE(outcome.bytes, expected);
    QCOMPARE(outcome.text, QString::fromUtf8(expected));
    QCOMPARE(outcome.console, QString());
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNone));
    QStringList log {
        QStringLiteral("Info: Connecting to update server (%1)").arg(m_server.url(path))};
    if (!redirectedTo.isEmpty())
        log << QStringLiteral("Info: Redirecting to %1").arg(m_server.url(redirectedTo));
    log << QStringLiteral("Info: %1 bytes of JSON received.").arg(received);
    QCOMPARE(m_log.messages(), log);
}

void TestUpdateRequest::failureIsReported_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("message"); // a regular expression

    const auto error = [](const QString &reason, int code) {
        return QRegularExpression::escape(
            QStringLiteral("An error occurred: %1 (%2)").arg(reason).arg(code));
    };
    const auto anyReason
        = [](int code) { return QStringLiteral("An error occurred: .+ \\(%1\\)").arg(code); };
    const QString empty = QStringLiteral("The update server sent an empty patch catalogue\\.");
    const QString noTarget
        = QStringLiteral("The update server sent a redirect without a valid target address.");

    QTest::newRow("404") << m_server.url("/missing")
                         << error(
                                QStringLiteral("Error transferring %1 - server replied: Not Found")
                                    .arg(m_server.url("/missing")),
                                203);
    QTest::newRow("500") << m_server.url("/error500") << anyReason(401);
    QTest::newRow("second redirect is not followed")
        << m_server.url("/hop1")
        << error(QStringLiteral("The update server redirected the request more than once."), 10);
    QTest::newRow("redirect without Location")
        << m_server.url("/no-location") << error(noTarget, 399);
    QTest::newRow("redirect to an invalid address")
        << m_server.url("/to-invalid") << error(noTarget, 399);
    QTest::newRow("redirect to a local file")
        << m_server.url("/to-file")
        << error(QStringLiteral("The update server redirected to file:///etc/passwd, which is not "
                                "an http or https address."),
               399);
    QTest::newRow("empty body") << m_server.url("/empty") << empty;
    QTest::newRow("body starts with NUL") << m_server.url("/starts-with-nul") << empty;
    QTest::newRow("only a byte-order mark") << m_server.url("/only-bom") << empty;
    QTest::newRow("truncated response") << m_server.url("/truncated") << anyReason(2);
    QTest::newRow("connection closed without answer") << m_server.url("/closed") << anyReason(2);
    QTest::newRow("unresolvable host")
        << "http://korvane-catalogue.invalid/korvane/patches.json" << anyReason(3);
    QTest::newRow("connection refused")
        << QStringLiteral("http://127.0.0.1:%1/korvane/patches.json")
               .arg(HttpTestServer::unusedPort())
        << anyReason(1);
    QTest::newRow("empty URL") << "" << anyReason(301);
    QTest::newRow("URL without scheme")
        << "downloads.example/korvane/patches.json" << anyReason(301);
    QTest::newRow("unsupported scheme") << "gopher://127.0.0.1/patches.json" << anyReason(301);
    QTest::newRow("missing offline copy")
        << "file:///nonexistent/korvane/patches.json" << anyReason(203);
    QTest::newRow("directory as offline copy") << "file:///" << anyReason(202);
}

void TestUpdateRequest::failureIsReported()
{
    QFETCH(QString, url);
    QFETCH(QString, message);

    const DownloadOutcome outcome = downloadCatalogue(url);

    QVERIFY(outcome.bytes.isEmpty());
    QVERIFY(outcome.text.isEmpty());
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNetwork));
    const QRegularExpression console(QStringLiteral("^<<<< %1 >>>>\n$").arg(message));
    QVERIFY2(console.match(outcome.console).hasMatch(), qPrintable(outcome.console));
    const QStringList log = m_log.messages();
    QVERIFY2(
        QRegularExpression(QStringLiteral("^Error: %1$").arg(message)).match(log.last()).hasMatch(),
        qPrintable(log.join(QLatin1Char('\n'))));
    QCOMPARE(m_server.hits("/never"), 0);
}

void TestUpdateRequest::largeBody()
{
    const QByteArray body(50 * 1024 * 1024, 'x');
    m_server.route("/large", 200, body);
    const DownloadOutcome outcome = downloadCatalogue(m_server.url("/large"));
    m_server.route("/large", 200, QByteArray());
    QCOMPARE(outcome.bytes.size(), body.size());
    QVERIFY(outcome.bytes == body);
    QVERIFY(m_log.messages().contains(QStringLiteral("Info: 52428800 bytes of JSON received.")));
}

void TestUpdateRequest::offlineCopy()
{
    const QString path
        = m_home.writeFile(QStringLiteral("copy/patches.json"), kBom + kUtf8Catalogue);
    const QString url = QUrl::fromLocalFile(path).toString();

    const DownloadOutcome outcome = downloadCatalogue(url);

    QCOMPARE(outcome.text, QString::fromUtf8(kUtf8Catalogue));
    QCOMPARE(outcome.console, QString());
    QCOMPARE(m_log.messages(),
        QStringList({QStringLiteral("Info: Connecting to update server (%1)").arg(url),
            QStringLiteral("Info: %1 bytes of JSON received.").arg(kUtf8Catalogue.size() + 3)}));
}

void TestUpdateRequest::untrustedCertificateFails()
{
    if (!QSslSocket::supportsSsl())
        QSKIP("No TLS backend");
    const QString dir
        = qEnvironmentVariable("KORVANE_SOURCE_DIR") + QStringLiteral("/tests/data/tls/");
    QFile certificate(dir + QStringLiteral("selfsigned.crt"));
    QFile key(dir + QStringLiteral("selfsigned.key"));
    QVERIFY(certificate.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly));
    HttpTestServer tlsServer;
    tlsServer.useTls(QSslCertificate(&certificate), QSslKey(&key, QSsl::Rsa));
    tlsServer.route("/plain", 200, kCatalogue);

    const DownloadOutcome outcome = downloadCatalogue(tlsServer.url("/plain"));

    QVERIFY(outcome.bytes.isEmpty());
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNetwork));
    QVERIFY2(QRegularExpression(QStringLiteral("^<<<< An error occurred: .+ \\(6\\) >>>>\n$"))
                 .match(outcome.console)
                 .hasMatch(),
        qPrintable(outcome.console));
    const QStringList log = m_log.messages();
    QVERIFY2(log.contains(QStringLiteral(
                 "Warning: SSL Error: The certificate is self-signed, and untrusted")),
        qPrintable(log.join(QLatin1Char('\n'))));
    QCOMPARE(tlsServer.hits("/plain"), 0);
}

void TestUpdateRequest::stalledServerTimesOut_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("server never answers") << "/stall";
    QTest::newRow("redirect target never answers: same deadline") << "/to-stall";
}

void TestUpdateRequest::stalledServerTimesOut()
{
    QFETCH(QString, path);
    QElapsedTimer clock;
    clock.start();

    const DownloadOutcome outcome = downloadCatalogue(m_server.url(path));

    // Given up at the 15 s deadline, counted from the first request.
    QVERIFY2(clock.elapsed() >= 14000 && clock.elapsed() < 25000,
        qPrintable(QString::number(clock.elapsed())));
    QVERIFY(outcome.bytes.isEmpty());
    QCOMPARE(outcome.console, QStringLiteral("<<<< %1 >>>>\n").arg(kTimeoutMessage));
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNetwork));
    QCOMPARE(m_log.messages().last(), QStringLiteral("Error: ") + kTimeoutMessage);
}

KORVANE_TEST_MAIN(TestUpdateRequest)
#include "tst_updaterequest.moc"
