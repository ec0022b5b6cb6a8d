#include "catalogue/brivexupdate.h"
#include "download/curldownload.h"
#include "download/networkutils.h"
#include "download/proxyurl.h"
#include "download/updaterequest.h"
#include "core/common.h"
#include "core/processend.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <memory>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
    "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"};

// Answers each connection, one at a time, with canned bytes on a thread of its
// own, so that it goes on while the code under test holds the test's thread
// (curl is waited for without an event loop).
class RawServer
{
public:
    enum class End {
        Close, // a FIN after the response
        Reset, // an RST instead
        Hold, // the connection stays open, silent
        Endless, // the filler is sent again and again
    };

    explicit RawServer(QByteArray response = {}, End end = End::Close, QByteArray filler = {})
    {
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        m_listener.pauseAccepting(); // the thread accepts, not Qt's event loop
        m_thread = std::thread([this, response, end, filler] {
            while (!m_stop) {
                const int client = ::accept4(int(m_listener.socketDescriptor()), nullptr, nullptr,
                    SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (client < 0) {
                    ::usleep(10000);
                    continue;
                }
                // The request is read up to its blank line, then answered.
                QByteArray request(4096, '\0');
                qsizetype got = 0;
                for (ssize_t read = 1; !m_stop && read != 0 && got < request.size()
                     && !request.first(got).contains("\r\n\r\n");) {
                    read = ::recv(client, request.data() + got, size_t(request.size() - got), 0);
                    got += std::max<ssize_t>(read, 0);
                    if (read < 0)
                        ::usleep(1000);
                }
                bool open = write(client, response);
                while (open && end == End::Endless)
                    open = write(client, filler);
                while (end == End::Hold && !m_stop && ::recv(client, request.data(), 1, 0) != 0)
                    ::usleep(10000);
                ::usleep(20000); // the client has read the body before the end comes
                const linger now {1, 0};
                if (end == End::Reset)
                    ::setsockopt(client, SOL_SOCKET, SO_LINGER, &now, sizeof now);
                ::close(client);
            }
        });
    }
    ~RawServer()
    {
        m_stop = true;
        m_thread.join();
    }
    Q_DISABLE_COPY(RawServer)

    quint16 port() const { return m_listener.serverPort(); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/c").arg(port()); }

private:
    // False once the client is gone or the test over.
    bool write(int client, QByteArrayView bytes)
    {
        while (!m_stop && !bytes.isEmpty()) {
            const ssize_t put = ::send(client, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
            if (put < 0 && errno != EAGAIN)
                return false;
            if (put < 0)
                ::usleep(1000);
            bytes = bytes.sliced(std::max<ssize_t>(put, 0));
        }
        return !m_stop;
    }

    QTcpServer m_listener;
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

QByteArray withBody(const QByteArray &statusLine, const QByteArray &body = "{\"Product\":[]}")
{
    return statusLine + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
        + body;
}

// The curl processes whose parent is pid.
QList<pid_t> curlsOf(qint64 pid)
{
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {"-x", "-P", QString::number(pid), "curl"});
    pgrep.waitForFinished();
    QList<pid_t> found;
    for (const QByteArray &line : pgrep.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            found.append(pid_t(line.toInt()));
    return found;
}

// Ended: gone, or a zombie that nobody has reaped yet.
bool ended(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void proxyUrl_data();
    void proxyUrl();
    void brokenBodyIsNeverACatalogue_data();
    void brokenBodyIsNeverACatalogue();
    void failureMessages_data();
    void failureMessages();
    void endsSoonAfterDeadline_data();
    void endsSoonAfterDeadline();
    void curlEndsWithTheProgram_data();
    void curlEndsWithTheProgram();
    void endsWithoutWaitingForHostLookup();
};

void TestDownload::initTestCase()
{
    for (const char *name : kProxyVariables)
        qunsetenv(name); // the tests decide which proxy is used
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty())
        QFAIL("curl is missing: scripts/deps.sh installs it");
}

void TestDownload::proxyUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy"); // "user|password|host|port"
    QTest::addColumn<QString>("masked"); // for messages and the log
    QFile file(QFINDTESTDATA("data/proxy-urls.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList cells = line.split(QStringLiteral(" ; "));
        if (!line.startsWith(u'#'))
            QTest::newRow(qPrintable(cells.value(0)))
                << cells.value(1) << cells.value(2) << cells.value(3, cells.value(1));
    }
}

void TestDownload::proxyUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(QString, masked);
    const QNetworkProxy parsed = Utils::networkProxyFromURL(url);
    QCOMPARE(QStringList({parsed.user(), parsed.password(), parsed.hostName(),
                             QString::number(parsed.port())})
                 .join(u'|'),
        proxy);
    QCOMPARE(parsed.type(), QNetworkProxy::HttpProxy);
    QCOMPARE(ProxyUrl::masked(url), masked);
}

void TestDownload::brokenBodyIsNeverACatalogue_data()
{
    // Qt may report a connection that ends early as a complete reply. A body
    // that is a whole catalogue but lacks announced bytes is as wrong as one
    // cut inside the JSON. Each is a race, run many times.
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("reset");
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray shortBody = ok + "Content-Length: 10000\r\n\r\n{\"Product\":[]}";
    QTest::newRow("Content-Length, short body, reset") << shortBody << true;
    QTest::newRow("Content-Length, short body, closed") << shortBody << false;
    QTest::newRow("chunked, cut inside a chunk") << chunked + "20\r\n{\"Product\":[" << false;
    QTest::newRow("chunked, no final chunk, reset") << chunked + "c\r\n{\"Product\":[\r\n" << true;
    QTest::newRow("chunked, bad chunk size") << chunked + "zz\r\n{\"Product\":[]}\r\n0\r\n\r\n"
                                             << false;
}

void TestDownload::brokenBodyIsNeverACatalogue()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, reset);
    const RawServer server(response, reset ? RawServer::End::Reset : RawServer::End::Close);
    DownloadSettings cut;
    cut.url = server.url();
    cut.timeoutMs = 5000;
    for (int run = 0; run < 50; ++run)
        QVERIFY2(BrivexUpdate(cut).error().failed(), qPrintable(QString::number(run)));
}

