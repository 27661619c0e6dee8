#include "httplimits.h"
#include "httprequestparser.h"
#include "qhttpserver.h"
#include "rawhttpclient.h"

#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

using qhttp::server::QHttpRequest;
using qhttp::server::QHttpResponse;
using qhttp::server::QHttpServer;

// The HTTP layer on its own: parser byte vectors, and a server on 127.0.0.1
// whose handler answers with "<method> <path>?<query>".
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

    void keepAliveServesSeveralRequests();
    void pipelinedRequestsAnsweredInOrder();
    void answeredThenClosed_data();
    void answeredThenClosed();
    void headResponseCarriesNoBody();
    void bodyIsReadAndDiscarded();
    void unfinishedHeadIsClosed_data();
    void unfinishedHeadIsClosed();
    void idleKeepAliveIsClosed();
    void connectionCap();
    void clientThatStopsReadingIsClosed();
    void clientDisconnectsMidRequest_data();
    void clientDisconnectsMidRequest();
    void responseEndedAfterClientLeft();
    void laterResponseWaitsForEarlierOne();
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
        resp->end(QByteArray(256 * 1024, 'B'));
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

void TestHttpServer::keepAliveServesSeveralRequests()
{
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port));
    for (int i = 0; i < 5; ++i) {
        const QByteArray target = "/n?i=" + QByteArray::number(i);
        c.send(getRequest(target));
        const RawResponse r = c.next();
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body, "1 " + target);
        QVERIFY(!r.hasHeader("Connection"));
    }
    QVERIFY(c.isOpen());
    QCOMPARE(m_server->connectionCount(), 1);
}

void TestHttpServer::pipelinedRequestsAnsweredInOrder()
{
    QByteArray all;
    for (int i = 0; i < 40; ++i)
        all += getRequest("/p" + QByteArray::number(i));
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, all));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(c.next().body, "1 /p" + QByteArray::number(i));
    QVERIFY(c.isOpen());
}

void TestHttpServer::answeredThenClosed_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("answeredBefore"); // good responses ahead of the last one
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<QByteArray>("body");
    const QByteArray ok("HTTP/1.1 200 OK"), bad("HTTP/1.1 400 Bad Request");
    const QByteArray close = getRequest("/x", "Connection: close\r\n");
    QTest::newRow("1.0") << QByteArray("GET /x HTTP/1.0\r\n\r\n") << 0 << ok << QByteArray("1 /x");
    QTest::newRow("close") << close << 0 << ok << QByteArray("1 /x");
    QTest::newRow("close then more") << close + getRequest("/y") << 0 << ok << QByteArray("1 /x");
    QTest::newRow("malformed") << QByteArray("GET / HTTP/1.1\r\nBad Header\r\n\r\n") << 0 << bad
                               << QByteArray();
    QTest::newRow("oversized head")
        << getRequest("/", "X-Pad: " + QByteArray(17 * 1024, 'p') + "\r\n") << 0
        << QByteArray("HTTP/1.1 431 Request Header Fields Too Large") << QByteArray();
    QTest::newRow("body over limit")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n") << 0
        << QByteArray("HTTP/1.1 413 Payload Too Large") << QByteArray();
    QTest::newRow("after a good request") << getRequest("/ok") + "NOT HTTP AT ALL\r\n\r\n"
                                          << 1 << bad << QByteArray();
}

void TestHttpServer::answeredThenClosed()
{
    QFETCH(QByteArray, request);
    QFETCH(int, answeredBefore);
    QFETCH(QByteArray, statusLine);
    QFETCH(QByteArray, body);
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, request));
    for (int i = 0; i < answeredBefore; ++i)
        QCOMPARE(c.next().status, 200);
    const RawResponse r = c.next();
    QCOMPARE(r.statusLine, statusLine);
    QCOMPARE(r.body, body);
    QCOMPARE(r.header("Content-Length"), QByteArray::number(body.size()));
    QCOMPARE(r.header("Connection"), QByteArray("close"));
    QVERIFY(c.waitClosed());
    QVERIFY(c.pending().isEmpty());
    QTRY_COMPARE(m_server->connectionCount(), 0);
}

void TestHttpServer::headResponseCarriesNoBody()
{
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, "HEAD /h HTTP/1.1\r\n\r\n" + getRequest("/g")));
    const RawResponse head = c.next(true);
    QCOMPARE(head.header("Content-Length"), QByteArray("4"));
    QVERIFY(head.body.isEmpty());
    QCOMPARE(c.next().body, QByteArray("1 /g"));
}

