#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QJsonArray;
class QJsonObject;
struct QJsonParseError;

// JSON text to variant maps and lists and back. Numbers become doubles, null an
// invalid (but present) variant; booleans are left out; objects become maps
// ordered by key. Text that is not JSON decodes to an empty map; the reason is
// reported through the optional error (offsets count UTF-8 bytes).
class JSONHelper
{
public:
    JSONHelper() = default;

    QVariantMap decode(const QString &json, QJsonParseError *error = nullptr);
    QVariantMap decodeInner(const QJsonObject &object);
    QVariantList decodeInnerToList(const QJsonArray &array);

    QString encode(const QVariantMap &map);
    QJsonObject encodeInner(const QVariantMap &map);
};
