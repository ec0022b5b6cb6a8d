#include "core/logger.h"
#include "stdoutcapture.h"
#include "temporaryhome.h"
#include "testmain.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The message part of each line ("Severity: text"), without the time stamp.
QStringList withoutTimeStamps(const QStringList &lines)
{
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}: "));
    QStringList out;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = stamp.match(line);
        out << (match.hasMatch() ? line.mid(match.capturedLength())
                                 : QStringLiteral("BAD:") + line);
    }
    return out;
}

void printOneOfEach()
{
    Logger *log = Logger::instance();
    log->Print(Severity::Info, QStringLiteral("info"));
    log->Print(Severity::Debug, QStringLiteral("debug"));
    log->Print(Severity::Warning, QStringLiteral("warning"));
    log->Print(Severity::Error, QStringLiteral("error"));
    log->Print(Severity::Fatal, QStringLiteral("fatal"));
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void levels_data();
    void levels();
    void fatalIsEchoedWithTheSameLine();
    void newRunReplacesOldLog();
    void levelOffLeavesExistingFileAlone();
    void unknownSeverityHasEmptyText();
    void textIsWrittenVerbatim();
    void plantedLinkIsNotFollowed();
    void logIsOwnerOnly();
    void unopenablePath_data();
    void unopenablePath();
    void printAfterClose();
};

void TestLogger::levels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QStringList>("expected");

    const QStringList normal {"Info: info", "Warning: warning", "Error: error", "Fatal: fatal"};
    QTest::newRow("0 writes nothing") << 0 << QStringList {};
    QTest::newRow("1 leaves out Debug") << 1 << normal;
    QTest::newRow("2 writes Debug too") << 2
                                        << QStringList {"Info: info", "Debug: debug",
                                               "Warning: warning", "Error: error", "Fatal: fatal"};
    QTest::newRow("3 acts as 1") << 3 << normal;
    QTest::newRow("-1 acts as 1") << -1 << normal;
}

void TestLogger::levels()
{
    QFETCH(int, level);
    QFETCH(QStringList, expected);
    TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("Korvane.log"));

    StdoutCapture capture;
    Logger::instance()->init(path, static_cast<LogLevel::LogLevel>(level));
    printOneOfEach();
    Logger::instance()->close();
    const QString echoed = capture.text();

    QCOMPARE(QFileInfo::exists(path), level != 0);
    QCOMPARE(withoutTimeStamps(fileLines(path)), expected);
    QCOMPARE(echoed.contains(QStringLiteral(": Fatal: fatal\n")), level != 0);
}

void TestLogger::fatalIsEchoedWithTheSameLine()
{
    TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("Korvane.log"));
    StdoutCapture capture;
    Logger::instance()->init(path, LogLevel::Normal);
    Logger::instance()->Print(Severity::Fatal, QStringLiteral("disk on fire"));
    Logger::instance()->close();
    const QStringList logged = fileLines(path);
    QCOMPARE(logged.size(), 1);
    QCOMPARE(capture.text(), logged.first() + QLatin1Char('\n'));
    QVERIFY(logged.first().endsWith(QStringLiteral(": Fatal: disk on fire")));
}

void TestLogger::newRunReplacesOldLog()
{
    TemporaryHome home;
    const QString path = home.writeFile(QStringLiteral("Korvane.log"), "old line\nanother\n");
    Logger::instance()->init(path, LogLevel::Normal);
    Logger::instance()->Print(Severity::Info, QStringLiteral("new"));
    Logger::instance()->close();
    QCOMPARE(withoutTimeStamps(fileLines(path)), QStringList {"Info: new"});
}

void TestLogger::levelOffLeavesExistingFileAlone()
{
    TemporaryHome home;
    const QString path = home.writeFile(QStringLiteral("Korvane.log"), "keep me\n");
    StdoutCapture capture;
    Logger::instance()->init(path, LogLevel::Off);
    Logger::instance()->Print(Severity::Fatal, QStringLiteral("not echoed"));
    QCOMPARE(capture.text(), QString());
    QCOMPARE(home.readFile(QStringLiteral("Korvane.log")), QByteArray("keep me\n"));
}

