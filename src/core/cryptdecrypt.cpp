#include "core/cryptdecrypt.h"

#include <QByteArray>
#include <QRandomGenerator>

CryptDecrypt::CryptDecrypt(qint64 key)
    : m_key(key)
{
    splitKey();
}

void CryptDecrypt::splitKey()
{
    m_keyParts.clear();
    m_keyParts.resize(8);
    const auto key = static_cast<quint64>(m_key);
    for (int i = 0; i < 8; ++i)
        m_keyParts[i] = static_cast<char>((key >> (8 * i)) & 0xFF);
}

QString CryptDecrypt::encrypt(const QString &clearText) const
{
    return encryptWithSalt(
        clearText, static_cast<quint8>(QRandomGenerator::global()->generate() & 0xFF));
}

QString CryptDecrypt::encryptWithSalt(const QString &clearText, quint8 salt) const
{
    if (clearText.isEmpty())
        return QString();

    QByteArray bytes = clearText.toUtf8();
    bytes.prepend(static_cast<char>(salt));
    char previous = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char enciphered = static_cast<char>(bytes.at(i) ^ m_keyParts.at(i % 8) ^ previous);
        bytes[i] = enciphered;
        previous = enciphered;
    }
    return QString::fromLatin1(bytes.toHex());
}

QString CryptDecrypt::decrypt(const QString &cipherText) const
{
    if (cipherText.isEmpty())
        return QString();

    QByteArray bytes = QByteArray::fromHex(cipherText.toLatin1());
    char previous = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char enciphered = bytes.at(i);
        bytes[i] = static_cast<char>(enciphered ^ m_keyParts.at(i % 8) ^ previous);
        previous = enciphered;
    }
    return QString::fromUtf8(bytes.mid(1));
}
