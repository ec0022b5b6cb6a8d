#include "catalogue/curlcommand.h"
#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "downloadprobe.h"
#include "httptestserver.h"
#include "logrecorder.h"
#include "proxyenvironment.h"
#include "scopedenvironment.h"
#include "stdoutcapture.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

const QByteArray kCatalogue = R"({"Patches":[{"Name":"Fix"}]})";
const QByteArray kUtf8Catalogue = "{\"Name\":\"Caf\xC3\xA9\"}";
const QByteArray kBom = "\xEF\xBB\xBF";

} // namespace

class TestCurl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void catalogueArrives_data();
    void catalogueArrives();
    void failureIsReported_data();
    void failureIsReported();
    void missingCurl();
    void proxySecretsStayOffTheCommandLine();
    void configValuesAreQuoted_data();
    void configValuesAreQuoted();

private:
    TemporaryHome m_home;
    HttpTestServer m_server;
    LogRecorder m_log;
};

void TestCurl::initTestCase()
{
    clearProxyEnvironment();
    // curl reads ~/.curlrc: the tests' own home has none.
    qputenv("HOME", m_home.path().toLocal8Bit());
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty(),
        "curl is not installed (scripts/deps.sh installs it)");
    QVERIFY(m_server.isListening());

    m_server.route("/plain", 200, kCatalogue);
    m_server.redirect("/r302", 302, "/plain");
    m_server.route("/nul", 200, kCatalogue + QByteArray(1, '\0') + "garbage");
    m_server.route("/bom", 200, kBom + kUtf8Catalogue);
    m_server.route("/error500", 500, "<html>oops</html>");
    m_server.route("/empty", 200, "");
    m_server.truncated("/truncated", kCatalogue, 4096);
    m_server.redirect("/to-file", 302, "file:///etc/passwd");
}

void TestCurl::init()
{
    resetDownloadSettings(true);
    m_log.restart();
}

void TestCurl::catalogueArrives_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("200") << "/plain" << kCatalogue;
    QTest::newRow("redirect is followed") << "/r302" << kCatalogue;
    QTest::newRow("text ends at a NUL byte") << "/nul" << kCatalogue;
    QTest::newRow("UTF-8 with byte-order mark") << "/bom" << kUtf8Catalogue;
}

void TestCurl::catalogueArrives()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, expected);

    const DownloadOutcome outcome = downloadCatalogue(m_server.url(path));

    QCOMPARE(outcome.bytes, expected);
    QCOMPARE(outcome.console, QString());
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNone));
    QCOMPARE(m_log.messages(),
        QStringList({QStringLiteral("Info: Using curl to retrieve JSON patch list."),
            QStringLiteral("Info: curl exit status = 0"),
            QStringLiteral("Info: %1 bytes of JSON recieved.").arg(expected.size())}));
}

void TestCurl::failureIsReported_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("message"); // a regular expression

    QTest::newRow("HTTP error page is not a catalogue")
        << m_server.url("/missing")
        << QStringLiteral(
               "An error occurred: curl: \\(22\\) The requested URL returned error: 404 \\(22\\)");
    QTest::newRow("500") << m_server.url("/error500")
                         << QStringLiteral("An error occurred: curl: \\(22\\) .*500 \\(22\\)");
    QTest::newRow("unresolvable host")
        << "http://korvane-catalogue.invalid/korvane/patches.json"
        << QStringLiteral("An error occurred: curl: \\(6\\) .+ \\(6\\)");
    QTest::newRow("connection refused")
        << QStringLiteral("http://127.0.0.1:%1/patches.json").arg(HttpTestServer::unusedPort())
        << QStringLiteral("An error occurred: curl: \\(7\\) .+ \\(7\\)");
    QTest::newRow("truncated response") << m_server.url(
        "/truncated") << QStringLiteral("An error occurred: curl: \\(18\\) .+ \\(18\\)");
    QTest::newRow("redirect to a local file") << m_server.url(
        "/to-file") << QStringLiteral("An error occurred: curl: \\(1\\) .+ \\(1\\)");
    QTest::newRow("empty body") << m_server.url(
        "/empty") << QStringLiteral("The update server sent an empty patch catalogue\\.");
    QTest::newRow("URL that looks like an option")
        << "--version" << QStringLiteral("An error occurred: curl: \\(\\d+\\) .+ \\(\\d+\\)");
}

