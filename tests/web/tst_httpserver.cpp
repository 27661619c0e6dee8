#include "httplimits.h"
#include "httprequestparser.h"
#include "qhttpserver.h"
#include "rawhttpclient.h"

#include <QPointer>
#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;
using qhttp::server::QHttpServer;

// The HTTP layer on its own: parser byte vectors, and a server on 127.0.0.1
// whose handler answers with "<method> <path>?<query>"; conversations are
// scripted rows of bytes sent and answers expected, deadlines run on a clock
// the test moves.
class TestHttpServer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void parserRequestHead_data();
    void parserRequestHead();
    void parserTakesPipelinedRequestsOneByOne();
    void parserAcceptsByteByByte();
    void parserSplitsRequests_data();
    void parserSplitsRequests();
    void parserErrors_data();
    void parserErrors();
    void framing();

    void conversation_data();
    void conversation();
    void fileAnswers();
    void backPressure();
    void connectionShare();
    void clientDisconnectsMidRequest_data();
    void clientDisconnectsMidRequest();
    void responseEndedAfterClientLeft();
    void stopListeningClosesConnections();
    void handlerWithNestedEventLoop();
    void handlerStopsTheServer();
    void clientLeavesDuringNestedEventLoop();
    void listenFailures();

private:
    void answer(QHttpRequest *req, QHttpResponse *resp);
    bool listenAnswering();
    std::unique_ptr<QHttpServer> m_server;
    quint16 m_port = 0;
    // When set, requests for "/later" are kept here instead of being answered.
    std::vector<QPointer<QHttpResponse>> m_held;
    // Aborted from inside the "/nested" handler when set.
    QTcpSocket *m_abortDuringHandler = nullptr;
    // Served for "/file" ("/file?missing": a path that does not exist).
    QString m_filePath;
    int m_bigAnswered = 0;
};

void TestHttpServer::answer(QHttpRequest *req, QHttpResponse *resp)
{
    if (req->url().path() == QLatin1String("/later")) {
        m_held.push_back(resp);
        return;
    }
    if (req->url().path() == QLatin1String("/nested")) {
        // A receiver that opens a modal dialog runs a nested event loop.
        if (m_abortDuringHandler)
            m_abortDuringHandler->abort();
        QEventLoop loop;
        QTimer::singleShot(150, &loop, &QEventLoop::quit);
        loop.exec();
        resp->end("nested");
        return;
    }
    if (req->url().path() == QLatin1String("/stop")) {
        m_server->stopListening();
        resp->end("stopped");
        return;
    }
    if (req->url().path() == QLatin1String("/big")) {
        ++m_bigAnswered;
        resp->end(QByteArray(256 * 1024, 'B'));
        return;
    }
    if (req->url().path() == QLatin1String("/file")) {
        if (!resp->endWithFile(req->url().hasQuery() ? m_filePath + "-missing" : m_filePath)) {
            resp->setStatusCode(qhttp::ESTATUS_NOT_FOUND);
            resp->end();
        }
        return;
    }
    resp->addHeader("Content-Type", "text/plain");
    resp->end(QByteArray::number(req->method()) + ' ' + req->url().toEncoded());
}

bool TestHttpServer::listenAnswering()
{
    return m_server->listen(QHostAddress::LocalHost, 0,
                            [this](QHttpRequest *req, QHttpResponse *resp) { answer(req, resp); });
}

void TestHttpServer::init()
{
    m_held.clear();
    m_bigAnswered = 0;
    m_server.reset(new QHttpServer);
    QVERIFY(listenAnswering());
    m_port = m_server->serverPort();
    QVERIFY(m_port != 0);
}

void TestHttpServer::cleanup()
{
    m_server.reset();
}

// --- parser ---

