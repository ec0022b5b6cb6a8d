#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

class QJsonArray;
class QJsonObject;

// JSON text to variant maps and lists and back. Numbers become doubles, null an
// invalid (but present) variant; booleans are left out; objects become maps
// ordered by key.
class JSONHelper
{
public:
    JSONHelper() = default;

    QVariantMap decode(const QString &json);
    QVariantMap decodeInner(const QJsonObject &object);
    QVariantList decodeInnerToList(const QJsonArray &array);

    QString encode(const QVariantMap &map);
    QJsonObject encodeInner(const QVariantMap &map);
};
