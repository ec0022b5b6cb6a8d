#include "catalogue/networkutils.h"
#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "logrecorder.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>

#include <memory>

namespace {

const char *const kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
    "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"};

// "error <code>: <title>: <message>", or the body.
QString outcome(const UpdateRequest &request)
{
    const CheckError &error = request.error();
    return error.failed()
        ? QStringLiteral("error %1: %2: %3").arg(error.code).arg(error.title, error.message)
        : QString::fromUtf8(request.json());
}

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void timeLimits_data();
    void timeLimits();
    void proxyWithoutHost();
    void proxyUrl_data();
    void proxyUrl();

private:
    DownloadSettings settings(bool curl) const;

    QTcpServer m_server; // accepts connections and never answers
};

void TestDownload::initTestCase()
{
    for (const char *name : kProxyVariables)
        qunsetenv(name); // the tests decide which proxy is used
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
}

DownloadSettings TestDownload::settings(bool curl) const
{
    DownloadSettings settings;
    settings.url
        = QStringLiteral("http://127.0.0.1:%1/korvane/patches.json").arg(m_server.serverPort());
    settings.useCurl = curl;
    settings.timeoutMs = 300;
    settings.curlTimeoutMs = 300;
    return settings;
}

void TestDownload::timeLimits_data()
{
    // Everything else the download does is shown end to end (tests/e2e).
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("expected");
    QTest::newRow("built-in") << false
                              << "error 3: Network Timeout: A network timeout occurred.  Please "
                                 "make sure you are connected to the internet.";
    QTest::newRow("curl") << true
                          << "error 3: Network Error: An error occurred: curl did not finish "
                             "within 1 seconds (-1)";
}

void TestDownload::timeLimits()
{
    QFETCH(bool, curl);
    QFETCH(QString, expected);
    QElapsedTimer clock;
    clock.start();
    const UpdateRequest request(settings(curl));
    QCOMPARE(outcome(request), expected);
    QVERIFY(clock.elapsed() < 5000); // the 300 ms limits hold
}

void TestDownload::proxyWithoutHost()
{
    // Switched on without a host: the front end is asked; without one to ask
    // (console) the download warns and connects directly, to the server that
    // never answers. The proxy the front end gives refuses connections.
    LogRecorder log;
    DownloadSettings direct = settings(false);
    direct.useProxy = true;
    QCOMPARE(UpdateRequest(direct).error().title, QStringLiteral("Network Timeout"));
    QVERIFY(log.messages().contains(
        "Warning: The proxy is switched on but no proxy host is set; connecting without a proxy."));

    int asked = 0;
    direct.askForProxyHost = [&asked](DownloadSettings &s) {
        ++asked;
        s.proxy.setHostName(QStringLiteral("127.0.0.1"));
        s.proxy.setPort(1);
    };
    QVERIFY(UpdateRequest(direct).error().message.contains(QLatin1String("refused")));
    QCOMPARE(asked, 1);
    direct.useCurl = true; // curl runs without a desktop to ask
    QVERIFY(UpdateRequest(direct).error().message.contains(QLatin1String("did not finish")));
    QCOMPARE(asked, 1);
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
