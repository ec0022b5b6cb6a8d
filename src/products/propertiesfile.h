#pragma once

#include <QString>
#include <QStringList>

// The rules by which the installer's properties files are read.
namespace PropertiesFile {

// The text between the first and the second separator, trimmed; empty when
// the line has no separator.
QString valueFromKeyValuePair(const QString &line, const QString &separator);

// The value of the first line that contains the key anywhere, ignoring case,
// and does not start with '#'; a null string when no line does.
QString propertyValue(const QStringList &lines, const QString &key);

} // namespace PropertiesFile
