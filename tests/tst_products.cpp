#include "products/brivexproductbase.h"
#include "testmain.h"

#include <QTest>

#include <memory>

using BrivexProducts::BrivexProductBase;

class TestProducts : public QObject
{
    Q_OBJECT

private slots:
    void create_data();
    void create();
    void baseHasNoKindAndNoNames();
};

void TestProducts::create_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("installDir");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("names"); // empty: no product is made

    QTest::newRow("Server") << 2 << "/opt/brivex/server"
                            << "10.8.1"
                            << QStringList {"Brivex for Server", "Brivex Server", "Server"};
    QTest::newRow("Portal shows as Portal for Brivex")
        << 4 << "/opt/brivex/portal/"
        << "10.8.1" << QStringList {"Portal for Brivex", "Brivex for Portal", "Portal"};
    QTest::newRow("DataStore") << 8 << "/opt/brivex/datastore"
                               << "10.7.1"
                               << QStringList {"Brivex for DataStore", "Data Store", "DataStore"};
    QTest::newRow("empty directory and version are kept")
        << 2 << ""
        << "" << QStringList {"Brivex for Server", "Brivex Server", "Server"};
    QTest::newRow("quotes and blanks are kept")
        << 8 << " \"/opt/my data\" "
        << "\"10.7.1\"" << QStringList {"Brivex for DataStore", "Data Store", "DataStore"};
    QTest::newRow("None makes nothing") << 0 << "/opt/x"
                                        << "1" << QStringList {};
    QTest::newRow("unassigned bit 1 makes nothing") << 1 << "/opt/x"
                                                    << "1" << QStringList {};
    QTest::newRow("mask of two kinds makes nothing") << 6 << "/opt/x"
                                                     << "1" << QStringList {};
    QTest::newRow("unknown bit 16 makes nothing") << 16 << "/opt/x"
                                                  << "1" << QStringList {};
    QTest::newRow("negative value makes nothing") << -2 << "/opt/x"
                                                  << "1" << QStringList {};
}

void TestProducts::create()
{
    QFETCH(int, type);
    QFETCH(QString, installDir);
    QFETCH(QString, version);
    QFETCH(QStringList, names);

    const std::unique_ptr<BrivexProductBase> product(BrivexProductBase::Create(
        static_cast<ProductType::ProductType>(type), installDir, version));
    if (names.isEmpty()) {
        QVERIFY(!product);
        return;
    }
    QVERIFY(product);
    // Through the base pointer, the subclass answers.
    QCOMPARE(static_cast<int>(product->productType()), type);
    QCOMPARE(product->names(), names);
    QCOMPARE(product->installDir(), installDir);
    QCOMPARE(product->version(), version);
}

void TestProducts::baseHasNoKindAndNoNames()
{
    const BrivexProductBase base(QStringLiteral("/opt/b"), QStringLiteral("1.0"));
    QCOMPARE(base.productType(), ProductType::None);
    QVERIFY(base.names().isEmpty());
}

KORVANE_TEST_MAIN(TestProducts)
#include "tst_products.moc"