static std::vector<HttpRequestHead> parseAll(const QByteArray &bytes, HttpRequestParser &p,
                                             HttpRequestParser::Event *last = nullptr)
{
    std::vector<HttpRequestHead> out;
    std::size_t pos = 0;
    HttpRequestParser::Event ev = HttpRequestParser::Event::NeedMore;
    while (pos < std::size_t(bytes.size())) {
        std::size_t used = 0;
        ev = p.feed(bytes.constData() + pos, std::size_t(bytes.size()) - pos, &used);
        pos += used;
        if (ev == HttpRequestParser::Event::Request)
            out.push_back(p.takeRequest());
        else if (ev == HttpRequestParser::Event::Error || used == 0)
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
    const QByteArray host("Host: a\r\n\r\n");
    QTest::newRow("DELETE") << "DELETE /x HTTP/1.1\r\n" + host << 0 << true;
    QTest::newRow("GET") << "GET /x HTTP/1.1\r\n" + host << 1 << true;
    QTest::newRow("HEAD") << "HEAD /x HTTP/1.1\r\n" + host << 2 << true;
    QTest::newRow("POST") << "POST /x HTTP/1.1\r\n" + host << 3 << true;
    QTest::newRow("PUT") << "PUT /x HTTP/1.1\r\n" + host << 4 << true;
    QTest::newRow("1.1 close") << QByteArray("GET /x HTTP/1.1\r\nConnection: close\r\n\r\n") << 1
                               << false;
    QTest::newRow("1.0") << QByteArray("GET /x HTTP/1.0\r\n\r\n") << 1 << false;
    QTest::newRow("1.0 keep-alive")
        << QByteArray("GET /x HTTP/1.0\r\nConnection: keep-alive\r\n\r\n") << 1 << true;
    QTest::newRow("upgrade") << QByteArray("GET /x HTTP/1.1\r\nConnection: Upgrade\r\n"
                                           "Upgrade: websocket\r\n\r\n")
                             << 1 << false;
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

void TestHttpServer::parserTakesPipelinedRequestsOneByOne()
{
    HttpRequestParser p;
    const QByteArray two = getRequest("/a?x=1") + getRequest("/b", "X-Thing: Yes\r\n");
    std::size_t used = 0;
    QCOMPARE(p.feed(two.constData(), std::size_t(two.size()), &used),
             HttpRequestParser::Event::Request);
    QCOMPARE(int(used), getRequest("/a?x=1").size());
    QCOMPARE(p.takeRequest().target, QByteArray("/a?x=1"));
    std::size_t used2 = 0;
    QCOMPARE(p.feed(two.constData() + used, std::size_t(two.size()) - used, &used2),
             HttpRequestParser::Event::Request);
    QCOMPARE(used + used2, std::size_t(two.size()));
    const HttpRequestHead b = p.takeRequest();
    QCOMPARE(b.target, QByteArray("/b"));
    QCOMPARE(b.headers.size(), 2);
    QCOMPARE(b.headers.at(1).first, QByteArray("x-thing"));
    QCOMPARE(b.headers.at(1).second, QByteArray("Yes"));
}

void TestHttpServer::parserAcceptsByteByByte()
{
    HttpRequestParser p;
    const QByteArray req = getRequest("/cam/control?panSpeed=3");
    int requests = 0;
    for (int i = 0; i < req.size(); ++i) {
        std::size_t used = 0;
        const auto ev = p.feed(req.constData() + i, 1, &used);
        QCOMPARE(int(used), 1);
        if (i < 3)
            QVERIFY(p.inRequest());
        if (ev == HttpRequestParser::Event::Request) {
            ++requests;
            QCOMPARE(i, req.size() - 1);
            QCOMPARE(p.takeRequest().target, QByteArray("/cam/control?panSpeed=3"));
        }
    }
    QCOMPARE(requests, 1);
    QVERIFY(!p.inRequest());
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
    QVERIFY(head.size() < int(HttpLimits::kMaxHeadBytes));
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
    const QByteArray bigHead =
        "GET / HTTP/1.1\r\nX-Pad: " + QByteArray(int(HttpLimits::kMaxHeadBytes), 'a') + "\r\n\r\n";
    QTest::newRow("garbage") << QByteArray("HELLO\r\n\r\n") << 400;
    QTest::newRow("bad version") << QByteArray("GET / HTTP/x.1\r\n\r\n") << 400;
    QTest::newRow("tls hello") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11)
                               << 400;
    QTest::newRow("length and chunked") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3\r\n"
                                                      "Transfer-Encoding: chunked\r\n\r\n")
                                        << 400;
    QTest::newRow("space before a colon")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length : 3\r\n\r\nabc") << 400;
    QTest::newRow("tab before a colon")
        << QByteArray("GET / HTTP/1.1\r\nHost\t: 127.0.0.1\r\n\r\n") << 400;
    QTest::newRow("space inside a name")
        << QByteArray("GET / HTTP/1.1\r\nX Forwarded: 1\r\n\r\n") << 400;
    QTest::newRow("head too large") << bigHead << 431;
    QTest::newRow("url too large")
        << "GET /" + QByteArray(int(HttpLimits::kMaxHeadBytes), 'u') << 431;
    QTest::newRow("declared body too large")
        << "POST / HTTP/1.1\r\nContent-Length: " +
               QByteArray::number(qulonglong(HttpLimits::kMaxBodyBytes) + 1) + "\r\n\r\n"
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
    HttpRequestParser::Event last;
    const auto reqs = parseAll(bytes, p, &last);
    QCOMPARE(int(reqs.size()), 0);
    QCOMPARE(last, HttpRequestParser::Event::Error);
    QCOMPARE(p.errorStatus(), status);
    std::size_t used = 1;
    QCOMPARE(p.feed("GET / HTTP/1.1\r\n\r\n", 18, &used), HttpRequestParser::Event::Error);
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
        Expect,     // the next response has this status line and body
        ExpectHead, // the same for a HEAD response (no body on the wire)
        Last,       // Expect, marked "Connection: close", then the server closes
        Advance,    // the server clock moves on by ms, deadlines are checked
        Open,       // the server still holds the connection
        Closed,     // the server has closed the connection
        Held,       // the "/later" handler holds n responses
        EndHeld     // the oldest held response is ended with body
    } op;
    QByteArray bytes;
    QByteArray body;
    int n = 0;
};
using Script = QVector<Step>;

