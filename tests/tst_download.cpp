#include "catalogue/brivexupdate.h"
#include "catalogue/networkutils.h"
#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "logrecorder.h"
#include "loopbackservice.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QStandardPaths>

#include <memory>

namespace {

const char *const kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
    "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"};

QJsonObject route(int status, const QString &body, const QJsonObject &headers = {})
{
    return {{"status", status}, {"body", body}, {"headers", headers}};
}

QJsonObject redirect(const QString &location)
{
    return route(302, QString(), {{"Location", location}});
}

// "body: <text>" or "error <code>: <title>: <message>".
QString outcome(const UpdateRequest &request)
{
    if (request.error().failed())
        return QStringLiteral("error %1: %2: %3")
            .arg(request.error().code)
            .arg(request.error().title, request.error().message);
    return QStringLiteral("body: ") + QString::fromUtf8(request.json());
}

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void transfer_data();
    void transfer();
    void throughTinyproxy_data();
    void throughTinyproxy();
    void proxyWithoutHost();
    void unreadableCatalogueIsACheckError();
    void proxyUrl_data();
    void proxyUrl();

private:
    DownloadSettings settings(const QString &path, bool curl) const;

    std::unique_ptr<TestHttpServer> m_server;
};

void TestDownload::initTestCase()
{
    for (const char *name : kProxyVariables)
        qunsetenv(name); // the tests decide which proxy is used
    m_server = std::make_unique<TestHttpServer>(QJsonObject {
        {"/ok", route(200, QStringLiteral("{\"Product\":[]}"))},
        {"/missing", route(404, QStringLiteral("gone"))},
        {"/empty", route(200, QString())},
        {"/bom", route(200, QStringLiteral("\uFEFF{\"a\":\"\u00e9\"}\u0000junk"))},
        {"/broken", route(200, QStringLiteral("<html>Moved</html>"))},
        {"/redirect", redirect(QStringLiteral("/ok"))},
        {"/twice", redirect(QStringLiteral("/redirect"))},
        {"/to-file", redirect(QStringLiteral("file:///etc/passwd"))},
        {"/stall", QJsonObject {{"mode", "stall"}}},
    });
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
}

DownloadSettings TestDownload::settings(const QString &path, bool curl) const
{
    DownloadSettings settings;
    settings.url = m_server->url(path);
    settings.useCurl = curl;
    settings.timeoutMs = 300;
    settings.curlTimeoutMs = 300;
    return settings;
}

void TestDownload::transfer_data()
{
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    const QString ok = QStringLiteral("body: {\"Product\":[]}");
    const struct
    {
        const char *path;
        QString builtin;
        QString curl;
    } rows[] = {
        {"/ok", ok, ok},
        {"/missing",
            "error 3: Network Error: An error occurred: Error transferring %1 - server replied: "
            "Not Found (203)",
            "error 3: Network Error: An error occurred: curl: (22) The requested URL returned "
            "error: 404 (22)"},
        {"/empty", "error 3: Network Error: The update server sent an empty patch catalogue.",
            "error 3: Network Error: The update server sent an empty patch catalogue."},
        {"/bom", QStringLiteral("body: {\"a\":\"\u00e9\"}"),
            QStringLiteral("body: {\"a\":\"\u00e9\"}")},
        {"/redirect", ok, ok},
        {"/twice",
            "error 3: Network Error: An error occurred: The update server redirected the request "
            "more than once. (10)",
            ok},
        {"/to-file",
            "error 3: Network Error: An error occurred: The update server redirected to "
            "file:///etc/passwd, which is not an http or https address. (399)",
            "error 3: Network Error: An error occurred: curl: (1) Protocol \"file\" not supported "
            "or disabled in libcurl (1)"},
        {"/stall",
            "error 3: Network Timeout: A network timeout occurred.  Please make sure you are "
            "connected to the internet.",
            "error 3: Network Error: An error occurred: curl did not finish within 1 seconds (-1)"},
    };
    for (const auto &row : rows) {
        QTest::addRow("built-in %s", row.path) << false << row.path << row.builtin;
        QTest::addRow("curl %s", row.path) << true << row.path << row.curl;
    }
}

void TestDownload::transfer()
{
    QFETCH(bool, curl);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QElapsedTimer clock;
    clock.start();
    const UpdateRequest request(settings(path, curl));
    if (expected.contains(QLatin1String("%1")))
        expected = expected.arg(m_server->url(path));
    QCOMPARE(outcome(request), expected);
    QVERIFY(clock.elapsed() < 5000); // the 300 ms limits hold
}

