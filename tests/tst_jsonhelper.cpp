#include "catalogue/jsonhelper.h"
#include "testmain.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonParseError>
#include <QTest>

#include <cfloat>
#include <cmath>

namespace {

// Variants as text that shows their types: doubles as bare numbers, strings in
// quotes, invalid ones as null; any other type shows its name and fails a comparison.
QString describe(const QVariant &value)
{
    QStringList parts;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QStringLiteral("null");
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QString:
        return u'"' + value.toString() + u'"';
    case QMetaType::QVariantList:
        for (const QVariant &element : value.toList())
            parts << describe(element);
        return u'[' + parts.join(u',') + u']';
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            parts << it.key() + u':' + describe(it.value());
        return u'{' + parts.join(u',') + u'}';
    }
    default:
        return QStringLiteral("<%1 %2>").arg(QLatin1String(value.typeName()), value.toString());
    }
}

QString suiteDir()
{
    QString base = qEnvironmentVariable("KORVANE_TESTDATA");
    if (base.isEmpty())
        base = qEnvironmentVariable("KORVANE_SOURCE_DIR") + QStringLiteral("/../shared/testdata");
    return base + QStringLiteral("/jsontestsuite");
}

QString nested(int depth, const QString &open, const QString &close)
{
    return open.repeated(depth) + close.repeated(depth);
}

} // namespace

class TestJsonHelper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decode_data();
    void decode();
    void invalidTextGivesEmptyMap_data();
    void invalidTextGivesEmptyMap();
    void nestingWithinTheLimitDecodes();
    void largeDocumentDecodes();
    void conformanceSuite_data();
    void conformanceSuite();
    void encode_data();
    void encode();
    void encodeNumbersAsJsonStringify_data();
    void encodeNumbersAsJsonStringify();
    void encodeEscapesAsJsonStringify_data();
    void encodeEscapesAsJsonStringify();
    void encodedTextDecodesToTheSameMap();
};

void TestJsonHelper::initTestCase()
{
    const QStringList files = QDir(suiteDir()).entryList({QStringLiteral("*.json")}, QDir::Files);
    QVERIFY2(files.size() > 300,
        qPrintable(QStringLiteral("conformance suite missing in ") + suiteDir()));
}

void TestJsonHelper::decode_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("expected");

    QTest::newRow("integer is a double") << R"({"a":1})"
                                         << "{a:1}";
    QTest::newRow("ten is a double") << R"({"a":10})"
                                     << "{a:10}";
    QTest::newRow("fraction with exponent") << R"({"a":-12.5E-3})"
                                            << "{a:-0.0125}";
    QTest::newRow("integer beyond 2^53 rounds like a double") << R"({"a":9007199254740993})"
                                                              << "{a:9007199254740992}";
    QTest::newRow("integer beyond 64 bits") << R"({"a":123456789012345678901234567890})"
                                            << "{a:1.2345678901234568e+29}";
    QTest::newRow("string") << R"({"a":"x"})"
                            << R"({a:"x"})";
    QTest::newRow("true is dropped") << R"({"a":true})"
                                     << "{}";
    QTest::newRow("false is dropped") << R"({"a":false,"b":1})"
                                      << "{b:1}";
    QTest::newRow("null is present and invalid") << R"({"a":null})"
                                                 << "{a:null}";
    QTest::newRow("booleans leave a list, later elements move up")
        << R"({"a":[1,true,"x",null,false]})"
        << R"({a:[1,"x",null]})";
    QTest::newRow("object and array inside arrays") << R"({"a":[{"b":"c"},[[]],[1]]})"
                                                    << R"({a:[{b:"c"},[[]],[1]]})";
    QTest::newRow("member named length is a key") << R"({"length":3,"a":[7]})"
                                                  << "{a:[7],length:3}";
    QTest::newRow("keys sorted whatever the text order") << R"({"b":1,"a":2,"B":3})"
                                                         << "{B:3,a:2,b:1}";
    QTest::newRow("duplicate keys: the last wins") << R"({"a":1,"b":0,"a":"two"})"
                                                   << R"({a:"two",b:0})";
    QTest::newRow("duplicate key whose last value is a boolean") << R"({"a":1,"a":true})"
                                                                 << "{}";
    QTest::newRow("duplicate keys in a nested object") << R"({"o":[{"x":1,"x":2}]})"
                                                       << "{o:[{x:2}]}";
    QTest::newRow("empty object") << "{}"
                                  << "{}";
    QTest::newRow("whitespace around") << " \t\r\n{\"a\" : [ 1 , 2 ] }\n "
                                       << "{a:[1,2]}";
    QTest::newRow("byte-order mark before the text")
        << QStringLiteral("\uFEFF{\"a\":1}") << "{a:1}";
    QTest::newRow("escapes") << R"({"a":"q\"b\\s\/n\nt\tu\u00e9\u0000"})"
                             << QStringLiteral("{a:\"q\"b\\s/n\nt\tu\u00e9") + QChar(0) + u'"'
            + u'}';
    QTest::newRow("non-ASCII key and value")
        << QStringLiteral("{\"\u00e9\":\"\u00e9\"}") << QStringLiteral("{\u00e9:\"\u00e9\"}");
    QTest::newRow("character outside the BMP")
        << QStringLiteral("{\"a\":\"\U0001F600\"}") << QStringLiteral("{a:\"\U0001F600\"}");
    QTest::newRow("escaped surrogate pair")
        << R"({"a":"\ud83d\ude00"})" << QStringLiteral("{a:\"\U0001F600\"}");
    QTest::newRow("top-level string") << R"("abc")"
                                      << "{}";
    QTest::newRow("top-level number") << "12"
                                      << "{}";
    QTest::newRow("top-level null") << "null"
                                    << "{}";
    QTest::newRow("top-level boolean") << "true"
                                       << "{}";
    QTest::newRow("top-level empty array") << "[]"
                                           << "{length:0}";
    QTest::newRow("top-level array: elements under indices, then length")
        << R"([5,true,"x",null,[1]])"
        << R"({0:5,2:"x",3:null,4:[1],length:5})";
    QTest::newRow("catalogue shape")
        << R"({"Product":[{"version":10.1,"patches":[{"Name":"P1","SecurityPatch":true,)"
           R"("Platform":"Linux"}]},{"version":"11","patches":[]}]})"
        << R"({Product:[{patches:[{Name:"P1",Platform:"Linux"}],version:10.1},)"
           R"({patches:[],version:"11"}]})";
}