void TestHttpServer::bodyIsReadAndDiscarded()
{
    const QByteArray body(200 * 1024, 'z');
    RawHttpClient c;
    QVERIFY(c.connectTo(
        m_port, "POST /post HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) +
                    "\r\n\r\n" + body + getRequest("/after")));
    QCOMPARE(c.next().body, QByteArray("3 /post"));
    QCOMPARE(c.next().body, QByteArray("1 /after"));
}

void TestHttpServer::unfinishedHeadIsClosed_data()
{
    QTest::addColumn<bool>("trickle");
    QTest::newRow("silent") << false;
    // The deadline is not pushed back by each new byte of a head that never
    // completes.
    QTest::newRow("trickling") << true;
}

void TestHttpServer::unfinishedHeadIsClosed()
{
    QFETCH(bool, trickle);
    m_server->setTimeouts({/*headMs=*/300});
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port));
    QElapsedTimer clock;
    clock.start();
    if (trickle) {
        c.send("GET /slow HTTP/1.1\r\n");
        for (int sent = 0; c.isOpen() && clock.elapsed() < 5000; ++sent) {
            QTest::qWait(50);
            c.send("X-" + QByteArray::number(sent) + ": y\r\n");
        }
    }
    QVERIFY(c.waitClosed());
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(c.pending().isEmpty());
    QTRY_COMPARE(m_server->connectionCount(), 0);
}

void TestHttpServer::idleKeepAliveIsClosed()
{
    m_server->setTimeouts({HttpLimits::kHeadTimeoutMs, /*idleMs=*/400});
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port));
    // Requests closer together than the idle limit keep the connection.
    for (int i = 0; i < 4; ++i) {
        c.send(getRequest("/i"));
        QCOMPARE(c.next().status, 200);
        QTest::qWait(150);
    }
    QVERIFY(c.isOpen());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(c.waitClosed());
    QVERIFY(clock.elapsed() >= 200);
    QTRY_COMPARE(m_server->connectionCount(), 0);
}

void TestHttpServer::connectionCap()
{
    std::vector<std::unique_ptr<RawHttpClient>> clients;
    // In batches below the listen backlog, so no SYN is dropped and retried.
    while (int(clients.size()) < HttpLimits::kMaxConnections) {
        for (int i = 0; i < 32 && int(clients.size()) < HttpLimits::kMaxConnections; ++i) {
            clients.emplace_back(new RawHttpClient);
            clients.back()->startConnect(m_port);
        }
        QTRY_VERIFY(
            std::all_of(clients.begin(), clients.end(), [](auto &c) { return c->isOpen(); }));
    }
    QTRY_COMPARE(m_server->connectionCount(), HttpLimits::kMaxConnections);

    RawHttpClient extra;
    QVERIFY(extra.connectTo(m_port));
    QVERIFY(extra.waitClosed());
    QCOMPARE(m_server->connectionCount(), HttpLimits::kMaxConnections);

    // Existing connections are still served; a freed place is taken again.
    clients.front()->send(getRequest("/still"));
    QCOMPARE(clients.front()->next().body, QByteArray("1 /still"));
    clients.back()->socket().abort();
    QTRY_COMPARE(m_server->connectionCount(), HttpLimits::kMaxConnections - 1);
    QCOMPARE(fetch(m_port, "/again").body, QByteArray("1 /again"));
}

void TestHttpServer::clientThatStopsReadingIsClosed()
{
    m_server->setTimeouts({HttpLimits::kHeadTimeoutMs, /*idleMs=*/400});
    RawHttpClient c;
    c.socket().setReadBufferSize(1024); // the client takes (almost) nothing off the wire
    QByteArray many;
    for (int i = 0; i < 200; ++i) // 50 MiB of answers asked for
        many += getRequest("/big");
    QVERIFY(c.connectTo(m_port, many));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->connectionCount(), 0, 10000);
    c.socket().setReadBufferSize(0);
    QVERIFY(c.waitClosed());
}

void TestHttpServer::clientDisconnectsMidRequest_data()
{
    QTest::addColumn<QByteArray>("partial");
    QTest::addColumn<bool>("reset"); // else an orderly close
    QTest::newRow("in the head") << QByteArray(
                                        "GET /half HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Partial: ab")
                                 << true;
    QTest::newRow("in the body") << "POST /body HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" +
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

void TestHttpServer::laterResponseWaitsForEarlierOne()
{
    RawHttpClient c;
    QVERIFY(c.connectTo(m_port, getRequest("/later") + getRequest("/now")));
    QTRY_COMPARE(int(m_held.size()), 1);
    QTest::qWait(50);
    QVERIFY(c.pending().isEmpty()); // "/now" is answered but must wait
    m_held[0]->end("first");
    QCOMPARE(c.next().body, QByteArray("first"));
    QCOMPARE(c.next().body, QByteArray("1 /now"));
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