void TestDownload::failureMessages_data()
{
    // Each row is run with both clients; the message ends with the client's
    // code (%1). Without a code the client gets the catalogue.
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("url"); // @URL@: the server's
    QTest::addColumn<QString>("proxy"); // "host:port", through which to go
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("message"); // @URL@ as shown: no password
    const QString answered = QStringLiteral("The server answered %1 for @URL@");
    const QString proxy = QStringLiteral("The proxy %1. Check the proxy settings with korvane -s, "
                                         "or remove them with korvane -k.");
    const QString interim = QStringLiteral("The server sent an interim reply (%1) that the "
                                           "built-in client cannot pass over; curl can: run "
                                           "korvane with -r");
    const QString schemes = QStringLiteral("The catalogue address %1; use http://, https:// or "
                                           "file://");
    const QByteArray notFound = withBody("HTTP/1.1 404 Not Found", "gone");
    const QByteArray catalogue = withBody("HTTP/1.1 200 OK");
    const struct
    {
        const char *row;
        QByteArray response;
        QString url, proxy, message;
        const char *builtin, *curl; // the codes
    } rows[] = {
        {"404 Not Found", notFound, "@URL@", "", answered.arg("404 Not Found"), "203", "22"},
        {"password left out of the address", notFound, "http://reader:S3cr3t@@HOST@/c", "",
            answered.arg("404 Not Found").replace("@URL@", "http://reader@@HOST@/c"), "203", "22"},
        {"500, markup in the reason kept as text", withBody("HTTP/1.1 500 <img src=\"/dev/zero\">"),
            "@URL@", "", answered.arg("500 <img src=\"/dev/zero\">"), "401", "22"},
        {"control characters in the reason", withBody("HTTP/1.1 503 \x1b[2Jgone\x07 away"), "@URL@",
            "", answered.arg(QStringLiteral("503 \uFFFD[2Jgone\uFFFD away")), "403", "22"},
        {"a long reason cut", withBody("HTTP/1.1 404 " + QByteArray(300, 'x')), "@URL@", "",
            answered.arg("404 " + QString(79, u'x') + QChar(0x2026)), "203", "22"},
        {"no reason", withBody("HTTP/1.1 410"), "@URL@", "", answered.arg("410"), "207", "22"},
        {"300 without a place to go", withBody("HTTP/1.1 300 Multiple Choices"), "@URL@", "",
            answered.arg("300 Multiple Choices"), "299", "299"},
        {"103 Early Hints before the catalogue",
            "HTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n" + catalogue, "@URL@", "",
            interim.arg("103 Early Hints"), "399", nullptr},
        {"102 Processing before the catalogue", "HTTP/1.1 102 Processing\r\n\r\n" + catalogue,
            "@URL@", "", interim.arg("102 Processing"), "399", nullptr},
        {"100 Continue before the catalogue", "HTTP/1.1 100 Continue\r\n\r\n" + catalogue, "@URL@",
            "", "", nullptr, nullptr},
        {"proxy refuses", "", "@URL@", "127.0.0.1:1",
            proxy.arg("127.0.0.1:1 refused the connection"), "1", "7"},
        {"proxy not found", "", "@URL@", "proxy.invalid:3128",
            proxy.arg("proxy.invalid:3128 could not be found"), "3", "5"},
        {"no scheme", "", "@HOST@/c", "", schemes.arg("@HOST@/c has no scheme"), "301", "301"},
        {"a path", "", "/tmp/patches.json", "", schemes.arg("/tmp/patches.json has no scheme"),
            "301", "301"},
        {"another scheme", "", "ftp://@HOST@/c", "",
            schemes.arg("ftp://@HOST@/c has the scheme ftp:, which cannot be fetched"), "301",
            "301"},
    };
    for (const auto &r : rows) {
        for (const bool curl : {false, true}) {
            const char *code = curl ? r.curl : r.builtin;
            QTest::addRow("%s, %s", curl ? "curl" : "built-in", r.row)
                << r.response << r.url << r.proxy << curl
                << (code ? QStringLiteral("An error occurred: %1 (%2)").arg(r.message, code)
                         : QString());
        }
    }
}

