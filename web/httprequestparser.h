#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <memory>

// The head of one complete HTTP request, as the parser delivers it.
struct HttpRequestHead
{
    // Method in the numbering of the http-parser library (DELETE 0, GET 1,
    // HEAD 2, POST 3, PUT 4, ...).
    int method = 0;
    // Request target exactly as sent ("/cam/control?panSpeed=3").
    QByteArray target;
    int httpMajor = 1;
    int httpMinor = 1;
    // False for HTTP/1.0 without "Connection: keep-alive", for
    // "Connection: close" and for upgrade/CONNECT requests.
    bool keepAlive = true;
    // Header fields in arrival order; names lower-cased, values as sent.
    QList<QPair<QByteArray, QByteArray>> headers;
};

// Incremental, socket-free HTTP/1.x request parser over the http-parser
// library. Bytes are fed as they arrive; feed() stops right after the end of
// each complete request so that pipelined requests are taken one at a time.
// Request bodies are counted and discarded. The bounds of HttpLimits apply.
class HttpRequestParser
{
public:
    enum class Event
    {
        NeedMore, // every byte consumed, no complete request yet
        Request,  // a request is complete; takeRequest() returns it
        Error     // malformed or over a bound; errorStatus() tells which
    };

    HttpRequestParser();
    ~HttpRequestParser();
    HttpRequestParser(const HttpRequestParser &) = delete;
    HttpRequestParser &operator=(const HttpRequestParser &) = delete;

    // Consumes bytes from data up to the end of at most one request and sets
    // *consumed to the number used. After Error, or after a request that ends
    // the connection, every further call consumes nothing and returns Error
    // or NeedMore respectively.
    Event feed(const char *data, std::size_t len, std::size_t *consumed);

    // The request completed by the last feed() that returned Request.
    HttpRequestHead takeRequest();

    // 400 (malformed), 413 (body over the bound) or 431 (head over the bound).
    int errorStatus() const { return m_errorStatus; }
    // True between the first byte of a request and its end.
    bool inRequest() const { return m_inMessage; }
    // True once the head of the current request is complete.
    bool headComplete() const { return m_headComplete; }
    // True after a request that ends the connection (no keep-alive).
    bool finished() const { return m_finished; }

private:
    struct Callbacks;
    struct State;
    std::unique_ptr<State> m_state;
    HttpRequestHead m_current;
    std::size_t m_bodyBytes = 0;
    int m_errorStatus = 0;
    bool m_inMessage = false;
    bool m_headComplete = false;
    bool m_ready = false;
    bool m_failed = false;
    bool m_finished = false;
    bool m_lastWasValue = false;
};
