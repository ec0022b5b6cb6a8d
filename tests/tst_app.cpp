#include "app/commandline.h"
#include "app/pluginreport.h"
#include "app/reportfile.h"
#include "app/switchtable.h"
#include "catalogue/checkreport.h"
#include "products/brivexproductbase.h"
#include "smalldisk.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <QFile>
#include <QRegularExpression>

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void usageText();
    void switchesDocumented_data();
    void switchesDocumented();
    void pluginOutputIsPlainText();
    void reportFileOnAFullDiskKeepsTheOldOne();
    void killedWritesLeaveWholeReports();
};

void TestApp::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("problem"); // a part of the message; empty: accepted
    const struct
    {
        const char *row, *args, *problem;
    } rows[] = {
        {"none", "", ""},
        {"letters in any case, with -, / or nothing", "-c /C c -J", ""},
        {"a value is taken verbatim", "-u -x -l -c", ""},
        {"a value may equal a switch letter", "-u c", ""},
        {"time limits 1 and 600", "-t 1 -t 600 -t 0010", ""},
        {"stored report and its age", "-f x -m -a 1 -a 8760", ""},
        {"-v text keeps its own rule", "-v abc", ""},
        {"Qt's options with their values", "-platform offscreen -style fusion -reverse", ""},
        {"--help and --version", "--help --version", ""},
        {"unknown switch", "-c -x", "\"-x\" is not a switch"},
        {"a word", "check", "\"check\" is not a switch"},
        {"-- before a letter", "--c", "\"--c\" is not a switch"},
        {"two letters", "-cj", "\"-cj\" is not a switch"},
        {"a dash alone", "-", "\"-\" is not a switch"},
        {"an empty argument", "<empty>", "\"\" is not a switch"},
        {"long options are exact", "--HELP", "\"--HELP\" is not a switch"},
        {"Qt's options are exact", "-PLATFORM x", "\"-PLATFORM\" is not a switch"},
        {"the first fault is named", "-m -w 5 -c 10", "\"-w\" is not a switch"},
        {"time limit 0", "-t 0", "\"0\" is not a whole number"},
        {"time limit 601", "-t 601", "\"601\" is not a whole number"},
        {"time limit not a number", "-t abc", "\"abc\" is not a whole number"},
        {"time limit with a sign", "-t +5", "\"+5\" is not a whole number"},
        {"time limit beyond an int", "-t 99999999999", "\"99999999999\" is not a whole number"},
        {"age 0 and 8761", "-f x -m -a 0 -a 8761", "\"0\" is not a whole number of hours"},
        {"-o with -m", "-o x -m", "-o writes the JSON report"},
        {"-o with -c", "-o x /C", "-o writes the JSON report"},
        {"-f with a download switch", "-f x -m -r", "cannot be used with -r"},
        {"-f with -o", "-f x -j -o y", "cannot be used with -o"},
        {"-f without a format", "-f x", "-f needs -m, -c or -j"},
        {"-a without -f", "-m -a 5", "-a is the age limit of -f"},
        {"-t last", "-c -t", "-t needs a value"},
        {"-p last", "-p", "-p needs a value"},
        {"-u last", "-u", "-u needs a value"},
        {"-v last", "-V", "-V needs a value"},
        {"-l last", "/l", "/l needs a value"},
        {"Qt option last", "-c -platform", "-platform needs a value"},
        {"proxy without host, password hidden", "-p http://u:secret@:8080", "u:****@:8080"},
        {"proxy port 0", "-p http://h:0", "port \"0\""},
        {"-j with -m", "-j /M", "-j and -m cannot be used together"},
    };
    for (const auto &r : rows) {
        QStringList args = QString::fromLatin1(r.args).split(u' ', Qt::SkipEmptyParts);
        args.replaceInStrings(QStringLiteral("<empty>"), QString());
        QTest::newRow(r.row) << args << QString::fromLatin1(r.problem);
    }
}

void TestApp::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, problem);
    const QString found = argumentProblem(args);
    QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.contains(problem), qPrintable(found));
    QVERIFY(!found.contains(QLatin1String("secret")));
}