void TestCurl::failureIsReported()
{
    QFETCH(QString, url);
    QFETCH(QString, message);

    const DownloadOutcome outcome = downloadCatalogue(url);

    QVERIFY(outcome.bytes.isEmpty());
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNetwork));
    const QRegularExpression console(QStringLiteral("^<<<< %1 >>>>\n$").arg(message));
    QVERIFY2(console.match(outcome.console).hasMatch(), qPrintable(outcome.console));
    const QStringList log = m_log.messages();
    QVERIFY2(
        QRegularExpression(QStringLiteral("^Error: %1$").arg(message)).match(log.last()).hasMatch(),
        qPrintable(log.join(QLatin1Char('\n'))));
}

void TestCurl::missingCurl()
{
    const DownloadOutcome outcome = [this] {
        const ScopedEnvironment path("PATH", m_home.path().toLocal8Bit());
        return downloadCatalogue(m_server.url("/plain"));
    }();

    QVERIFY(outcome.bytes.isEmpty());
    QCOMPARE(outcome.console,
        QStringLiteral("<<<< An error occurred: curl could not be started (-1) >>>>\n"));
    QCOMPARE(Common::instance()->lastError, int(Common::ErrNetwork));
    QCOMPARE(m_log.messages().last(),
        QStringLiteral("Error: An error occurred: curl could not be started (-1)"));
}

void TestCurl::proxySecretsStayOffTheCommandLine()
{
    // A curl in front of the real one records what it was given. The test
    // server plays the proxy: it sees the request line and the credentials.
    const QString realCurl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    const QString dir = m_home.filePath(QStringLiteral("spy"));
    const QString script = QStringLiteral("#!/bin/sh\n"
                                          "printf '%s\\n' \"$@\" > '%1/arguments'\n"
                                          "tee '%1/config' | '%2' \"$@\"\n")
                               .arg(dir, realCurl);
    const QString spy = m_home.writeFile(QStringLiteral("spy/curl"), script.toUtf8());
    QVERIFY(QFile::setPermissions(spy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const QString user = QStringLiteral("korv:ane@x");
    const QString password = QStringLiteral("p@ss:w\"rd%\\ \u00e9");
    Common *store = Common::instance();
    store->useProxy = true;
    store->proxy = QNetworkProxy(
        QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), m_server.port(), user, password);

    const DownloadOutcome outcome = [&] {
        const ScopedEnvironment path("PATH", dir.toLocal8Bit() + ':' + qgetenv("PATH"));
        return downloadCatalogue(QStringLiteral("http://catalogue.invalid/plain"));
    }();

    QCOMPARE(outcome.bytes, kCatalogue);
    const HttpTest::Request request = m_server.requests().last();
    QCOMPARE(request.target, QByteArray("http://catalogue.invalid/plain"));
    QCOMPARE(request.header("Proxy-Authorization"),
        "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64());
    const QByteArray arguments = m_home.readFile(QStringLiteral("spy/arguments"));
    QVERIFY2(!arguments.contains("p@ss") && !arguments.contains("korv"), arguments.constData());
    QVERIFY(arguments.contains("http://catalogue.invalid/plain"));
    QVERIFY(m_home.readFile(QStringLiteral("spy/config"))
                .startsWith("proxy = \"http://korv%3Aane%40x:"));
}

void TestCurl::configValuesAreQuoted_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("quoted");
    QTest::newRow("plain") << QByteArray("host") << QByteArray("\"host\"");
    QTest::newRow("quote and backslash") << QByteArray("a\"b\\c") << QByteArray(R"("a\"b\\c")");
    QTest::newRow("line breaks cannot start a new option") << QByteArray(
        "h\nurl = file:///etc/passwd\r\t") << QByteArray(R"("h\nurl = file:///etc/passwd\r\t")");
}

void TestCurl::configValuesAreQuoted()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, quoted);
    QCOMPARE(CurlCommand::quoted(value), quoted);
}

KORVANE_TEST_MAIN(TestCurl)
#include "tst_curl.moc"
