// JSON text from outside: what the parser accepts, and that repeated keys
// cost no memory in the handlers that read such text.
#include "cameraapihandler.h"
#include "obswrapper.h"
#include "untrustedjson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include <malloc.h>

#include <functional>

using Feed = std::function<void(const QByteArray &)>;
Q_DECLARE_METATYPE(Feed)

namespace {

// Bytes currently allocated through malloc (heap and mmapped blocks).
qint64 allocatedBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks) + qint64(m.hblkhd);
}

// {"a":[1],"a":[1],...} with `repeats` copies of the key, then `tail`.
QByteArray repeatedKey(int repeats, const QByteArray &tail = QByteArray())
{
    QByteArray text = "{";
    for (int i = 0; i < repeats; ++i)
        text += "\"a\":[1],";
    return text + tail + "}";
}

} // namespace

class TestUntrustedJson : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void repeatedKeysCostNoMemory_data();
    void repeatedKeysCostNoMemory();
};

void TestUntrustedJson::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("expected"); // compact Qt rendering

    QTest::newRow("object") << QByteArray(R"({"x":1,"y":[true,null,"s"]})") << true
                            << QByteArray(R"({"x":1,"y":[true,null,"s"]})");
    QTest::newRow("repeated key keeps the last")
        << QByteArray(R"({"t":[1],"t":{"u":2},"t":[3]})") << true << QByteArray(R"({"t":[3]})");
    QTest::newRow("escaped key repeats")
        << QByteArray(R"({"a":1,"\u0061":2})") << true << QByteArray(R"({"a":2})");
    QTest::newRow("non-BMP escape") << QByteArray(R"(["\ud83d\ude00 \u00e4"])") << true
                                    << QByteArray("[\"\xf0\x9f\x98\x80 \xc3\xa4\"]");
    QTest::newRow("numbers") << QByteArray("[-0.5,1e3,42]") << true << QByteArray("[-0.5,1000,42]");
    QTest::newRow("nested at the limit")
        << QByteArray(UntrustedJson::kMaxDepth, '[') + QByteArray(UntrustedJson::kMaxDepth, ']')
        << true
        << QByteArray(UntrustedJson::kMaxDepth, '[') + QByteArray(UntrustedJson::kMaxDepth, ']');
    QTest::newRow("nested beyond the limit") << QByteArray(UntrustedJson::kMaxDepth + 1, '[') +
                                                    QByteArray(UntrustedJson::kMaxDepth + 1, ']')
                                             << false << QByteArray();
    QTest::newRow("unclosed deep nesting") << QByteArray(200000, '[') << false << QByteArray();
    QTest::newRow("truncated") << QByteArray(R"({"a":[1)") << false << QByteArray();
    QTest::newRow("trailing garbage") << QByteArray("[1] x") << false << QByteArray();
    QTest::newRow("scalar document") << QByteArray("42") << false << QByteArray();
    QTest::newRow("invalid UTF-8") << QByteArray("[\"\xff\"]") << false << QByteArray();
    QTest::newRow("number overflow") << QByteArray("[1e999]") << false << QByteArray();
    QTest::newRow("empty") << QByteArray() << false << QByteArray();
}

void TestUntrustedJson::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, expected);
    const std::optional<QJsonDocument> doc = UntrustedJson::parse(text);
    QCOMPARE(doc.has_value(), valid);
    if (valid)
        QCOMPARE(doc->toJson(QJsonDocument::Compact), expected);
}

void TestUntrustedJson::repeatedKeysCostNoMemory_data()
{
    QTest::addColumn<Feed>("feed");
    QTest::newRow("camera list") << Feed([](const QByteArray &text) {
        QList<CameraApiHandler::Entry> entries;
        QVERIFY(!CameraApiHandler::parseCameraList(QString::fromUtf8(text), &entries));
    });
    QTest::newRow("OBS message") << Feed([](const QByteArray &text) {
        static ObsWrapper obs(QStringLiteral("127.0.0.1"), 4444, QString());
        obs.messageReceived(QString::fromUtf8(text));
    });
}

// A request holding one key 700 times, repeated: the growth of the heap stays
// far below one request's worth of leaked values per request.
void TestUntrustedJson::repeatedKeysCostNoMemory()
{
    QFETCH(Feed, feed);
    const QByteArray text = repeatedKey(700, R"("message-id":"2","sources":[])");
    feed(text); // first use: lazily built tables
    const qint64 before = allocatedBytes();
    for (int i = 0; i < 200; ++i)
        feed(text);
    const qint64 grown = allocatedBytes() - before;
    QVERIFY2(grown < 256 * 1024, qPrintable(QStringLiteral("%1 bytes").arg(grown)));
}

QTEST_GUILESS_MAIN(TestUntrustedJson)
#include "tst_untrustedjson.moc"