void TestApp::usageText()
{
    const QStringList lines = usageLines();
    // The long-standing lines stay as they were, first.
    QCOMPARE(lines.mid(0, 6),
        QStringList({"Usage: korvane <-h> <-p [proxy url]> <-k> <-s> <-c>",
            "       -h                - Show usage",
            "       -p [proxy url]    - http://<user>:<pass>@proxy.example.com:<port>",
            "       -k                - Remove proxy settings",
            "       -s                - Show proxy settings",
            "       -c                - Run in console mode"}));
    QCOMPARE(lines.size(), 1 + switchTable().size() + 2); // and --help, --version
    static const QRegularExpression layout(QStringLiteral("^       -\\S.{15} - \\S"));
    for (const QString &line : lines.mid(1)) {
        QVERIFY2(layout.match(line).hasMatch(), qPrintable(line));
        QVERIFY2(line.size() <= 80, qPrintable(line));
    }
}

void TestApp::switchesDocumented_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("dash"); // a pattern of a dash as written there
    QTest::newRow("manual page") << "docs/korvane.1" << "\\\\-";
    QTest::newRow("bash completion") << "resources/packaging/korvane.bash-completion" << "-";
}

void TestApp::switchesDocumented()
{
    QFETCH(QString, file);
    QFETCH(QString, dash);
    QFile text(QStringLiteral(KORVANE_SOURCE_DIR "/") + file);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(text.readAll());
    QStringList switches {dash + dash + QStringLiteral("help"), dash + dash + QStringLiteral("version")};
    for (const SwitchInfo &info : switchTable())
        switches << dash + QRegularExpression::escape(QString(QLatin1Char(info.letter)));
    for (const QString &pattern : switches) {
        const QRegularExpression alone(QStringLiteral("(^|[\\s'\"])") + pattern + QStringLiteral("($|[\\s',])"));
        QVERIFY2(content.contains(alone), qPrintable(pattern));
    }
}

void TestApp::pluginOutputIsPlainText()
{
    // Catalogue and server text must not reach a terminal or a monitoring
    // front end as controls: no escape sequences, no forged lines or
    // performance data, no right-to-left override turning "exe.kcatta" into
    // "attack.exe".
    const std::unique_ptr<BrivexProducts::BrivexProductBase> server(
        BrivexProducts::BrivexProductBase::Create(ProductType::Server, "/opt", "10.8.1"));
    const PatchItem update {QStringLiteral("Fix \x1b[31m|a\nb\x07\x7f\u0085 \u202Eexe.kcatta\u2066"),
        QStringLiteral("Brivex for Server"), {}, {}, QStringLiteral("u\r"), {}, {}};
    CheckReport report = CheckReport::of({}, {server.get()}, {}, {update}, {});
    const PluginReport ok = pluginReport(report);
    report.error = {3, QStringLiteral("Network Error"), QStringLiteral("down\x1b]0;x\x07 \u202E")};
    const QString text = (ok.lines + pluginReport(report).lines).join(u'\n');
    QCOMPARE(text.count(u'\n'), 3); // a status line and the update, twice
    QCOMPARE(text.count(u'|'), 2); // each status line's own
    static const QRegularExpression controls(
        QStringLiteral("[\\x00-\\x08\\x0b-\\x1f\\x7f-\\x9f\\x{202a}-\\x{202e}\\x{2066}-\\x{2069}]"));
    QVERIFY2(!controls.match(text).hasMatch(), qPrintable(text));
}

namespace {

// Two documents of different sizes, so that a part of one is neither.
const QByteArray kSmall(1000, 's');
const QByteArray kLarge(200000, 'l');

} // namespace

void TestApp::reportFileOnAFullDiskKeepsTheOldOne()
{
    const SmallDiskRun run = runOnSmallDisk(QStringLiteral("--child-full-disk"), QStringLiteral("64k"));
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
    std::printf("%s\n", same && alone ? "refused, old report kept, nothing left beside it" : "damaged");
    return 0;
}

KORVANE_TEST_MAIN_WITH_CHILD(QCoreApplication, TestApp, writeReports)
#include "tst_app.moc"