Step send(const QByteArray &b)
{
    return {Step::Send, b, {}};
}
Step expect(const QByteArray &status, const QByteArray &body)
{
    return {Step::Expect, status, body};
}
Step expectHead(const QByteArray &status)
{
    return {Step::ExpectHead, status, {}};
}
Step last(const QByteArray &status, const QByteArray &body = {})
{
    return {Step::Last, status, body};
}
Step advance(int ms)
{
    return {Step::Advance, {}, {}, ms};
}
Step open()
{
    return {Step::Open, {}, {}};
}
Step closed()
{
    return {Step::Closed, {}, {}};
}
Step held(int n)
{
    return {Step::Held, {}, {}, n};
}
Step endHeld(const QByteArray &body)
{
    return {Step::EndHeld, {}, body};
}

const QByteArray k200("HTTP/1.1 200 OK");
const QByteArray k400("HTTP/1.1 400 Bad Request");

} // namespace

Q_DECLARE_METATYPE(Script)

void TestHttpServer::conversation_data()
{
    QTest::addColumn<Script>("script");
    const int requestMs = HttpLimits::kRequestTimeoutMs;
    const int idleMs = HttpLimits::kIdleTimeoutMs;

    QTest::newRow("keep-alive") << Script{send(getRequest("/a?i=1")), expect(k200, "1 /a?i=1"),
                                          send(getRequest("/b")), expect(k200, "1 /b"), open()};
    Script pipelined{send(QByteArray())};
    for (int i = 0; i < 40; ++i) {
        pipelined[0].bytes += getRequest("/p" + QByteArray::number(i));
        pipelined << expect(k200, "1 /p" + QByteArray::number(i));
    }
    QTest::newRow("pipelined") << (pipelined << open());
    QTest::newRow("1.0") << Script{send("GET /x HTTP/1.0\r\n\r\n"), last(k200, "1 /x")};
    QTest::newRow("close then more") << Script{
        send(getRequest("/x", "Connection: close\r\n") + getRequest("/y")), last(k200, "1 /x")};
    QTest::newRow("HEAD") << Script{send("HEAD /h HTTP/1.1\r\n\r\n" + getRequest("/g")),
                                    expectHead(k200), expect(k200, "1 /g")};
    QTest::newRow("malformed") << Script{send("GET / HTTP/1.1\r\nBad Header\r\n\r\n"), last(k400)};
    // A body length the client and the server would read differently.
    QTest::newRow("space before a colon")
        << Script{send("GET /a HTTP/1.1\r\nContent-Length : 5\r\n\r\nGET /b"), last(k400)};
    QTest::newRow("garbage after a good request") << Script{
        send(getRequest("/ok") + "NOT HTTP AT ALL\r\n\r\n"), expect(k200, "1 /ok"), last(k400)};
    QTest::newRow("oversized head")
        << Script{send(getRequest("/", "X-Pad: " + QByteArray(17 * 1024, 'p') + "\r\n")),
                  last("HTTP/1.1 431 Request Header Fields Too Large")};
    const QByteArray maxBody = QByteArray::number(qulonglong(HttpLimits::kMaxBodyBytes));
    QTest::newRow("body at the cap is discarded")
        << Script{send("POST /post HTTP/1.1\r\nContent-Length: " + maxBody + "\r\n\r\n" +
                       QByteArray(int(HttpLimits::kMaxBodyBytes), 'z') + getRequest("/after")),
                  expect(k200, "3 /post"), expect(k200, "1 /after")};
    QTest::newRow("body over the cap")
        << Script{send("POST / HTTP/1.1\r\nContent-Length: " +
                       QByteArray::number(qulonglong(HttpLimits::kMaxBodyBytes) + 1) + "\r\n\r\n"),
                  last("HTTP/1.1 413 Payload Too Large")};

    // Deadlines on the server's own clock.
    QTest::newRow("silent client") << Script{advance(requestMs - 1), open(), advance(1), closed()};
    QTest::newRow("trickling head") << Script{send("GET /slow HTTP/1.1\r\n"),
                                              advance(4000),
                                              send("X-A: 1\r\n"),
                                              advance(4000),
                                              send("X-B: 2\r\n"),
                                              advance(requestMs - 8001),
                                              open(),
                                              advance(1),
                                              closed()};
    QTest::newRow("trickling body")
        << Script{send("POST /slow HTTP/1.1\r\nContent-Length: 1000\r\n\r\nb"),
                  advance(5000),
                  send("b"),
                  advance(requestMs - 5001),
                  open(),
                  advance(1),
                  closed()};
    QTest::newRow("idle keep-alive") << Script{send(getRequest("/i")),
                                               expect(k200, "1 /i"),
                                               advance(idleMs - 1),
                                               open(),
                                               advance(1),
                                               closed()};
    QTest::newRow("no deadline while a handler owes the answer")
        << Script{send(getRequest("/later") + getRequest("/now")),
                  held(1),
                  advance(10 * idleMs),
                  open(),
                  endHeld("first"),
                  expect(k200, "first"),
                  expect(k200, "1 /now")};
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
            QCOMPARE(r.header("Connection").isNull(), s.op != Step::Last);
            if (s.op == Step::Last) {
                QCOMPARE(r.header("Connection"), QByteArray("close"));
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
            QCOMPARE(m_server->connectionCount(), 0);
            QVERIFY(c.waitClosed());
            break;
        case Step::Held:
            QTRY_COMPARE(int(m_held.size()), s.n);
            break;
        case Step::EndHeld:
            QVERIFY(!m_held.empty() && m_held.front());
            m_held.front()->end(s.body);
            m_held.erase(m_held.begin());
            break;
        }
    }
}

