#include "catalogue/brivexupdate.h"
#include "core/common.h"
#include "core/processend.h"
#include "download/curldownload.h"
#include "download/networkutils.h"
#include "download/proxyurl.h"
#include "download/updaterequest.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
    "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"};

// Answers each connection, one at a time, with the same few bytes, then a FIN
// or an RST, on a thread of its own, so that it goes on while the code under
// test holds the test's thread.
class RawServer
{
public:
    RawServer(const QByteArray &response, bool reset)
    {
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        m_listener.pauseAccepting(); // the thread accepts, not Qt's event loop
        m_thread = std::thread([this, response, reset] {
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
                ::send(client, response.data(), size_t(response.size()), MSG_NOSIGNAL);
                ::usleep(20000); // the client has read the body before the end comes
                const linger now {1, 0};
                if (reset)
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

    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1/c").arg(m_listener.serverPort());
    }

private:
    QTcpServer m_listener;
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

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
    const RawServer server(response, reset);
    DownloadSettings cut;
    cut.url = server.url();
    cut.timeoutMs = 5000;
    for (int run = 0; run < 50; ++run)
        QVERIFY2(BrivexUpdate(cut).error().failed(), qPrintable(QString::number(run)));
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
    QTcpServer silent; // the kernel takes the connection, nobody answers
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        {"--child-curl-download", QStringLiteral("http://127.0.0.1:%1/c").arg(silent.serverPort()),
            QString::number(limitMs)});
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
