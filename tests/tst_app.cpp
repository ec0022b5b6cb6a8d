#include "app/displayprobe.h"
#include "app/handover.h"
#include "app/modechoice.h"
#include "app/reportfile.h"
#include "app/runoptions.h"
#include "smalldisk.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void reportFileOnAFullDiskKeepsTheOldOne();
    void killedWritesLeaveWholeReports();
    void storedReportSwappedForAFifo();
    void displayTarget_data();
    void displayTarget();
    void x11Address_data();
    void x11Address();
    void silentNameServer_data();
    void silentNameServer();
    void startedDescriptor_data();
    void startedDescriptor();
};

void TestApp::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("problem"); // a part of the message; empty: accepted
    QTest::addColumn<QString>("mode"); // chosen with a display; empty: not looked at
    QFile file(QFINDTESTDATA("data/arguments.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList cells = line.split(u'|');
        if (line.startsWith(u'#'))
            continue;
        QStringList args = cells.value(1).split(u' ', Qt::SkipEmptyParts);
        args.replaceInStrings(QStringLiteral("<empty>"), QString());
        QTest::newRow(qPrintable(cells.value(0).trimmed()))
            << args << cells.value(2).trimmed() << cells.value(3).trimmed();
    }
}

void TestApp::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, problem);
    QFETCH(QString, mode);
    const RunOptions options = readOptions(args);
    const QString &found = options.problem;
    QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.contains(problem), qPrintable(found));
    QVERIFY(!found.contains(QLatin1String("secret")));
    static const char *const modes[]
        = {"refused", "version", "usage", "stored", "show proxy", "console", "window", "tray"};
    if (!mode.isEmpty())
        QCOMPARE(modes[int(chooseMode(options, {true, true}).mode)], mode);
}

namespace {

// Two documents of different sizes, so that a part of one is neither.
const QByteArray kSmall(1000, 's');
const QByteArray kLarge(200000, 'l');

} // namespace

void TestApp::reportFileOnAFullDiskKeepsTheOldOne()
{
    const SmallDiskRun run
        = runOnSmallDisk(QStringLiteral("--child-full-disk"), QStringLiteral("64k"));
    if (!run.possible)
        QSKIP("unshare -rm is missing or not permitted here");
    QCOMPARE(run.output, QByteArray("refused, old report kept, nothing left beside it\n"));
}

void TestApp::killedWritesLeaveWholeReports()
{
    // A report is only ever the old one or the new one, however the writer ends.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.json"));
    QVERIFY(ReportFile::write(path, kSmall).isEmpty());
    for (int round = 0; round < 20; ++round) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {"--child-write-loop", path});
        QVERIFY(writer.waitForStarted());
        QThread::msleep(20 + QRandomGenerator::global()->bounded(40));
        writer.kill();
        writer.waitForFinished();
        QFile report(path);
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QByteArray bytes = report.readAll();
        QVERIFY2(bytes == kSmall || bytes == kLarge, qPrintable(QString::number(bytes.size())));
    }
}

void TestApp::storedReportSwappedForAFifo()
{
    // The owner of the report's folder may swap a FIFO in at any moment: the
    // reader must never wait for a writer of it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.json"));
    const QByteArray names[] = {QFile::encodeName(path), QFile::encodeName(dir.filePath("fifo"))};
    QVERIFY(ReportFile::write(path, kSmall).isEmpty());
    QCOMPARE(::mkfifo(names[1].constData(), 0600), 0);
    std::atomic<bool> done {false};
    std::thread swapper([&] {
        while (!done)
            ::renameat2(
                AT_FDCWD, names[0].constData(), AT_FDCWD, names[1].constData(), RENAME_EXCHANGE);
    });
    std::atomic<int> reads {0};
    std::thread reader([&] {
        for (QString problem; reads < 3000 && !done; ++reads)
            (void)ReportFile::read(path, &problem);
    });
    QDeadlineTimer deadline(20000);
    while (reads < 3000 && !deadline.hasExpired())
        QThread::msleep(10);
    done = true;
    swapper.join();
    // A reader stuck in open() is let go by a writer, to fail rather than hang.
    const int writer = ::open(names[reads < 3000 ? 0 : 1].constData(), O_WRONLY | O_NONBLOCK);
    reader.join();
    if (writer >= 0)
        ::close(writer);
    QCOMPARE(reads.load(), 3000);
}

void TestApp::displayTarget_data()
{
    // The variables DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM, XDG_RUNTIME_DIR,
    // then the kind, the display's name, the compositor's socket and the
    // platform Qt is told to use.
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("target");
    const auto row = [](const char *name, QStringList environment, QStringList target) {
        QTest::newRow(name) << environment << target;
    };
    row("none", {"", "", "", "/run/u"}, {"none", "", "", ""});
    row("X11", {":0", "", "", ""}, {"X11", ":0", "", ""});
    row("X11 before Wayland", {":0", "wayland-0", "", "/run/u"}, {"X11", ":0", "", ""});
    row("Wayland alone, Qt told", {"", "wayland-1", "", "/run/u"},
        {"Wayland", "wayland-1", "/run/u/wayland-1", "wayland"});
    row("Wayland asked for", {":0", "/w", "wayland-egl", ""}, {"Wayland", "/w", "/w", ""});
    row("xcb asked for", {":0", "w", "xcb", ""}, {"X11", ":0", "", ""});
    row("another platform is Qt's", {":0", "", "offscreen", ""}, {"other", "", "", ""});
    row("Wayland without a runtime folder", {"", "w", "", ""}, {"Wayland", "w", "", "wayland"});
}