void TestDownload::failureMessages()
{
    QFETCH(QByteArray, response);
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(bool, curl);
    QFETCH(QString, message);
    const RawServer server(response);
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server.port());
    DownloadSettings settings;
    settings.url = QString(url).replace("@URL@", server.url()).replace("@HOST@", host);
    settings.useCurl = curl;
    settings.timeoutMs = settings.curlTimeoutMs = 5000;
    if (!proxy.isEmpty()) {
        settings.useProxy = true;
        settings.proxy = Utils::networkProxyFromURL(proxy);
    }
    QByteArray body;
    const UpdateRequest request(settings, [&body](QByteArrayView piece) { body += piece; });
    QCOMPARE(
        request.error().message, message.replace("@URL@", server.url()).replace("@HOST@", host));
    // What the sink got counts only after a transfer that ended whole.
    QVERIFY(!message.isEmpty() || body == "{\"Product\":[]}");
}

void TestDownload::endsSoonAfterDeadline_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QByteArray>("filler"); // sent without end; empty: then silence
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("message"); // a pattern; %1: the default limit's words
    const QString unanswered = QStringLiteral("A network timeout occurred \\(%1\\)\\.  Please "
                                              "make sure you are connected to the internet\\.");
    const QString nineBytes = QStringLiteral("A network timeout occurred \\(%1\\): 0 of 9 bytes "
                                             "arrived\\.  Allow more time with -t\\.");
    // curl may give up on endless headers before the deadline, in its words;
    // an endless body may reach the size limit first.
    const struct
    {
        const char *row;
        QByteArray response, filler;
        QString builtin, curl;
    } rows[] = {
        {"endless header line", "HTTP/1.1 200 OK\r\nX-Long: ", QByteArray(64 * 1024, 'a'),
            unanswered, ".*"},
        {"endless headers", "HTTP/1.1 200 OK\r\n", "X-More: a\r\n", unanswered, ".*"},
        {"silent after the headers", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n", "", nineBytes,
            nineBytes},
        {"endless body", "HTTP/1.1 200 OK\r\n\r\n", QByteArray(64 * 1024, ' '), ".*", ".*"},
        {"nothing at all", "", "", unanswered, unanswered},
    };
    for (const auto &r : rows) {
        QTest::addRow("built-in, %s", r.row)
            << r.response << r.filler << false
            << QString(r.builtin).replace("%1", "the default limit is 0\\.3 s");
        QTest::addRow("curl, %s", r.row)
            << r.response << r.filler << true
            << QString(r.curl).replace("%1", "the default limit with -r is 0\\.3 s");
    }
}