// Files go out from the file (sendfile), in request order with the answers
// around them, and intact.
void TestHttpServer::fileAnswers()
{
    QByteArray content(3 * 1024 * 1024 + 7, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 7 + i / 4096);
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(content);
    file.flush();
    m_filePath = file.fileName();

    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, getRequest("/file") + "HEAD /file HTTP/1.1\r\n\r\n" +
                                    getRequest("/file?missing") + getRequest("/file")));
    RawResponse r = c.next();
    QCOMPARE(r.status, 200);
    QVERIFY(r.body == content);
    r = c.next(true);
    QCOMPARE(r.header("Content-Length"), QByteArray::number(content.size()));
    QCOMPARE(c.next().status, 404);
    QVERIFY(c.next().body == content);
    QVERIFY(c.isOpen());
}

// Reading pauses while a client leaves its answers unread, and resumes when it
// reads; a client that never reads is closed once the idle limit has passed
// without progress.
void TestHttpServer::backPressure()
{
    qint64 now = 0;
    m_server->setClock([&now] { return now; });
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

    RawHttpClient stuck;
    stuck.socket().setReadBufferSize(1024);
    QVERIFY(stuck.connectTo(m_port, many));
    QTRY_VERIFY_WITH_TIMEOUT((now += HttpLimits::kIdleTimeoutMs, m_server->checkDeadlines(),
                              m_server->connectionCount() == 0),
                             10000);
    QVERIFY(stuck.waitClosed());
}

// The cap is shared: while one address holds every place, another address
// still gets in (the crowded address gives up a connection); a newcomer from
// the crowded address itself is refused.
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

    std::vector<std::unique_ptr<RawHttpClient>> others;
    for (int i = 0; i < 2; ++i) {
        others.emplace_back(new RawHttpClient);
        RawHttpClient &other = *others.back();
        QVERIFY(other.socket().bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        QVERIFY(other.connectTo(m_port, getRequest("/other")));
        QCOMPARE(other.next().body, QByteArray("1 /other"));
        QCOMPARE(m_server->connectionCount(), cap);
        QTRY_COMPARE(
            int(std::count_if(crowd.begin(), crowd.end(), [](auto &c) { return c->isOpen(); })),
            cap - 1 - i);
    }
    // A place freed is taken again by anyone.
    crowd.clear();
    others.clear();
    QTRY_COMPARE(m_server->connectionCount(), 0);
    QCOMPARE(fetch(m_port, "/again").body, QByteArray("1 /again"));
}

