#include "testmain.h"

#include <QIcon>
#include <QPixmap>
#include <QTest>

class TestImages : public QObject
{
    Q_OBJECT

private slots:
    void embeddedImages_data();
    void embeddedImages();
};

void TestImages::embeddedImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("tray icon") << ":/images/Brivex_Server_Patch_256.png" << QSize(256, 256);
    QTest::newRow("popup panel") << ":/images/Brivex_Server_Patch_128.png" << QSize(128, 128);
    QTest::newRow("report panel") << ":/images/Brivex_Server_Patch_150x480.png" << QSize(150, 480);
    QTest::newRow("progress icon") << ":/images/BrivexUpdater32.png" << QSize(32, 32);
    QTest::newRow("settings button") << ":/images/gear2.png" << QSize(26, 26);
}

void TestImages::embeddedImages()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), size);
}

KORVANE_TEST_GUI_MAIN(TestImages)
#include "tst_images.moc"
