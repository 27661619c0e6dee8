#include "httplimits.h"
#include "httprequestparser.h"
#include "qhttpserver.h"
#include "rawhttpclient.h"

#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;
using qhttp::server::QHttpServer;
using Event = HttpRequestParser::Event;

// The HTTP layer on its own: parser byte vectors, and a server on 127.0.0.1
// whose handler answers with "<method> <path>?<query>"; conversations are
// scripted rows of bytes sent and answers expected, deadlines run on a clock
// the test moves.
class TestHttpServer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_server.reset(); }

    void parserRequestHead_data();
    void parserRequestHead();
    void parserIncremental();
    void parserSplitsRequests_data();
    void parserSplitsRequests();
    void parserErrors_data();
    void parserErrors();
    void framing();

    void conversation_data();
    void conversation();
    void backPressure();
    void connectionShare();
    void stopListening();
    void clientLeavesDuringNestedEventLoop();

private:
    void answer(QHttpRequest *req, QHttpResponse *resp);
    bool listenAnswering()
    {
        return m_server->listen(
            QHostAddress::LocalHost, 0,
            [this](QHttpRequest *req, QHttpResponse *resp) { answer(req, resp); });
    }
    std::unique_ptr<QHttpServer> m_server;
    quint16 m_port = 0;
    // Requests for "/later" are kept here instead of being answered.
    std::vector<QPointer<QHttpResponse>> m_held;
    // Called inside the "/nested" handler before its nested event loop.
    std::function<void()> m_inHandler;
    int m_bigAnswered = 0;
};

void TestHttpServer::answer(QHttpRequest *req, QHttpResponse *resp)
{
    const QString path = req->url().path();
    if (path == "/later") {
        m_held.push_back(resp);
    } else if (path == "/nested") {
        // A receiver that opens a modal dialog runs a nested event loop.
        if (m_inHandler)
            m_inHandler();
        QEventLoop loop;
        QTimer::singleShot(150, &loop, &QEventLoop::quit);
        loop.exec();
        resp->end("nested");
    } else if (path == "/stop") {
        m_server->stopListening();
        resp->end("stopped");
    } else if (path == "/big") {
        ++m_bigAnswered;
        resp->end(QByteArray(256 * 1024, 'B'));
    } else {
        resp->addHeader("Content-Type", "text/plain");
        resp->end(QByteArray::number(req->method()) + ' ' + req->url().toEncoded());
    }
}

void TestHttpServer::init()
{
    m_held.clear();
    m_bigAnswered = 0;
    m_inHandler = nullptr;
    m_server.reset(new QHttpServer);
    QVERIFY(listenAnswering());
    m_port = m_server->serverPort();
}

// --- parser ---

static std::vector<HttpRequestHead> parseAll(const QByteArray &bytes, HttpRequestParser &p,
                                             Event *last = nullptr)
{
    std::vector<HttpRequestHead> out;
    std::size_t pos = 0;
    Event ev = Event::NeedMore;
    while (pos < std::size_t(bytes.size())) {
        std::size_t used = 0;
        ev = p.feed(bytes.constData() + pos, std::size_t(bytes.size()) - pos, &used);
        pos += used;
        if (ev == Event::Request)
            out.push_back(p.takeRequest());
        else if (ev == Event::Error || used == 0)
            break;
    }
    if (last)
        *last = ev;
    return out;
}

void TestHttpServer::parserRequestHead_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("keepAlive");
    QTest::newRow("GET") << QByteArray("GET /x HTTP/1.1\r\nHost: a\r\n\r\n") << 1 << true;
    QTest::newRow("HEAD") << QByteArray("HEAD /x HTTP/1.1\r\n\r\n") << 2 << true;
    QTest::newRow("1.1 close") << QByteArray("PUT /x HTTP/1.1\r\nConnection: close\r\n\r\n") << 4
                               << false;
    QTest::newRow("1.0") << QByteArray("GET /x HTTP/1.0\r\n\r\n") << 1 << false;
    QTest::newRow("1.0 keep-alive")
        << QByteArray("GET /x HTTP/1.0\r\nConnection: keep-alive\r\n\r\n") << 1 << true;
    QTest::newRow("upgrade")
        << QByteArray("GET /x HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n") << 1
        << false;
}

