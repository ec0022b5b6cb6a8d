#include "catalogue/updaterequest.h"
#include "core/common.h"
#include "httptestserver.h"
#include "logrecorder.h"
#include "proxyenvironment.h"
#include "stdoutcapture.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "tinyproxyprocess.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const QByteArray kCatalogue = R"({"Patches":[{"Name":"Fix"}]})";
const QString kUser = QStringLiteral("korvane");
const QString kPassword = QStringLiteral("s3cret.pw");
const QString kNoHostWarning = QStringLiteral(
    "Warning: The proxy is switched on but no proxy host is set; connecting without a proxy.");

enum class ProxyPort { Tinyproxy, Closed };

} // namespace

class TestProxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void throughProxy_data();
    void throughProxy();

private:
    TemporaryHome m_home;
    HttpTestServer m_server;
    TinyproxyProcess m_proxy {kUser, kPassword};
    LogRecorder m_log;
};

void TestProxy::initTestCase()
{
    clearProxyEnvironment();
    qputenv("HOME", m_home.path().toLocal8Bit());
    m_home.useForSettings();
    QVERIFY(m_server.isListening());
    QVERIFY2(m_proxy.start(), qPrintable(m_proxy.errorString()));
    m_server.route("/korvane/patches.json", 200, kCatalogue);
}

void TestProxy::throughProxy_data()
{
    QTest::addColumn<bool>("curl");
    QTest::addColumn<bool>("switchedOn");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("arrives");
    QTest::addColumn<bool>("viaProxy");
    QTest::addColumn<QString>("logged"); // a line the log must hold, or a pattern of the failure

    const QString localhost = QStringLiteral("127.0.0.1");
    const int tinyproxy = int(ProxyPort::Tinyproxy);
    const int closed = int(ProxyPort::Closed);
    for (const bool curl : {false, true}) {
        const char *path = curl ? "curl" : "Qt";
        QTest::addRow("%s: right credentials", path)
            << curl << true << localhost << tinyproxy << kPassword << true << true << QString();
        QTest::addRow("%s: wrong credentials", path)
            << curl << true << localhost << tinyproxy << QStringLiteral("wrong") << false << false
            << QStringLiteral("Error: An error occurred: .+ \\(\\d+\\)");
        QTest::addRow("%s: proxy refuses the connection", path)
            << curl << true << localhost << closed << kPassword << false << false
            << QStringLiteral("Error: An error occurred: .+ \\(\\d+\\)");
        QTest::addRow("%s: proxy on without host goes direct", path)
            << curl << true << QString() << tinyproxy << kPassword << true << false
            << kNoHostWarning;
        QTest::addRow("%s: stored proxy switched off is not used", path)
            << curl << false << localhost << tinyproxy << kPassword << true << false << QString();
    }
}

void TestProxy::throughProxy()
{
    QFETCH(bool, curl);
    QFETCH(bool, switchedOn);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, password);
    QFETCH(bool, arrives);
    QFETCH(bool, viaProxy);
    QFETCH(QString, logged);

    Common *store = Common::instance();
    store->useCurl = curl;
    store->useProxy = switchedOn;
    store->lastError = Common::ErrNone;
    const quint16 proxyPort
        = ProxyPort(port) == ProxyPort::Tinyproxy ? m_proxy.port() : HttpTestServer::unusedPort();
    store->proxy = QNetworkProxy(QNetworkProxy::HttpProxy, host, proxyPort, kUser, password);
    m_log.restart();
    const int requestsBefore = int(m_server.requests().size());

    StdoutCapture capture;
    const UpdateRequest request(m_server.url(QStringLiteral("/korvane/patches.json")));
    const QString console = capture.text();

    const QStringList log = m_log.messages();
    const QString context = console + log.join(QLatin1Char('\n')) + m_proxy.log().right(2000);
    if (arrives) {
        QCOMPARE(request.jsonBytes(), kCatalogue);
        QCOMPARE(console, QString());
        QCOMPARE(store->lastError, int(Common::ErrNone));
        const QByteArray via = m_server.requests().last().header("Via");
        QVERIFY2(via.contains("tinyproxy") == viaProxy, via.constData());
        if (!logged.isEmpty())
            QVERIFY2(log.contains(logged), qPrintable(context));
    } else {
        QVERIFY(request.jsonBytes().isEmpty());
        QCOMPARE(store->lastError, int(Common::ErrNetwork));
        QVERIFY2(QRegularExpression(QStringLiteral("^<<<< An error occurred: .+ >>>>\n$"))
                     .match(console)
                     .hasMatch(),
            qPrintable(context));
        QVERIFY2(QRegularExpression(QLatin1Char('^') + logged + QLatin1Char('$'))
                     .match(log.last())
                     .hasMatch(),
            qPrintable(context));
        QCOMPARE(int(m_server.requests().size()), requestsBefore);
    }
}

KORVANE_TEST_MAIN(TestProxy)
#include "tst_proxy.moc"