void TestDownload::endsSoonAfterDeadline()
{
    QFETCH(QByteArray, response);
    QFETCH(QByteArray, filler);
    QFETCH(bool, curl);
    QFETCH(QString, message);
    const RawServer server(
        response, filler.isEmpty() ? RawServer::End::Hold : RawServer::End::Endless, filler);
    DownloadSettings settings;
    settings.url = server.url();
    settings.useCurl = curl;
    settings.timeoutMs = settings.curlTimeoutMs = 300;
    QElapsedTimer clock;
    clock.start();
    const CheckError error = UpdateRequest(settings).error();
    QVERIFY2(clock.elapsed() < 300 + 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(message))
                 .match(error.message)
                 .hasMatch(),
        qPrintable(error.message));
}

void TestDownload::curlEndsWithTheProgram_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("limitMs"); // the child's time limit for curl
    QTest::newRow("program ended with SIGTERM") << int(SIGTERM) << 60000;
    QTest::newRow("program ended with SIGKILL") << int(SIGKILL) << 60000;
    // A program that no longer runs cannot end curl: curl ends at its own limit.
    QTest::newRow("program stopped with SIGSTOP") << int(SIGSTOP) << 300;
}

void TestDownload::curlEndsWithTheProgram()
{
    QFETCH(int, signal);
    QFETCH(int, limitMs);
    const RawServer silent({}, RawServer::End::Hold);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        {"--child-curl-download", silent.url(), QString::number(limitMs)});
    QVERIFY(child.waitForStarted());
    const pid_t program = pid_t(child.processId()); // never 0: kill(0) is the whole group
    QVERIFY(program > 0);
    QList<pid_t> curl;
    QTRY_VERIFY_WITH_TIMEOUT(!(curl = curlsOf(program)).isEmpty(), 5000);
    ::kill(program, signal);
    const bool curlEnded = QTest::qWaitFor([&] { return ended(curl.first()); }, 3000);
    if (!curlEnded)
        ::kill(curl.first(), SIGKILL); // a failed run leaves nothing behind
    ::kill(program, SIGKILL);
    child.waitForFinished();
    QVERIFY(curlEnded);
}

void TestDownload::endsWithoutWaitingForHostLookup()
{
    // The update server's name cannot be looked up: /etc/hosts is a FIFO that
    // nobody writes to, in a mount namespace of the child's own. After its
    // time-out the child must end at once, not wait for the lookup thread.
    if (QProcess::execute(QStringLiteral("unshare"), {"-rm", "true"}) != 0)
        QSKIP("unshare -rm is missing or not permitted here");
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("hosts"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess child;
    child.start(QStringLiteral("unshare"),
        {"-rm", "sh", "-c", "mount --bind \"$0\" /etc/hosts && exec \"$1\" --child-hanging-lookup",
            fifo, QCoreApplication::applicationFilePath()});
    const bool ended = child.waitForFinished(5000);
    child.kill();
    child.waitForFinished();
    QVERIFY(ended);
    QCOMPARE(child.readAllStandardOutput(), QByteArray("Network Timeout\n"));
}

// The child of endsWithoutWaitingForHostLookup: one download with a 300 ms
// time-out, ended the way the program ends.
int hangingLookup(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    DownloadSettings settings;
    settings.url = QStringLiteral("http://update.invalid/korvane/patches.json");
    settings.timeoutMs = 300;
    const UpdateRequest request(settings);
    std::printf("%s\n", qPrintable(request.error().title));
    endProcess(0);
}

// The child of curlEndsWithTheProgram: one download with curl from a server
// that never answers.
int curlDownload(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    DownloadSettings settings;
    settings.url = QString::fromLocal8Bit(argv[2]);
    settings.curlTimeoutMs = QByteArray(argv[3]).toInt();
    CurlDownload::run(settings, {}, [](QByteArrayView) {});
    endProcess(0);
}

int child(int argc, char *argv[])
{
    return qstrcmp(argv[1], "--child-hanging-lookup") == 0 ? hangingLookup(argc, argv)
                                                           : curlDownload(argc, argv);
}

KORVANE_TEST_MAIN_WITH_CHILD(QCoreApplication, TestDownload, child)
#include "tst_download.moc"