void TestDownload::throughTinyproxy_data()
{
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    const QString ok = QStringLiteral("body: {\"Product\":[]}");
    QTest::newRow("built-in") << false << "s3cr.t_" << ok;
    QTest::newRow("curl") << true << "s3cr.t_" << ok;
    QTest::newRow("built-in, wrong password")
        << false << "wrong"
        << "error 3: Network Error: An error occurred: Host requires authentication (204)";
    QTest::newRow("curl, wrong password") << true << "wrong"
                                          << "error 3: Network Error: An error occurred: curl: "
                                             "(22) The requested URL returned error: "
                                             "401 (22)";
}

void TestDownload::throughTinyproxy()
{
    QFETCH(bool, curl);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    LoopbackService proxy(
        {QStringLiteral("tinyproxy"), QStringLiteral("alice"), QStringLiteral("s3cr.t_")});
    if (QStandardPaths::findExecutable(QStringLiteral("tinyproxy")).isEmpty())
        QSKIP("tinyproxy is not installed (scripts/deps.sh installs it)");
    QVERIFY2(proxy.start(), qPrintable(proxy.errorString()));
    DownloadSettings through = settings(QStringLiteral("/ok"), curl);
    through.timeoutMs = through.curlTimeoutMs = 10000;
    through.useProxy = true;
    through.proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"),
        proxy.port(), QStringLiteral("alice"), password);
    const int before = m_server->requests().count(QStringLiteral("GET /ok via"));
    const UpdateRequest request(through);
    QCOMPARE(outcome(request), expected);
    QCOMPARE(m_server->requests().count(QStringLiteral("GET /ok via")),
        before + (request.error().failed() ? 0 : 1));
}

void TestDownload::proxyWithoutHost()
{
    // Switched on without a host: the front end is asked; without one to
    // ask (console), the download warns and connects directly.
    LogRecorder log;
    DownloadSettings direct = settings(QStringLiteral("/ok"), false);
    direct.useProxy = true;
    QCOMPARE(outcome(UpdateRequest(direct)), QStringLiteral("body: {\"Product\":[]}"));
    QVERIFY(log.messages().contains(
        "Warning: The proxy is switched on but no proxy host is set; connecting without a proxy."));

    int asked = 0;
    direct.askForProxyHost = [&asked](DownloadSettings &s) {
        ++asked;
        s.proxy.setHostName(QStringLiteral("127.0.0.1"));
        s.proxy.setPort(1); // nothing listens there
    };
    QVERIFY(UpdateRequest(direct).error().failed());
    QCOMPARE(asked, 1);
    direct.useCurl = true; // curl has no desktop to ask
    QCOMPARE(outcome(UpdateRequest(direct)), QStringLiteral("body: {\"Product\":[]}"));
    QCOMPARE(asked, 1);
}

void TestDownload::unreadableCatalogueIsACheckError()
{
    const BrivexUpdate update(settings(QStringLiteral("/broken"), false));
    QCOMPARE(update.error().code, int(Common::ErrCatalogue));
    QCOMPARE(update.error().message,
        QStringLiteral("The patch catalogue could not be read: illegal value at offset 1"));
    QVERIFY(update.patchList().isEmpty());
}

void TestDownload::proxyUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy"); // "user|password|host|port"
    const struct
    {
        const char *row, *url, *proxy;
    } rows[] = {
        {"host and port", "http://proxyhost:3128", "||proxyhost|3128"},
        {"no port: 80", "http://proxyhost", "||proxyhost|80"},
        {"no scheme", "proxyhost:3128", "||proxyhost|3128"},
        {"other scheme", "https://h:1", "||h|1"},
        {"credentials", "http://u:p@proxy.example:3128", "u|p|proxy.example|3128"},
        {"credentials, no port", "http://u:p@h", "u|p|h|80"},
        {"port above 65535 keeps 16 bits", "http://h:70000", "||h|4464"},
        {"port not a number", "http://h:abc", "||h|0"},
        {"'@' with too few parts: no host", "http://user@proxy", "|||80"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.row) << r.url << r.proxy;
}

void TestDownload::proxyUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    const QNetworkProxy parsed = Utils::networkProxyFromURL(url);
    QCOMPARE(QStringList({parsed.user(), parsed.password(), parsed.hostName(),
                             QString::number(parsed.port())})
                 .join(u'|'),
        proxy);
    QCOMPARE(parsed.type(), QNetworkProxy::HttpProxy);
}

KORVANE_TEST_MAIN(QCoreApplication, TestDownload)
#include "tst_download.moc"
