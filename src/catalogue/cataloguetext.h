#pragma once

#include <QByteArray>

// The catalogue as the rest of the program reads it, from the bytes a server
// sent: UTF-8 without a leading byte-order mark, ending before the first NUL
// byte. Works in place, so a large body is not copied.
namespace CatalogueText {

QByteArray fromReceived(QByteArray received);

} // namespace CatalogueText
