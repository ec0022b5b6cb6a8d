#include "catalogue/cataloguetext.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace CatalogueText {

namespace {
const QByteArray byteOrderMark("\xEF\xBB\xBF");
}

QByteArray fromReceived(QByteArray received)
{
    if (received.startsWith(byteOrderMark))
        received.remove(0, byteOrderMark.size());
    const qsizetype nul = received.indexOf('\0');
    if (nul >= 0)
        received.truncate(nul);
    return received;
}

Extent measure(QIODevice &device, qint64 limit)
{
    Extent extent;
    QByteArray piece(256 * 1024, Qt::Uninitialized);
    QByteArray head;
    qint64 nul = -1;
    while (extent.received <= limit) {
        const qint64 got = device.read(piece.data(), piece.size());
        if (got <= 0) {
            extent.readError = got < 0;
            break;
        }
        if (head.size() < byteOrderMark.size())
            head += QByteArrayView(piece).first(std::min(got, byteOrderMark.size() - head.size()));
        const void *zero = nul < 0 ? std::memchr(piece.constData(), 0, size_t(got)) : nullptr;
        if (zero)
            nul = extent.received + (static_cast<const char *>(zero) - piece.constData());
        extent.received += got;
    }
    extent.offset = head == byteOrderMark ? byteOrderMark.size() : 0;
    extent.size = std::max<qint64>(0, (nul >= 0 ? nul : extent.received) - extent.offset);
    return extent;
}

} // namespace CatalogueText
