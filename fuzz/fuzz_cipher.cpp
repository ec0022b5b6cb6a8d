// A stored proxy password (the settings file may be edited by hand): its
// deciphered text, and the round trip of any text through the cipher.
#include "core/cryptdecrypt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const CryptDecrypt crypt(47205813);
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    (void)crypt.decrypt(text);
    const quint8 salt = size > 0 ? data[0] : 0;
    if (crypt.decrypt(crypt.encryptWithSalt(text, salt)) != text)
        std::abort();
    return 0;
}
