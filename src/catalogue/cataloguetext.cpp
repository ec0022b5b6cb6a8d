#include "catalogue/cataloguetext.h"

namespace CatalogueText {

QByteArray fromReceived(QByteArray received)
{
    static const QByteArray byteOrderMark("\xEF\xBB\xBF");
    if (received.startsWith(byteOrderMark))
        received.remove(0, byteOrderMark.size());
    const qsizetype nul = received.indexOf('\0');
    if (nul >= 0)
        received.truncate(nul);
    return received;
}

} // namespace CatalogueText