void TestApp::displayTarget()
{
    QFETCH(QStringList, environment);
    const DisplayTarget found
        = ::displayTarget({environment[0], environment[1], environment[2], environment[3]});
    static const char *const kinds[] = {"none", "X11", "Wayland", "other"};
    QTEST((QStringList {kinds[found.kind], found.name, found.waylandSocket,
              QString::fromLatin1(found.platform)}),
        "target");
}

void TestApp::x11Address_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("socketPath");
    const auto row = [](const char *name, const char *display, const char *host, int port,
                         const char *socketPath) {
        QTest::newRow(name) << display << host << port << socketPath;
    };
    row("local", ":0", "", 0, "/tmp/.X11-unix/X0");
    row("unix, with a screen", "unix:12.1", "", 0, "/tmp/.X11-unix/X12");
    row("local number beyond any integer", ":99999999999", "", 0, "");
    row("TCP", "host:1", "host", 6001, "");
    row("IPv6 in brackets", "[::1]:2.0", "::1", 6002, "");
    row("last port", "host:59535", "host", 65535, "");
    row("beyond the last port", "host:59536", "", 0, "");
    row("largest int", "localhost:2147483647", "", 0, "");
    row("wraps to port 6000", "host:4294961296", "", 0, "");
    row("no number", "host:", "", 0, "");
}

void TestApp::x11Address()
{
    QFETCH(QString, display);
    const X11Address address = ::x11Address(display);
    QTEST(address.host, "host");
    QTEST(address.port, "port");
    QTEST(address.socketPath, "socketPath");
}

namespace {

// A resolver that keeps the request, as with a name server that never
// answers, until the test ends it: the result written, then the notification.
gaicb *g_request = nullptr;
sigevent g_notification {};
int g_cancelled = 0;

} // namespace

void TestApp::silentNameServer_data()
{
    QTest::addColumn<int>("cancelled");
    QTest::newRow("still queued: cancelled") << EAI_CANCELED;
    QTest::newRow("running: ends later") << EAI_NOTCANCELED;
}

void TestApp::silentNameServer()
{
    QFETCH(int, cancelled);
    g_cancelled = cancelled;
    QElapsedTimer timer;
    timer.start();
    QString reason;
    const auto keep = [](int, gaicb *list[], int, sigevent *notification) {
        g_request = list[0];
        g_notification = *notification;
        return 0;
    };
    const auto waitOut = [](const gaicb *const[], int, const timespec *timeout) {
        ::nanosleep(timeout, nullptr);
        return EAI_AGAIN;
    };
    QVERIFY(!x11Answers(QStringLiteral("display.invalid:0"), &reason, 300,
        {keep, waitOut, [](gaicb *) { return EAI_INPROGRESS; },
            [](gaicb *) { return g_cancelled; }}));
    QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(reason,
        "Cannot open the display \"display.invalid:0\" (the host name lookup did not end "
        "within 0.3 s); running in console mode.");
    if (cancelled == EAI_NOTCANCELED) { // AddressSanitizer tells a request freed before
        g_request->ar_result = nullptr;
        g_notification.sigev_notify_function(g_notification.sigev_value);
    }
}

void TestApp::startedDescriptor_data()
{
    QTest::addColumn<QByteArray>("value"); // "pipe", "file": the number of one opened here
    QTest::addColumn<bool>("taken");
    QTest::newRow("pipe") << QByteArray("pipe") << true;
    QTest::newRow("file") << QByteArray("file") << false;
    QTest::newRow("standard input") << QByteArray("0") << false;
    QTest::newRow("not open") << QByteArray("999") << false;
    QTest::newRow("not a number") << QByteArray("4x") << false;
}

void TestApp::startedDescriptor()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, taken);
    int ends[2];
    QCOMPARE(::pipe(ends), 0);
    QTemporaryFile file;
    QVERIFY(file.open());
    if (value == "pipe" || value == "file")
        value = QByteArray::number(value == "pipe" ? ends[1] : file.handle());
    qputenv("KORVANE_STARTED_FD", value);
    const int descriptor = Handover::takeStartedDescriptor();
    QVERIFY(!qEnvironmentVariableIsSet("KORVANE_STARTED_FD")); // for the programs it starts
    QCOMPARE(descriptor, taken ? ends[1] : -1);
    QVERIFY(!taken || ::fcntl(descriptor, F_GETFD) == FD_CLOEXEC);
    Handover::signalStarted(descriptor);
    if (!taken)
        ::close(ends[1]);
    QCOMPARE(::fcntl(ends[1], F_GETFD), -1);
    char bytes[2];
    QCOMPARE(::read(ends[0], bytes, 2), taken ? 1 : 0);
    ::close(ends[0]);
}

// The children of the tests above.
int writeReports(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString where = QString::fromLocal8Bit(argv[2]);
    if (qstrcmp(argv[1], "--child-write-loop") == 0) {
        for (bool large = true;; large = !large)
            ReportFile::write(where, large ? kLarge : kSmall);
    }
    // A full disk: the old report fills most of it, the new one cannot fit.
    const QString path = where + QStringLiteral("/report.json");
    const QByteArray old(40000, 'o');
    if (!ReportFile::write(path, old).isEmpty())
        return 1;
    if (ReportFile::write(path, QByteArray(40000, 'n')).isEmpty())
        return std::printf("written\n"), 1;
    QFile kept(path);
    const bool same = kept.open(QIODevice::ReadOnly) && kept.readAll() == old;
    const bool alone = QDir(where).entryList(QDir::Files | QDir::Hidden).size() == 1;
    std::printf(
        "%s\n", same && alone ? "refused, old report kept, nothing left beside it" : "damaged");
    return 0;
}

KORVANE_TEST_MAIN_WITH_CHILD(QCoreApplication, TestApp, writeReports)
#include "tst_app.moc"
