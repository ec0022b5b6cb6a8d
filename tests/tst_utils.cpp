#include "core/utils.h"
#include "stdoutcapture.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    void displayIsReadOnce();
    void messagesFallBackToConsoleWithoutGuiApp();
    void fileErrorToString_data();
    void fileErrorToString();
    void rootDirIsAboveExecutable();
};

void TestUtils::displayIsReadOnce()
{
    qputenv("DISPLAY", ":42");
    QVERIFY(Utils::hasDisplay());
    qputenv("DISPLAY", "");
    QVERIFY(Utils::hasDisplay());
    qunsetenv("DISPLAY");
    QVERIFY(Utils::hasDisplay());
}

void TestUtils::messagesFallBackToConsoleWithoutGuiApp()
{
    // A display is present (see above) but the application object is a
    // console one, so no message box can be shown.
    QVERIFY(Utils::hasDisplay());
    QVERIFY(!Utils::isGuiApp());
    StdoutCapture capture;
    Utils::ErrorMsg(QStringLiteral("Title"), QStringLiteral("Something failed"), nullptr);
    Utils::InfoMsg(QStringLiteral("Title"), QStringLiteral("Für dich: ✓"), nullptr);
    QCOMPARE(capture.text(), QStringLiteral("<<<< Something failed >>>>\n<<<< Für dich: ✓ >>>>\n"));
}

void TestUtils::fileErrorToString_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "No error occurred.";
    QTest::newRow("1") << 1 << "An error occurred when reading from the file.";
    QTest::newRow("2") << 2 << "An error occurred when writing to the file.";
    QTest::newRow("3") << 3 << "A fatal error occurred.";
    QTest::newRow("4") << 4 << "Resource error.";
    QTest::newRow("5") << 5 << "The file could not be opened.";
    QTest::newRow("6") << 6 << "The operation was aborted.";
    QTest::newRow("7") << 7 << "A timeout occurred.";
    QTest::newRow("8") << 8 << "An unspecified error occurred.";
    QTest::newRow("9") << 9 << "The file could not be removed.";
    QTest::newRow("10") << 10 << "The file could not be renamed.";
    QTest::newRow("11") << 11 << "The position in the file could not be changed.";
    QTest::newRow("12") << 12 << "The file could not be resized.";
    QTest::newRow("13") << 13 << "The file could not be accessed.";
    QTest::newRow("14") << 14 << "The file could not be copied.";
    QTest::newRow("15 is unknown") << 15 << "";
}

void TestUtils::fileErrorToString()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QCOMPARE(Utils::fileErrorToString(static_cast<QFileDevice::FileError>(error)), text);
}

void TestUtils::rootDirIsAboveExecutable()
{
    QDir expected(QCoreApplication::applicationDirPath());
    QVERIFY(expected.cdUp());
    QCOMPARE(Utils::korvaneRootDir(), expected.absolutePath());
    QVERIFY(!Utils::korvaneRootDir().contains(QStringLiteral("..")));
}

KORVANE_TEST_MAIN(TestUtils)
#include "tst_utils.moc"