void TestHttpServer::clientDisconnectsMidRequest_data()
{
    QTest::addColumn<QByteArray>("partial");
    QTest::addColumn<bool>("reset"); // else an orderly close
    QTest::newRow("in the head") << QByteArray(
                                        "GET /half HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Partial: ab")
                                 << true;
    QTest::newRow("in the body") << "POST /body HTTP/1.1\r\nContent-Length: 60000\r\n\r\n" +
                                        QByteArray(5000, 'x')
                                 << false;
}

void TestHttpServer::clientDisconnectsMidRequest()
{
    QFETCH(QByteArray, partial);
    QFETCH(bool, reset);
    {
        RawHttpClient c;
        QVERIFY(c.connectTo(m_port, partial));
        QTRY_COMPARE(m_server->connectionCount(), 1);
        if (reset)
            c.socket().abort();
        else
            c.socket().close();
        QTRY_COMPARE(m_server->connectionCount(), 0);
    }
    QCOMPARE(fetch(m_port, "/fine").body, QByteArray("1 /fine"));
}

void TestHttpServer::responseEndedAfterClientLeft()
{
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, getRequest("/later")));
    QTRY_COMPARE(int(m_held.size()), 1);
    c.socket().abort();
    QTRY_COMPARE(m_server->connectionCount(), 0);
    QTest::qWait(20); // let the connection's deferred deletion run
    QVERIFY(m_held[0]);
    m_held[0]->addHeader("X-Late", "1");
    m_held[0]->end("late");
    QVERIFY(m_held[0]->isEnded());
    QTRY_VERIFY(!m_held[0]); // released after end
}

void TestHttpServer::stopListeningClosesConnections()
{
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, getRequest("/x")));
    QCOMPARE(c.next().status, 200);
    m_server->stopListening();
    QVERIFY(!m_server->isListening());
    QVERIFY(c.waitClosed());
    RawHttpClient refused;
    refused.startConnect(m_port);
    QVERIFY(refused.waitClosed());
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

void TestHttpServer::handlerWithNestedEventLoop()
{
    RawHttpClient a, b;
    QVERIFY(a.connectTo(m_port));
    QVERIFY(b.connectTo(m_port));
    a.send(getRequest("/nested"));
    b.send(getRequest("/b"));
    QTest::qWait(30);
    a.send(getRequest("/after")); // arrives while the first is still in its handler
    QCOMPARE(a.next().body, QByteArray("nested"));
    QCOMPARE(a.next().body, QByteArray("1 /after"));
    QCOMPARE(b.next().body, QByteArray("1 /b"));
}

void TestHttpServer::handlerStopsTheServer()
{
    RawHttpClient a, b;
    QVERIFY(a.connectTo(m_port));
    QVERIFY(b.connectTo(m_port));
    a.send(getRequest("/stop") + getRequest("/x"));
    QVERIFY(a.waitClosed());
    QVERIFY(b.waitClosed());
    QVERIFY(!m_server->isListening());
    QTRY_COMPARE(m_server->connectionCount(), 0);
    QVERIFY(listenAnswering());
    QCOMPARE(fetch(m_server->serverPort(), "/again").body, QByteArray("1 /again"));
}

void TestHttpServer::clientLeavesDuringNestedEventLoop()
{
    RawHttpClient a;
    QVERIFY(a.connectTo(m_port));
    m_abortDuringHandler = &a.socket();
    a.send(getRequest("/nested") + getRequest("/x"));
    QTRY_COMPARE(m_server->connectionCount(), 0);
    m_abortDuringHandler = nullptr;
    QCOMPARE(fetch(m_port, "/fine").body, QByteArray("1 /fine"));
}

void TestHttpServer::listenFailures()
{
    QVERIFY(!m_server->listen(QHostAddress::LocalHost, 0)); // already listening
    QHttpServer other;
    QVERIFY(!other.listen(QHostAddress::LocalHost, m_port)); // port in use
    QVERIFY(!other.isListening());
    QVERIFY(!other.listen(QHostAddress(QStringLiteral("not an address")), 0));
    QVERIFY(other.listen(QHostAddress::LocalHost, 0));
}

QTEST_GUILESS_MAIN(TestHttpServer)
#include "tst_httpserver.moc"