void TestJsonHelper::decode()
{
    QFETCH(QString, json);
    QFETCH(QString, expected);

    QJsonParseError error {};
    error.error = QJsonParseError::UnterminatedObject;
    QCOMPARE(describe(JSONHelper().decode(json, &error)), expected);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(describe(JSONHelper().decode(json)), expected);
}

void TestJsonHelper::invalidTextGivesEmptyMap_data()
{
    QTest::addColumn<QString>("json");

    QTest::newRow("empty") << "";
    QTest::newRow("whitespace only") << " \n\t ";
    QTest::newRow("byte-order mark only") << QStringLiteral("\uFEFF");
    QTest::newRow("opening brace only") << "{";
    QTest::newRow("truncated catalogue") << R"({"Product":[{"version":"10.1","pat)";
    QTest::newRow("truncated string") << R"({"a":"abc)";
    QTest::newRow("trailing comma") << R"({"a":1,})";
    QTest::newRow("two documents") << "{} {}";
    QTest::newRow("two top-level values") << "1,2";
    QTest::newRow("closing bracket too many") << "[1]]";
    QTest::newRow("single quotes") << "{'a':1}";
    QTest::newRow("NaN") << R"({"a":NaN})";
    QTest::newRow("leading zero") << R"({"a":01})";
    QTest::newRow("number ending in a point") << R"({"a":1.})";
    QTest::newRow("number starting with a point") << R"({"a":-.5})";
    QTest::newRow("unknown escape") << R"({"a":"\x41"})";
    QTest::newRow("raw line break in a string") << "{\"a\":\"x\ny\"}";
    QTest::newRow("a script expression is not evaluated") << "1+1";
    QTest::newRow("a script that never ends") << "(function(){for(;;){}})()";
    QTest::newRow("HTML error page") << "<html><body>502 Bad Gateway</body></html>";
    QTest::newRow("NUL after the object") << QStringLiteral("{}") + QChar(0);
    QTest::newRow("raw control character in a string") << QStringLiteral("{\"a\":\"\x01\"}");
    QTest::newRow("100000 nested arrays")
        << nested(100000, QStringLiteral("["), QStringLiteral("]"));
    QTest::newRow("100000 nested objects")
        << nested(100000, QStringLiteral("{\"a\":"), QStringLiteral("}"))
               .replace(QStringLiteral(":}"), QStringLiteral(":1}"));
    QTest::newRow("100000 unclosed arrays") << QStringLiteral("[").repeated(100000);
}

