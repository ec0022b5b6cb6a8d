#include "products/propertiesfile.h"

QString PropertiesFile::valueFromKeyValuePair(const QString &line, const QString &separator)
{
    const QStringList parts = line.split(separator);
    if (parts.size() < 2)
        return QStringLiteral("");
    return parts.at(1).trimmed();
}

QString PropertiesFile::propertyValue(const QStringList &lines, const QString &key)
{
    for (const QString &line : lines) {
        // Only a "#" in the very first column makes a comment.
        if (line.startsWith(QLatin1Char('#')))
            continue;
        if (line.contains(key, Qt::CaseInsensitive))
            return valueFromKeyValuePair(line, QStringLiteral("="));
    }
    return QString();
}
