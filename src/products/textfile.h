#pragma once

#include <QString>
#include <QStringList>

namespace TextFile {

// Reads a text file line by line, line ends removed. Only a regular file (or a
// link to one) is read: a FIFO or a device planted under one of the names the
// program looks for would otherwise block or never end. On failure returns
// false and says why in *error.
bool readLines(const QString &path, QStringList *lines, QString *error);

} // namespace TextFile