void TestHttpServer::parserRequestHead()
{
    QFETCH(QByteArray, request);
    QFETCH(int, method);
    QFETCH(bool, keepAlive);
    HttpRequestParser p;
    const auto reqs = parseAll(request, p);
    QCOMPARE(int(reqs.size()), 1);
    QCOMPARE(reqs[0].method, method);
    QCOMPARE(reqs[0].target, QByteArray("/x"));
    QCOMPARE(reqs[0].keepAlive, keepAlive);
    QCOMPARE(p.finished(), !keepAlive);
}

// Byte by byte: each byte is taken, the state follows the request, and each
// request completes at its last byte. Given both at once, feed() stops after
// the first.
void TestHttpServer::parserIncremental()
{
    const QByteArray post("POST /a?x=1 HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc");
    const QByteArray get = getRequest("/b", "X-Thing: Yes\r\n");
    const QByteArray both = post + get;
    HttpRequestParser p;
    QByteArrayList targets;
    for (int i = 0; i < both.size(); ++i) {
        std::size_t used = 0;
        const Event ev = p.feed(both.constData() + i, 1, &used);
        QCOMPARE(int(used), 1);
        const int end = i < post.size() ? post.size() - 1 : both.size() - 1;
        QCOMPARE(ev, i == end ? Event::Request : Event::NeedMore);
        QCOMPARE(p.inRequest(), i != end);
        // Head complete from its blank line until the request ends.
        QCOMPARE(p.headComplete(), i >= post.indexOf("\r\n\r\n") + 3 && i < post.size() - 1);
        if (ev == Event::Request)
            targets << p.takeRequest().target;
    }
    QCOMPARE(targets, (QByteArrayList{"/a?x=1", "/b"}));

    HttpRequestParser q;
    std::size_t used = 0;
    QCOMPARE(q.feed(both.constData(), std::size_t(both.size()), &used), Event::Request);
    QCOMPARE(int(used), post.size());
    q.takeRequest();
    QCOMPARE(q.feed(get.constData(), std::size_t(get.size()), &used), Event::Request);
    const HttpRequestHead b = q.takeRequest();
    QCOMPARE(b.headers.size(), 2);
    QCOMPARE(b.headers.at(1), (QPair<QByteArray, QByteArray>("x-thing", "Yes")));
}

void TestHttpServer::parserSplitsRequests_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("targets");
    QTest::newRow("bodies discarded") << "POST /a HTTP/1.1\r\nContent-Length: 5\r\n\r\nGET /"
                                         "PUT /b HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                                         "3\r\nabc\r\n0\r\n\r\n" +
                                             getRequest("/c")
                                      << QByteArrayList{"/a", "/b", "/c"};
    // The head bound applies per request, not per connection.
    QByteArray head = "GET / HTTP/1.1\r\nX-Pad: ";
    head += QByteArray(int(HttpLimits::kMaxHeadBytes) - head.size() - 64, 'a') + "\r\n\r\n";
    QTest::newRow("heads just under the bound") << head + head << QByteArrayList{"/", "/"};
}

void TestHttpServer::parserSplitsRequests()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, targets);
    HttpRequestParser p;
    QByteArrayList got;
    for (const HttpRequestHead &h : parseAll(bytes, p))
        got << h.target;
    QCOMPARE(got, targets);
}

void TestHttpServer::parserErrors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    const QByteArray big(int(HttpLimits::kMaxHeadBytes), 'a');
    const QByteArray tooMuch = QByteArray::number(qulonglong(HttpLimits::kMaxBodyBytes) + 1);
    QTest::newRow("garbage") << QByteArray("HELLO\r\n\r\n") << 400;
    QTest::newRow("space before a colon")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length : 3\r\n\r\nabc") << 400;
    QTest::newRow("head too large") << "GET / HTTP/1.1\r\nX-Pad: " + big + "\r\n\r\n" << 431;
    QTest::newRow("declared body too large")
        << "POST / HTTP/1.1\r\nContent-Length: " + tooMuch + "\r\n\r\n"
        << 413;
    QTest::newRow("chunked body too large")
        << "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
               QByteArray::number(qulonglong(HttpLimits::kMaxBodyBytes) + 1, 16) + "\r\n" +
               QByteArray(int(HttpLimits::kMaxBodyBytes) + 1, 'b')
        << 413;
}

