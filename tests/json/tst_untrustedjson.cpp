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