void TestLogger::unknownSeverityHasEmptyText()
{
    TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("Korvane.log"));
    Logger::instance()->init(path, LogLevel::Verbose);
    Logger::instance()->Print(static_cast<Severity::Severity>(7), QStringLiteral("odd"));
    Logger::instance()->close();
    const QStringList lines = fileLines(path);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(
        QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}: : odd$"))
            .match(lines.first())
            .hasMatch(),
        qPrintable(lines.first()));
}

void TestLogger::textIsWrittenVerbatim()
{
    TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("Korvane.log"));
    Logger::instance()->init(path, LogLevel::Normal);
    Logger::instance()->Print(Severity::Info, QStringLiteral("100% %1 %2 done – é"));
    Logger::instance()->close();
    QCOMPARE(withoutTimeStamps(fileLines(path)), QStringList {"Info: 100% %1 %2 done – é"});
}

void TestLogger::plantedLinkIsNotFollowed()
{
    TemporaryHome home;
    const QString victim = home.writeFile(QStringLiteral("victim"), "precious\n");
    const QString path = home.filePath(QStringLiteral("Korvane.log"));
    QVERIFY(QFile::link(victim, path));

    Logger::instance()->init(path, LogLevel::Normal);
    Logger::instance()->Print(Severity::Info, QStringLiteral("line"));
    Logger::instance()->close();

    QCOMPARE(home.readFile(QStringLiteral("victim")), QByteArray("precious\n"));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(withoutTimeStamps(fileLines(path)), QStringList {"Info: line"});
}

void TestLogger::logIsOwnerOnly()
{
    TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("Korvane.log"));
    Logger::instance()->init(path, LogLevel::Normal);
    Logger::instance()->close();
    QCOMPARE(TemporaryHome::permissionBits(path), TemporaryHome::ownerReadWrite());
}

void TestLogger::unopenablePath_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("empty path") << QString();
    QTest::newRow("missing directory") << QStringLiteral("no/such/dir/Korvane.log");
    QTest::newRow("a directory") << QStringLiteral("adir");
    QTest::newRow("below a regular file") << QStringLiteral("afile/Korvane.log");
}

void TestLogger::unopenablePath()
{
    QFETCH(QString, relative);
    TemporaryHome home;
    QDir(home.path()).mkdir(QStringLiteral("adir"));
    home.writeFile(QStringLiteral("afile"), "x");
    const QString path = relative.isEmpty() ? QString() : home.filePath(relative);

    StdoutCapture capture;
    Logger::instance()->init(path, LogLevel::Normal);
    Logger::instance()->Print(Severity::Info, QStringLiteral("goes nowhere"));
    Logger::instance()->Print(Severity::Fatal, QStringLiteral("still echoed"));
    const QString output = capture.text();

    const QString message
        = QStringLiteral("<<<< Error opening log file for writing:\n\n%1\n\nError: ").arg(path);
    QVERIFY2(output.startsWith(message), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral(" >>>>\n")), qPrintable(output));
    QVERIFY(output.endsWith(QStringLiteral(": Fatal: still echoed\n")));
    QVERIFY(!output.contains(QStringLiteral("goes nowhere")));
    if (relative == QLatin1String("adir"))
        QVERIFY(QFileInfo(path).isDir());
}

void TestLogger::printAfterClose()
{
    TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("Korvane.log"));
    Logger::instance()->init(path, LogLevel::Normal);
    Logger::instance()->Print(Severity::Info, QStringLiteral("before"));
    Logger::instance()->close();
    Logger::instance()->Print(Severity::Info, QStringLiteral("after"));
    QCOMPARE(withoutTimeStamps(fileLines(path)), QStringList {"Info: before"});
}

KORVANE_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