void TestHttpServer::parserErrors()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    HttpRequestParser p;
    Event last;
    QCOMPARE(int(parseAll(bytes, p, &last).size()), 0);
    QCOMPARE(last, Event::Error);
    QCOMPARE(p.errorStatus(), status);
    std::size_t used = 1;
    QCOMPARE(p.feed("GET / HTTP/1.1\r\n\r\n", 18, &used), Event::Error);
    QCOMPARE(int(used), 0);
}

void TestHttpServer::framing()
{
    QCOMPARE(QHttpResponse::frame(404, {{"Content-Type", "application/json"}}, "Page Not Found!",
                                  false, true, false),
             QByteArray("HTTP/1.1 404 Not Found\r\nContent-Type: application/json\r\n"
                        "Content-Length: 15\r\n\r\nPage Not Found!"));
    QCOMPARE(QHttpResponse::frame(200, {}, "abc", true, false, false),
             QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nConnection: close\r\n\r\n"));
    QCOMPARE(QHttpResponse::frame(431, {}, QByteArray(), false, true, true),
             QByteArray("HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Length: 0\r\n"
                        "Connection: keep-alive\r\n\r\n"));

    // Framing headers and header injection are refused.
    QHttpResponse r(nullptr, 0, false, true, false);
    r.addHeader("Content-Length", "99");
    r.addHeader("Connection", "close");
    r.addHeader("X-Evil", "a\r\nSet-Cookie: x");
    r.addHeader("X-Ok", "1");
    r.write("ab");
    r.end("c");
    r.end("again");
    QCOMPARE(r.wireBytes(),
             QByteArray("HTTP/1.1 200 OK\r\nX-Ok: 1\r\nContent-Length: 3\r\n\r\nabc"));
}

// --- server over sockets ---

namespace {

// One step of a scripted conversation on one connection.
struct Step
{
    enum Op
    {
        Send,       // write bytes
        Expect,     // the next response has status line bytes and this body
        ExpectHead, // the same for a HEAD response (no body on the wire)
        Last,       // Expect, marked "Connection: close", then the server closes
        Advance,    // the server clock moves on by n ms, deadlines are checked
        Open,       // the server still holds the connection
        Closed,     // the server has closed the connection
        Held,       // the "/later" handler holds n responses
        EndHeld,    // the oldest held response is ended with body, then released
        Leave       // the client resets (n = 1: closes) the connection
    } op;
    QByteArray bytes;
    QByteArray body;
    int n;
    Step(Op o, const QByteArray &b = {}, const QByteArray &d = {}, int n = 0)
        : op(o), bytes(b), body(d), n(n)
    {
    }

    static Step send(const QByteArray &b) { return {Send, b, {}}; }
    static Step expect(const QByteArray &body) { return {Expect, "HTTP/1.1 200 OK", body}; }
    static Step last(const QByteArray &status, const QByteArray &body = {})
    {
        return {Last, status, body};
    }
    static Step advance(int ms) { return {Advance, {}, {}, ms}; }
};
using Script = QVector<Step>;
using S = Step;

// The steps after which a deadline of ms closes the connection, not earlier.
Script expiresAfter(Script script, int ms)
{
    return script << S::advance(ms - 1) << S{S::Open} << S::advance(1) << S{S::Closed};
}

} // namespace

Q_DECLARE_METATYPE(Script)

void TestHttpServer::conversation_data()
{
    QTest::addColumn<Script>("script");
    const int requestMs = HttpLimits::kRequestTimeoutMs;
    const QByteArray maxBody = QByteArray::number(qulonglong(HttpLimits::kMaxBodyBytes));
    const QByteArray k200("HTTP/1.1 200 OK"), k400("HTTP/1.1 400 Bad Request");

    Script pipelined{S::send(QByteArray())};
    for (int i = 0; i < 40; ++i) {
        pipelined[0].bytes += getRequest("/p" + QByteArray::number(i));
        pipelined << S::expect("1 /p" + QByteArray::number(i));
    }
    QTest::newRow("pipelined keep-alive") << (pipelined << S{S::Open});
    QTest::newRow("close then more")
        << Script{S::send(getRequest("/x", "Connection: close\r\n") + getRequest("/y")),
                  S::last(k200, "1 /x")};
    QTest::newRow("HEAD") << Script{S::send("HEAD /h HTTP/1.1\r\n\r\n" + getRequest("/g")),
                                    {S::ExpectHead, k200},
                                    S::expect("1 /g")};
    QTest::newRow("garbage after a good request") << Script{
        S::send(getRequest("/ok") + "NOT HTTP AT ALL\r\n\r\n"), S::expect("1 /ok"), S::last(k400)};
    QTest::newRow("body at the cap is discarded")
        << Script{S::send("POST /post HTTP/1.1\r\nContent-Length: " + maxBody + "\r\n\r\n" +
                          QByteArray(int(HttpLimits::kMaxBodyBytes), 'z') + getRequest("/after")),
                  S::expect("3 /post"), S::expect("1 /after")};
    QTest::newRow("body over the cap")
        << Script{S::send("POST / HTTP/1.1\r\nContent-Length: 1" + maxBody + "\r\n\r\n"),
                  S::last("HTTP/1.1 413 Payload Too Large")};

    // Deadlines on the server's own clock; progress does not extend them.
    QTest::newRow("silent client") << expiresAfter({}, requestMs);
    QTest::newRow("trickling head") << expiresAfter(
        {S::send("GET /slow HTTP/1.1\r\n"), S::advance(4000), S::send("X-A: 1\r\n")},
        requestMs - 4000);
    QTest::newRow("idle keep-alive")
        << expiresAfter({S::send(getRequest("/i")), S::expect("1 /i")}, HttpLimits::kIdleTimeoutMs);
    QTest::newRow("no deadline while a handler owes the answer")
        << Script{S::send(getRequest("/later") + getRequest("/now")),
                  {S::Held, {}, {}, 1},
                  S::advance(10 * HttpLimits::kIdleTimeoutMs),
                  {S::Open},
                  {S::EndHeld, {}, "first"},
                  S::expect("first"),
                  S::expect("1 /now")};
    // The client leaving mid-request or owed an answer leaves nothing behind.
    QTest::newRow("client resets in the head")
        << Script{S::send("GET /half HTTP/1.1\r\nX-Partial: ab"), {S::Leave}, {S::Closed}};
    QTest::newRow("client closes in the body") << Script{
        S::send("POST /b HTTP/1.1\r\nContent-Length: 60000\r\n\r\n" + QByteArray(5000, 'x')),
        {S::Leave, {}, {}, 1},
        {S::Closed}};
    QTest::newRow("answer owed to a client that left") << Script{S::send(getRequest("/later")),
                                                                 {S::Held, {}, {}, 1},
                                                                 {S::Leave},
                                                                 {S::Closed},
                                                                 {S::EndHeld, {}, "late"}};
}

void TestHttpServer::conversation()
{
    QFETCH(Script, script);
    qint64 now = 1000;
    m_server->setClock([&now] { return now; });
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port));
    QTRY_COMPARE(m_server->connectionCount(), 1);
    for (const Step &s : script) {
        switch (s.op) {
        case Step::Send:
            c.send(s.bytes);
            break;
        case Step::Expect:
        case Step::ExpectHead:
        case Step::Last: {
            const RawResponse r = c.next(s.op == Step::ExpectHead);
            QCOMPARE(r.statusLine, s.bytes);
            QCOMPARE(r.body, s.body);
            QCOMPARE(r.header("Connection"), s.op == Step::Last ? "close" : QByteArray());
            if (s.op == Step::Last) {
                QVERIFY(c.waitClosed());
                QVERIFY(c.pending().isEmpty());
                QTRY_COMPARE(m_server->connectionCount(), 0);
            }
            break;
        }
        case Step::Advance:
            now += s.n;
            m_server->checkDeadlines();
            break;
        case Step::Open:
            QCOMPARE(m_server->connectionCount(), 1);
            break;
        case Step::Closed:
            QTRY_COMPARE(m_server->connectionCount(), 0);
            QVERIFY(c.waitClosed());
            break;
        case Step::Held:
            QTRY_COMPARE(int(m_held.size()), s.n);
            break;
        case Step::EndHeld: {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!m_held.empty() && m_held.front());
            const QPointer<QHttpResponse> held = m_held.front();
            m_held.erase(m_held.begin());
            held->end(s.body);
            QTRY_VERIFY(!held);
            break;
        }
        case Step::Leave:
            s.n ? c.socket().close() : c.socket().abort();
            break;
        }
    }
}