void TestJsonHelper::invalidTextGivesEmptyMap()
{
    QFETCH(QString, json);

    QJsonParseError error {};
    QCOMPARE(JSONHelper().decode(json, &error), QVariantMap());
    QVERIFY(error.error != QJsonParseError::NoError);
    QVERIFY(error.offset >= 0 && error.offset <= json.toUtf8().size());
    QCOMPARE(JSONHelper().decode(json), QVariantMap());
}

void TestJsonHelper::nestingWithinTheLimitDecodes()
{
    // 1000 levels: an object and an array each time.
    const int depth = 500;
    QVariant value
        = JSONHelper().decode(nested(depth, QStringLiteral("{\"a\":["), QStringLiteral("]}")));
    int seen = 0;
    while (value.typeId() == QMetaType::QVariantMap) {
        value = value.toMap().value(QStringLiteral("a")).toList().value(0);
        ++seen;
    }
    QCOMPARE(seen, depth);
}

void TestJsonHelper::largeDocumentDecodes()
{
    const QString patch = QStringLiteral(
        R"({"Name":"Patch %1 for \u00e9t\u00e9","Products":"Brivex for Server, Portal for )"
        R"(Brivex","SecurityPatch":true,"Platform":"Linux, Windows","url":"https://)"
        R"(example.invalid/patches/%1","QFE_ID":"QFE-%1","ReleaseDate":"2024-01-01"},)");
    QString json = QStringLiteral(R"({"Product":[{"version":"10.1","patches":[)");
    int count = 0;
    while (json.size() < 50 * 1000 * 1000)
        json += patch.arg(count++);
    json += QStringLiteral(R"({"Name":"last"}]}]})");
    ++count;

    const QVariantMap root = JSONHelper().decode(json);
    json.clear();
    const QVariantList patches = root.value(QStringLiteral("Product"))
                                     .toList()
                                     .value(0)
                                     .toMap()
                                     .value(QStringLiteral("patches"))
                                     .toList();
    QCOMPARE(patches.size(), count);
    const QVariantMap first = patches.first().toMap();
    QCOMPARE(first.value(QStringLiteral("Name")).toString(),
        QStringLiteral("Patch 0 for \u00e9t\u00e9"));
    QVERIFY(!first.contains(QStringLiteral("SecurityPatch")));
    QCOMPARE(
        patches.last().toMap().value(QStringLiteral("Name")).toString(), QStringLiteral("last"));
}

void TestJsonHelper::conformanceSuite_data()
{
    QTest::addColumn<QString>("path");

    const QDir dir(suiteDir());
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

// y_ texts must be accepted, n_ texts rejected, i_ texts either way; none may crash or hang.
void TestJsonHelper::conformanceSuite()
{
    QFETCH(QString, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString json = QString::fromUtf8(file.readAll());
    QJsonParseError error {};
    error.error = QJsonParseError::UnterminatedObject;
    const QVariantMap map = JSONHelper().decode(json, &error);

    const QString name = QFileInfo(path).fileName();
    if (name.startsWith(QLatin1String("y_")))
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    if (name.startsWith(QLatin1String("n_"))) {
        QVERIFY(error.error != QJsonParseError::NoError);
        QVERIFY(map.isEmpty());
    }
}

void TestJsonHelper::encode_data()
{
    QTest::addColumn<QVariantMap>("map");
    QTest::addColumn<QString>("json");

    QTest::newRow("empty map") << QVariantMap() << "{}";
    QTest::newRow("string") << QVariantMap {{"s", "x"}} << R"({"s":"x"})";
    QTest::newRow("Int as a number") << QVariantMap {{"i", 10}} << R"({"i":10})";
    QTest::newRow("Double") << QVariantMap {{"d", 1.5}} << R"({"d":1.5})";
    QTest::newRow("integral Double") << QVariantMap {{"d", 10.0}} << R"({"d":10})";
    QTest::newRow("Bool left out") << QVariantMap {{"b", true}, {"s", "x"}} << R"({"s":"x"})";
    QTest::newRow("other types left out") << QVariantMap {{"u", 1u}, {"ll", qlonglong(1)},
        {"ull", qulonglong(1)}, {"sl", QStringList {"a"}}, {"ba", QByteArray("a")},
        {"null", QVariant()}, {"date", QDate(2024, 1, 1)}}
                                          << "{}";
    QTest::newRow("nested map by the same rules")
        << QVariantMap {{"m", QVariantMap {{"b", false}, {"i", 1}, {"m", QVariantMap()}}}}
        << R"({"m":{"i":1,"m":{}}})";
    QTest::newRow("list elements by standard conversion") << QVariantMap {{"l",
        QVariantList {1, true, "x", QVariant(), 2.5, QVariantMap {{"b", true}},
            QVariantList()}}} << R"({"l":[1,true,"x",null,2.5,{"b":true},[]]})";
    QTest::newRow("keys in sorted order, escaped")
        << QVariantMap {{"b", 1}, {"a\"", 2}, {"B", 3}} << R"({"B":3,"a\"":2,"b":1})";
}

