// JSON text from outside: what the parser accepts. (Memory under repeated
// keys: bench/json.)
#include "untrustedjson.h"

#include <QtTest>

class TestUntrustedJson : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestUntrustedJson::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected"); // compact Qt rendering; empty: refused
    const QByteArray deep =
        QByteArray(UntrustedJson::kMaxDepth, '[') + QByteArray(UntrustedJson::kMaxDepth, ']');
    QTest::newRow("object") << QByteArray(R"({"x":1,"y":[true,null,"s"]})")
                            << QByteArray(R"({"x":1,"y":[true,null,"s"]})");
    QTest::newRow("repeated key keeps the last")
        << QByteArray(R"({"t":[1],"t":{"u":2},"t":[3]})") << QByteArray(R"({"t":[3]})");
    QTest::newRow("escaped key repeats")
        << QByteArray(R"({"a":1,"\u0061":2})") << QByteArray(R"({"a":2})");
    QTest::newRow("non-BMP escape") << QByteArray(R"(["\ud83d\ude00 \u00e4"])")
                                    << QByteArray("[\"\xf0\x9f\x98\x80 \xc3\xa4\"]");
    QTest::newRow("numbers") << QByteArray("[-0.5,1e3,42]") << QByteArray("[-0.5,1000,42]");
    QTest::newRow("nested at the limit") << deep << deep;
    QTest::newRow("nested beyond the limit") << "[" + deep + "]" << QByteArray();
    QTest::newRow("unclosed deep nesting") << QByteArray(200000, '[') << QByteArray();
    for (const char *bad : {"{\"a\":[1", "[1] x", "42", "[\"\xff\"]", "[1e999]", ""})
        QTest::newRow(bad) << QByteArray(bad) << QByteArray();
}

void TestUntrustedJson::parse()
{
    QFETCH(QByteArray, text);
    const std::optional<QJsonDocument> doc = UntrustedJson::parse(text);
    QTEST(doc ? doc->toJson(QJsonDocument::Compact) : QByteArray(), "expected");
}

QTEST_GUILESS_MAIN(TestUntrustedJson)
#include "tst_untrustedjson.moc"
