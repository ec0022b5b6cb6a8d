#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace TextFile {

// Installation files larger than this are not read: no installer writes one,
// and reading it whole would cost seconds and gigabytes.
constexpr qint64 kMaxSize = 64 * 1024 * 1024;

// Reads a text file line by line, line ends removed. Only a regular file (or a
// link to one) of at most kMaxSize bytes is read: a FIFO or a device planted
// under one of the names the program looks for would otherwise block or never
// end. On failure returns false and says why in *error.
bool readLines(const QString &path, QStringList *lines, QString *error);

// The lines of UTF-8 text: split at "\n", one "\r" before it dropped, no empty
// line after a final line end. Linear in the size of the text.
QStringList splitLines(const QByteArray &bytes);

} // namespace TextFile
