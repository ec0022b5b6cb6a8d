#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariantMap>

// The writer of the JSON report: encodeOrdered() writes an ordered object as
// compact JSON text, numbers laid out as JavaScript does.
class JSONHelper
{
public:
    // An object whose members are written in the order given. Its values may
    // be texts, booleans, numbers, null (a default QVariant), lists of such
    // values and nested ordered objects.
    using OrderedObject = QList<QPair<QString, QVariant>>;

    static QString encodeOrdered(const OrderedObject &object);
};
