#pragma once

#include <QByteArray>

class QIODevice;

// The catalogue as the rest of the program reads it, from the bytes a server
// sent: UTF-8 without a leading byte-order mark, ending before the first NUL
// byte.
namespace CatalogueText {

// Works in place, so a large body is not copied.
QByteArray fromReceived(QByteArray received);

// Where the text lies in what a device gives, read to its end in pieces
// (stopping once more than limit bytes came).
struct Extent
{
    qint64 received = 0; // bytes read
    qint64 offset = 0; // where the text starts: after a byte-order mark
    qint64 size = 0;
    bool readError = false;
};
Extent measure(QIODevice &device, qint64 limit);

} // namespace CatalogueText
