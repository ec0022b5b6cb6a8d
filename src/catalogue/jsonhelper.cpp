#include "catalogue/jsonhelper.h"

#include "core/console.h"

#include <QJsonValue>
#include <QLocale>

#include <cmath>

namespace {

// Laid out as ECMAScript's Number::toString does, from the shortest digits that
// read back as the same double, so that the text equals JSON.stringify's.
QString numberText(double d)
{
    if (!std::isfinite(d))
        return QStringLiteral("null");
    if (d == 0)
        return QStringLiteral("0");
    const QByteArray sci = QByteArray::number(std::fabs(d), 'e', QLocale::FloatingPointShortest);
    const qsizetype e = sci.indexOf('e');
    const QByteArray digits = sci.left(e).replace(".", "");
    const int k = int(digits.size());
    const int n = sci.mid(e + 1).toInt() + 1; // the value is 0.digits * 10^n
    QByteArray text = d < 0 ? "-" : "";
    if (k <= n && n <= 21)
        text += digits + QByteArray(n - k, '0');
    else if (0 < n && n <= 21)
        text += digits.left(n) + '.' + digits.mid(n);
    else if (-6 < n && n <= 0)
        text += "0." + QByteArray(-n, '0') + digits;
    else
        text += digits.left(1) + (k > 1 ? '.' + digits.mid(1) : QByteArray()) + 'e'
            + (n > 0 ? '+' : '-') + QByteArray::number(std::abs(n - 1));
    return QString::fromLatin1(text);
}

// The escape of a character that a JSON text may not hold as it is; empty for
// the others. Controls (C0, DEL, C1) and the bidirectional controls too: a
// consumer gets them, a terminal that shows the document does not act on them.
// Lone surrogates are escaped by the caller, so that the text out is valid UTF-16.
QString escapeOf(char16_t c)
{
    switch (c) {
    case u'"':
        return QStringLiteral("\\\"");
    case u'\\':
        return QStringLiteral("\\\\");
    case u'\b':
        return QStringLiteral("\\b");
    case u'\f':
        return QStringLiteral("\\f");
    case u'\n':
        return QStringLiteral("\\n");
    case u'\r':
        return QStringLiteral("\\r");
    case u'\t':
        return QStringLiteral("\\t");
    }
    if (Console::isControl(c))
        return QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
    return QString();
}

void writeString(const QString &s, QString &out)
{
    out += u'"';
    qsizetype plain = 0; // the start of the characters written as they are
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'"' && c != u'\\')
            continue; // the common case, passed over quickly
        QString escape = escapeOf(c.unicode());
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate()) // a lone one: valid UTF-16 out
            escape = QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        if (escape.isEmpty())
            continue;
        out += QStringView(s).sliced(plain, i - plain) + escape;
        plain = i + 1;
    }
    out += QStringView(s).sliced(plain) + u'"';
}

// A text, a boolean, a number or null.
void writeScalar(const QJsonValue &value, QString &out)
{
    if (value.isBool())
        out += value.toBool() ? QLatin1String("true") : QLatin1String("false");
    else if (value.isDouble())
        out += numberText(value.toDouble());
    else if (value.isString())
        writeString(value.toString(), out);
    else
        out += QLatin1String("null");
}

void writeVariant(const QVariant &value, QString &out)
{
    if (value.metaType() == QMetaType::fromType<JSONHelper::OrderedObject>()) {
        const auto members = value.value<JSONHelper::OrderedObject>();
        out += u'{';
        for (qsizetype i = 0; i < members.size(); ++i) {
            out += QLatin1String(i > 0 ? "," : "");
            writeString(members.at(i).first, out);
            out += u':';
            writeVariant(members.at(i).second, out);
        }
        out += u'}';
    } else if (value.typeId() == QMetaType::QVariantList
        || value.typeId() == QMetaType::QStringList) {
        const QVariantList list = value.toList();
        out += u'[';
        for (qsizetype i = 0; i < list.size(); ++i) {
            out += QLatin1String(i > 0 ? "," : "");
            writeVariant(list.at(i), out);
        }
        out += u']';
    } else {
        writeScalar(QJsonValue::fromVariant(value), out);
    }
}

} // namespace

QString JSONHelper::encodeOrdered(const OrderedObject &object)
{
    QString text;
    writeVariant(QVariant::fromValue(object), text);
    return text;
}
