#include "core/cryptdecrypt.h"
#include "testmain.h"

#include <QSet>
#include <QTest>

class TestCipher : public QObject
{
    Q_OBJECT

private slots:
    void knownAnswers_data();
    void knownAnswers();
    void encryptWithKnownSalt_data();
    void encryptWithKnownSalt();
    void roundTrip_data();
    void roundTrip();
    void saltVaries();
    void emptyTextStaysEmpty();
    void keyBytesRepeatAfterEight();

private:
    const CryptDecrypt m_crypt {47205813};
};

void TestCipher::knownAnswers_data()
{
    QTest::addColumn<QString>("cipherText");
    QTest::addColumn<QString>("clearText");

    QTest::newRow("salt 0x00") << "b58b3e5f2d483c"
                               << "secret";
    QTest::newRow("salt 0xa7") << "122c99f88aef9b"
                               << "secret";
    QTest::newRow("upper-case digits") << "B58B3E5F2D483C"
                                       << "secret";
    QTest::newRow("non-ASCII, longer than the key")
        << "e9d4c761126116d5d6e95d7243714276f68d6a5069" << QStringLiteral("pässwörd-123456789");
    QTest::newRow("salt only") << "00"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCipher::knownAnswers()
{
    QFETCH(QString, cipherText);
    QFETCH(QString, clearText);
    QCOMPARE(m_crypt.decrypt(cipherText), clearText);
}

void TestCipher::encryptWithKnownSalt_data()
{
    QTest::addColumn<QString>("clearText");
    QTest::addColumn<int>("salt");
    QTest::addColumn<QString>("cipherText");

    QTest::newRow("salt 0x00") << "secret" << 0x00 << "b58b3e5f2d483c";
    QTest::newRow("salt 0xa7") << "secret" << 0xa7 << "122c99f88aef9b";
}

void TestCipher::encryptWithKnownSalt()
{
    QFETCH(QString, clearText);
    QFETCH(int, salt);
    QFETCH(QString, cipherText);
    QCOMPARE(m_crypt.encryptWithSalt(clearText, static_cast<quint8>(salt)), cipherText);
}

void TestCipher::roundTrip_data()
{
    QTest::addColumn<QString>("clearText");
    QTest::newRow("one letter") << "x";
    QTest::newRow("exactly eight bytes") << "12345678";
    QTest::newRow("umlauts and symbols") << QStringLiteral("pässwörd-€-✓");
    QTest::newRow("outside the BMP") << QStringLiteral("key-\U0001F511");
    QTest::newRow("blanks and colons") << " a:b@c ";
    QTest::newRow("long") << QString(300, QLatin1Char('z'));
}

void TestCipher::roundTrip()
{
    QFETCH(QString, clearText);
    for (int i = 0; i < 20; ++i) {
        const QString cipherText = m_crypt.encrypt(clearText);
        QCOMPARE(cipherText.size(), 2 * (1 + clearText.toUtf8().size()));
        QCOMPARE(cipherText, cipherText.toLower());
        QCOMPARE(m_crypt.decrypt(cipherText), clearText);
    }
}

void TestCipher::saltVaries()
{
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(m_crypt.encrypt(QStringLiteral("secret")));
    QVERIFY2(seen.size() > 1, "every encryption gave the same text");
}

void TestCipher::emptyTextStaysEmpty()
{
    QVERIFY(m_crypt.encrypt(QString()).isEmpty());
    QVERIFY(m_crypt.decrypt(QString()).isEmpty());
}

void TestCipher::keyBytesRepeatAfterEight()
{
    // With a zero salt and zero clear bytes, the chain depends only on the key:
    // byte i = key[i % 8] ^ byte (i-1), so byte 8 is key[0] ^ byte 7.
    const QString zeros(9, QChar(0));
    const QByteArray bytes = QByteArray::fromHex(m_crypt.encryptWithSalt(zeros, 0).toLatin1());
    QCOMPARE(bytes.size(), 10);
    const quint64 key = 47205813;
    for (int i = 1; i < bytes.size(); ++i) {
        const char keyByte = static_cast<char>((key >> (8 * (i % 8))) & 0xFF);
        QCOMPARE(bytes.at(i), static_cast<char>(keyByte ^ bytes.at(i - 1)));
    }
}

KORVANE_TEST_MAIN(TestCipher)
#include "tst_cipher.moc"
