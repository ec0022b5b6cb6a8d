#include "core/console.h"
#include "core/cryptdecrypt.h"
#include "core/logger.h"
#include "core/utils.h"
#include "smalldisk.h"
#include "testmain.h"

#include <QCoreApplication>

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void logOnAFullDiskIsToldOnce();
    void configHome_data();
    void configHome();
    void printable_data();
    void printable();
    void cipherKnownAnswers_data();
    void cipherKnownAnswers();
    void cipherRoundTrip();
};

void TestCore::logOnAFullDiskIsToldOnce()
{
    const SmallDiskRun run = runOnSmallDisk(QStringLiteral("--child-log"), QStringLiteral("16k"));
    if (!run.possible)
        QSKIP("unshare -rm is missing or not permitted here");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output.count("could not be written"), 1);
    QVERIFY2(run.output.endsWith("the run went on\n"), run.output.constData());
}

// The child of logOnAFullDiskIsToldOnce: far more log than the disk holds.
int logOnAFullDisk(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Logger::instance()->init(
        QString::fromLocal8Bit(argv[2]) + QStringLiteral("/Korvane.log"), LogLevel::Normal);
    for (int i = 0; i < 2000; ++i)
        Logger::instance()->Print(Severity::Info, QString(100, QLatin1Char('x')));
    Console::writeLine(QStringLiteral("the run went on"));
    return 0;
}

void TestCore::configHome_data()
{
    QTest::addColumn<QString>("xdg"); // as XDG_CONFIG_HOME and as XDG_CONFIG_DIRS
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("dirs");
    const auto row = [](const char *name, const char *xdg, const char *home, const char *found,
                         const char *dirs) { QTest::newRow(name) << xdg << home << found << dirs; };
    row("absolute XDG_CONFIG_HOME", "/x/cfg/", "/h", "/x/cfg", "/x/cfg");
    row("unset: HOME", "", "/h", "/h/.config", "/etc/xdg");
    row("relative: ignored", "cfg", "/h", "/h/.config", "/etc/xdg");
    row("dot-relative: ignored", "./cfg", "/h", "/h/.config", "/etc/xdg");
    row("root: ignored", "/", "/h", "/h/.config", "/etc/xdg");
    row("relative HOME too: none", "cfg", "h", "", "/etc/xdg");
    row("a list: relative entries and repeats left out", "cfg:/a:/b/:/a", "/h", "/h/.config",
        "/a:/b");
}

void TestCore::configHome()
{
    QFETCH(QString, xdg);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    QFETCH(QString, dirs);
    QCOMPARE(Utils::configHome(xdg, home), expected);
    QCOMPARE(Utils::configDirs(xdg).join(u':'), dirs);
}

void TestCore::printable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString r(QChar(0xFFFD));
    QTest::newRow("tab and text stay") << "a\tb é ✓"
                                       << "a\tb é ✓";
    QTest::newRow("C0, DEL, C1 and line breaks")
        << QStringLiteral("\x1b[31m\x07\x7f\u0085\r\n") << r + "[31m" + r + r + r + r + r;
    QTest::newRow("bidirectional controls")
        << QStringLiteral("\u202A\u202B\u202C\u202D\u202Eexe.kcatta\u2066\u2067\u2068\u2069")
        << r + r + r + r + r + "exe.kcatta" + r + r + r + r;
    QTest::newRow("their neighbours stay")
        << QStringLiteral("\u2029\u202F\u2065\u206A") << QStringLiteral("\u2029\u202F\u2065\u206A");
}

void TestCore::printable()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(Console::printable(text), shown);
    QCOMPARE(Console::printable(QStringLiteral("a\nb\x1b"), Console::LineBreaks::Kept),
        QStringLiteral("a\nb\uFFFD"));
}

void TestCore::cipherKnownAnswers_data()
{
    // Texts written by earlier versions must still read back.
    QTest::addColumn<QString>("cipher");
    QTest::addColumn<QString>("clear");
    QTest::addColumn<int>("salt"); // -1: not known
    const auto row = [](const char *name, const char *cipher, const char *clear, int salt) {
        QTest::newRow(name) << cipher << QString::fromUtf8(clear) << salt;
    };
    row("salt 0x00", "b58b3e5f2d483c", "secret", 0x00);
    row("salt 0xa7", "122c99f88aef9b", "secret", 0xa7);
    row("non-ASCII, longer than the key", "e9d4c761126116d5d6e95d7243714276f68d6a5069",
        "pässwörd-123456789", -1);
    row("upper-case digits", "B58B3E5F2D483C", "secret", -1);
    row("salt only", "00", "", -1);
    row("empty", "", "", 0);
}

void TestCore::cipherKnownAnswers()
{
    QFETCH(QString, cipher);
    QFETCH(QString, clear);
    QFETCH(int, salt);
    const CryptDecrypt crypt(47205813);
    QCOMPARE(crypt.decrypt(cipher), clear);
    if (salt >= 0)
        QCOMPARE(crypt.encryptWithSalt(clear, static_cast<quint8>(salt)), cipher);
}

void TestCore::cipherRoundTrip()
{
    const CryptDecrypt crypt(47205813);
    QSet<QString> ciphers;
    for (int i = 0; i < 64; ++i) {
        const QString clear = QStringLiteral("p@ss:%1 \u00e4\U0001F600").arg(i);
        const QString cipher = crypt.encrypt(clear);
        QCOMPARE(crypt.decrypt(cipher), clear);
        QCOMPARE(cipher, cipher.toLower());
        ciphers.insert(cipher.left(2));
    }
    QVERIFY(ciphers.size() > 8); // a new salt byte each time
}

KORVANE_TEST_MAIN_WITH_CHILD(QCoreApplication, TestCore, logOnAFullDisk)
#include "tst_core.moc"