// Reading pauses while a client leaves its answers unread (no unbounded
// buffering), and resumes when it reads.
void TestHttpServer::backPressure()
{
    RawHttpClient c;
    c.socket().setReadBufferSize(1024);
    QByteArray many;
    for (int i = 0; i < 200; ++i) // 50 MiB of answers asked for
        many += getRequest("/big");
    QVERIFY(c.connectTo(m_port, many));
    int answered = -1;
    // Settled: the server stops answering while nothing is read.
    QTRY_VERIFY(std::exchange(answered, m_bigAnswered) == m_bigAnswered && answered > 0);
    QVERIFY(m_bigAnswered < 200);
    c.socket().setReadBufferSize(0);
    for (int i = 0; i < 200; ++i)
        QCOMPARE(c.next().body.size(), 256 * 1024);
    QCOMPARE(m_bigAnswered, 200);
}

// While one address holds every place, a newcomer from it is refused and
// another address still gets in (the crowded address gives up one).
void TestHttpServer::connectionShare()
{
    const int cap = 6;
    m_server->setMaxConnections(cap);
    std::vector<std::unique_ptr<RawHttpClient>> crowd;
    for (int i = 0; i < cap; ++i) {
        crowd.emplace_back(new RawHttpClient);
        QVERIFY(crowd.back()->connectTo(m_port));
    }
    QTRY_COMPARE(m_server->connectionCount(), cap);
    RawHttpClient extra;
    QVERIFY(extra.connectTo(m_port));
    QVERIFY(extra.waitClosed());

    RawHttpClient other;
    QVERIFY(other.socket().bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    QVERIFY(other.connectTo(m_port, getRequest("/other")));
    QCOMPARE(other.next().body, QByteArray("1 /other"));
    QCOMPARE(m_server->connectionCount(), cap);
    QTRY_COMPARE(
        int(std::count_if(crowd.begin(), crowd.end(), [](auto &c) { return c->isOpen(); })),
        cap - 1);
}

// Stopped from a handler: every connection closes, the port refuses, and the
// server can listen again; listening twice or on a taken port fails.
void TestHttpServer::stopListening()
{
    QVERIFY(!m_server->listen(QHostAddress::LocalHost, 0)); // already listening
    QHttpServer other;
    QVERIFY(!other.listen(QHostAddress::LocalHost, m_port)); // port in use

    RawHttpClient a, b;
    QVERIFY(a.connectTo(m_port) && b.connectTo(m_port));
    a.send(getRequest("/stop") + getRequest("/x"));
    QVERIFY(a.waitClosed() && b.waitClosed());
    QVERIFY(!m_server->isListening());
    QTRY_COMPARE(m_server->connectionCount(), 0);
    RawHttpClient refused;
    refused.startConnect(m_port);
    QVERIFY(refused.waitClosed());
    QVERIFY(listenAnswering());
    QCOMPARE(fetch(m_server->serverPort(), "/again").body, QByteArray("1 /again"));
}

// A handler running a nested event loop (as a modal box would): its client
// leaves meanwhile, other connections are served, nothing is left behind.
void TestHttpServer::clientLeavesDuringNestedEventLoop()
{
    RawHttpClient a, b;
    QVERIFY(a.connectTo(m_port) && b.connectTo(m_port));
    m_inHandler = [&] {
        a.socket().abort();
        b.send(getRequest("/b"));
    };
    a.send(getRequest("/nested") + getRequest("/x"));
    QCOMPARE(b.next().body, QByteArray("1 /b"));
    QTRY_COMPARE(m_server->connectionCount(), 1);
}

QTEST_GUILESS_MAIN(TestHttpServer)
#include "tst_httpserver.moc"
