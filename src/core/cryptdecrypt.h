#pragma once

#include <QString>
#include <QVector>

// Reversible obfuscation of the stored proxy password: a byte-chaining XOR with
// a 64-bit key and one random salt byte, written as hexadecimal. It only keeps
// the password from standing in clear text in the settings file; it is not
// encryption, since the key is part of the program.
class CryptDecrypt
{
public:
    explicit CryptDecrypt(qint64 key);

    QString encrypt(const QString &clearText) const;
    QString decrypt(const QString &cipherText) const;

    // The same as encrypt(), with the salt byte given (for known-answer checks).
    QString encryptWithSalt(const QString &clearText, quint8 salt) const;

private:
    void splitKey();

    qint64 m_key;
    QVector<char> m_keyParts;
};