void TestJsonHelper::encode()
{
    QFETCH(QVariantMap, map);
    QFETCH(QString, json);
    QCOMPARE(JSONHelper().encode(map), json);
}

void TestJsonHelper::encodeNumbersAsJsonStringify_data()
{
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("hundred") << 100.0 << "100";
    QTest::newRow("negative fraction") << -1.5 << "-1.5";
    QTest::newRow("shortest digits") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("2^53") << 9007199254740992.0 << "9007199254740992";
    QTest::newRow("1e20 in full") << 1e20 << "100000000000000000000";
    QTest::newRow("21 digits in full") << 1.2345678901234568e20 << "123456789012345680000";
    QTest::newRow("1e21 with exponent") << 1e21 << "1e+21";
    QTest::newRow("fraction with exponent") << -1.25e21 << "-1.25e+21";
    QTest::newRow("1e-6 in full") << 0.000001 << "0.000001";
    QTest::newRow("1.5e-6 in full") << 0.0000015 << "0.0000015";
    QTest::newRow("1e-7 with exponent") << 1e-7 << "1e-7";
    QTest::newRow("1.5e-7 with exponent") << 1.5e-7 << "1.5e-7";
    QTest::newRow("largest double") << DBL_MAX << "1.7976931348623157e+308";
    QTest::newRow("smallest subnormal") << 5e-324 << "5e-324";
    QTest::newRow("NaN") << std::nan("") << "null";
    QTest::newRow("infinity") << HUGE_VAL << "null";
    QTest::newRow("minus infinity") << -HUGE_VAL << "null";
}

void TestJsonHelper::encodeNumbersAsJsonStringify()
{
    QFETCH(double, number);
    QFETCH(QString, text);
    QCOMPARE(JSONHelper().encode({{QStringLiteral("n"), number}}), R"({"n":)" + text + u'}');
}

void TestJsonHelper::encodeEscapesAsJsonStringify_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("quote and backslash") << R"(a"b\c)"
                                         << R"(a\"b\\c)";
    QTest::newRow("slash stays") << "a/b"
                                 << "a/b";
    QTest::newRow("short escapes") << "\b\f\n\r\t"
                                   << R"(\b\f\n\r\t)";
    QTest::newRow("other control characters, lower-case hex")
        << QStringLiteral("\x01\x1f") + QChar(0) << R"(\u0001\u001f\u0000)";
    QTest::newRow("DEL stays") << "\x7f"
                               << "\x7f";
    QTest::newRow("non-ASCII stays")
        << QStringLiteral("\u00e9\u2028\U0001F600") << QStringLiteral("\u00e9\u2028\U0001F600");
    QTest::newRow("lone surrogates escaped")
        << QString(QChar(0xD800)) + u'x' + QChar(0xDC00) << R"(\ud800x\udc00)";
    QTest::newRow("inverted pair escaped")
        << QString(QChar(0xDE00)) + QChar(0xD83D) << R"(\ude00\ud83d)";
}

void TestJsonHelper::encodeEscapesAsJsonStringify()
{
    QFETCH(QString, value);
    QFETCH(QString, text);
    QCOMPARE(JSONHelper().encode({{QStringLiteral("s"), value}}), R"({"s":")" + text + R"("})");
}

void TestJsonHelper::encodedTextDecodesToTheSameMap()
{
    const QVariantMap map {
        {"Product",
            QVariantList {QVariantMap {{"version", 10.1},
                {"patches", QVariantList {QVariantMap {{"Name", "\u00e9\"\n"}, {"n", 1e-7}}}}}}},
        {"list", QVariantList {QVariant(), 1e300, QVariantList {"x"}}}};
    JSONHelper helper;
    QCOMPARE(describe(helper.decode(helper.encode(map))), describe(map));
}

KORVANE_TEST_MAIN(TestJsonHelper)

#include "tst_jsonhelper.moc"
