#pragma once

#include <QByteArray>
#include <QJsonParseError>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariantMap>

class QJsonObject;

// The program's one JSON module. parse() is strict: it accepts exactly the
// texts that are JSON (any value at the top, an optional byte-order mark
// before it) and rejects the rest with a reason. encode() writes a variant
// map (keys sorted), encodeOrdered() an ordered object, as compact JSON text,
// numbers laid out as JavaScript does. Reader (jsonreader.h) goes through a
// large text piece by piece without building it as a tree.
class JSONHelper
{
public:
    class Reader;

    // An object whose members are written in the order given. Its values may
    // be texts, booleans, numbers, null (a default QVariant), lists of such
    // values and nested ordered objects.
    using OrderedObject = QList<QPair<QString, QVariant>>;

    JSONHelper() = default;

    // The value of a JSON text given as UTF-8; undefined, with the reason in
    // *error (offsets count bytes), when the text is not JSON.
    static QJsonValue parse(const QByteArray &json, QJsonParseError *error = nullptr);

    // Strings, ints, doubles, lists (elements by Qt's standard conversion) and
    // nested maps; entries of any other type are left out.
    QString encode(const QVariantMap &map);
    static QString encodeOrdered(const OrderedObject &object);
    QJsonObject encodeInner(const QVariantMap &map);
};
