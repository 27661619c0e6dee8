#pragma once

#include "httplimits.h"
#include "httprequestparser.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <deque>
#include <functional>

class QTcpServer;
class QTimer;

Q_DECLARE_LOGGING_CATEGORY(lcWeb)

namespace qhttp {

// Request methods in the numbering of the http-parser library.
enum THttpMethod
{
    EHTTP_DELETE = 0,
    EHTTP_GET = 1,
    EHTTP_HEAD = 2,
    EHTTP_POST = 3,
    EHTTP_PUT = 4,
};

// Response status codes.
enum TStatusCode
{
    ESTATUS_OK = 200,
    ESTATUS_NO_CONTENT = 204,
    ESTATUS_SEE_OTHER = 303,
    ESTATUS_NOT_MODIFIED = 304,
    ESTATUS_BAD_REQUEST = 400,
    ESTATUS_UNAUTHORIZED = 401,
    ESTATUS_FORBIDDEN = 403,
    ESTATUS_NOT_FOUND = 404,
    ESTATUS_METHOD_NOT_ALLOWED = 405,
    ESTATUS_REQUEST_TIMEOUT = 408,
    ESTATUS_PAYLOAD_TOO_LARGE = 413,
    ESTATUS_MISDIRECTED_REQUEST = 421,
    ESTATUS_REQUEST_HEADER_FIELDS_TOO_LARGE = 431,
    ESTATUS_INTERNAL_SERVER_ERROR = 500,
    ESTATUS_SERVICE_UNAVAILABLE = 503,
};

namespace server {

class HttpConnection;
class QHttpServer;

// One piece of a response on the wire: bytes in memory (shared, not copied),
// or the next `remaining` bytes of an open file from `offset` (Unix; the
// chunk owns and closes the descriptor). Move-only.
struct OutputChunk
{
    OutputChunk() = default;
    explicit OutputChunk(QByteArray b) : bytes(std::move(b)) {}
    OutputChunk(int fileFd, qint64 fileOffset, qint64 length)
        : fd(fileFd), offset(fileOffset), remaining(length)
    {
    }
    OutputChunk(OutputChunk &&other) noexcept;
    OutputChunk &operator=(OutputChunk &&other) noexcept;
    OutputChunk(const OutputChunk &) = delete;
    OutputChunk &operator=(const OutputChunk &) = delete;
    ~OutputChunk();

    bool isFile() const { return fd >= 0; }
    // Unsent bytes of this chunk.
    qint64 size() const { return isFile() ? remaining : qint64(bytes.size()) - pos; }

    QByteArray bytes;
    int pos = 0; // bytes already sent
    int fd = -1;
    qint64 offset = 0;
    qint64 remaining = 0;
};
using Output = std::deque<OutputChunk>;

// One received request. Made by the server; valid until its response is
// ended (then released with deleteLater).
class QHttpRequest : public QObject
{
    Q_OBJECT
public:
    explicit QHttpRequest(HttpRequestHead head, QObject *parent = nullptr);

    // http-parser numbering: GET is 1 (see THttpMethod).
    int method() const { return m_head.method; }
    // The request target as a URL (path and query; no scheme or host for the
    // usual origin-form target).
    const QUrl &url() const { return m_url; }
    // The value of the first header field with this name (lower case), null
    // when the request has none; headerCount() tells how many it carries.
    QByteArray header(const QByteArray &lowerName) const;
    int headerCount(const QByteArray &lowerName) const;

    // The URL of a request target as sent on the request line.
    static QUrl targetToUrl(const QByteArray &target);

private:
    HttpRequestHead m_head;
    QUrl m_url;
};

// The answer to one request. Status and headers are set first, body bytes
// appended with write(), and end() (or endWithFile()) frames the response with
// Content-Length and hands it to its connection, which sends responses in
// request order. Ending is safe at any time, also after the client has gone
// (the bytes are then dropped). A response and its request live until the
// response is ended (or their server is destroyed); then they are released:
// right after the receivers of newRequest return when they ended it, else with
// deleteLater. Keep a QPointer to a response that is answered later.
class QHttpResponse : public QObject
{
    Q_OBJECT
public:
    // Made by the server. Without a connection (parser tests, fuzzing) the
    // framed bytes are kept and readable through wireBytes().
    QHttpResponse(HttpConnection *connection, quint64 sequence, bool headRequest, bool keepAlive,
                  bool http10, QObject *parent = nullptr);
    ~QHttpResponse() override;

    void setStatusCode(qhttp::TStatusCode code);
    // Header lines are sent in the order added. Content-Length, Connection
    // and Transfer-Encoding belong to the framing and are ignored here, as is
    // any field or value that holds CR, LF or NUL.
    void addHeader(const QByteArray &field, const QByteArray &value);
    void write(const QByteArray &data);
    // Appends data, finishes and sends the response, and releases it. Further
    // calls are ignored.
    void end(const QByteArray &data = QByteArray());
    // Ends the response with the bytes written so far followed by the content
    // of a file: a Qt resource (":/...") is sent from memory, a file on disk
    // is streamed from the file as the client reads (never copied whole into
    // memory). False, with the response still open, when the path is not a
    // readable regular file.
    bool endWithFile(const QString &path);

    // Drops status, headers and body set so far (before end() only).
    void reset();
    bool isEnded() const { return m_ended; }
    int statusCode() const { return m_status; }
    // The framed response after end() when made without a connection.
    const QByteArray &wireBytes() const { return m_wire; }

    // Frames a response: status line, the given headers, Content-Length
    // (left out for 304, whose body is always empty), Connection when needed,
    // blank line, then the body unless omitBody.
    static QByteArray frame(int status, const QList<QPair<QByteArray, QByteArray>> &headers,
                            const QByteArray &body, bool omitBody, bool keepAlive, bool http10);
    // The head alone, for a body of contentLength bytes.
    static QByteArray frameHead(int status, const QList<QPair<QByteArray, QByteArray>> &headers,
                                qint64 contentLength, bool keepAlive, bool http10);

private:
    friend class HttpConnection;
    // Hands head and body to the connection (or keeps them as wireBytes).
    void finish(Output body, qint64 bodyLength);
    QPointer<HttpConnection> m_connection;
    QPointer<QHttpRequest> m_request;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_body;
    QByteArray m_wire;
    quint64 m_sequence;
    int m_status = ESTATUS_OK;
    bool m_headRequest;
    bool m_keepAlive;
    bool m_http10;
    bool m_ended = false;
    // Set while the server delivers this response to its receivers; the
    // connection then releases it right after they return.
    bool m_inDispatch = false;
};

// HTTP/1.1 server on QTcpServer, in the thread that owns it (the GUI thread
// here). Keep-alive and pipelining, Content-Length framing, the bounds of
// HttpLimits. newRequest is emitted once per complete request.
class QHttpServer : public QObject
{
    Q_OBJECT
public:
    using TServerHandler = std::function<void(QHttpRequest *, QHttpResponse *)>;

    explicit QHttpServer(QObject *parent = nullptr);
    ~QHttpServer() override;

    // Binds address:port. The handler, when set, is called after newRequest
    // for each request that newRequest's receivers left unended. False on any
    // failure (the server stays not listening) and when already listening.
    bool listen(const QHostAddress &address, quint16 port,
                const TServerHandler &handler = TServerHandler());
    bool isListening() const;
    // Closes the listening socket and every open connection; the server can
    // listen again later.
    void stopListening();

    // The bound port while listening, else 0.
    quint16 serverPort() const;
    int connectionCount() const { return m_connections.size(); }
    void setTimeouts(const HttpTimeouts &timeouts);
    const HttpTimeouts &timeouts() const { return m_timeouts; }
    // Tests and fuzzing: a smaller connection cap, and a clock of their own
    // (milliseconds, never decreasing) with checkDeadlines() run on demand;
    // the built-in timer keeps checking too.
    void setMaxConnections(int max) { m_maxConnections = max; }
    void setClock(std::function<qint64()> msClock);
    // Closes every connection whose deadline has passed.
    void checkDeadlines();

signals:
    void newRequest(qhttp::server::QHttpRequest *req, qhttp::server::QHttpResponse *resp);

private:
    friend class HttpConnection;
    void onNewConnection();
    // Makes room for a connection from addressKey when another address holds
    // more than its share; false when the newcomer must be refused.
    bool makeRoomFor(const QByteArray &addressKey);
    void connectionGone(HttpConnection *c);
    void dispatch(QHttpRequest *req, QHttpResponse *resp);
    qint64 now() const { return m_clockFn ? m_clockFn() : m_clock.elapsed(); }
    void updateSweepTimer();

    QTcpServer *m_tcp = nullptr;
    QTimer *m_sweepTimer = nullptr;
    QSet<HttpConnection *> m_connections;
    // Open connections per address group (see HttpConnection::addressKey).
    QHash<QByteArray, int> m_perAddress;
    TServerHandler m_handler;
    HttpTimeouts m_timeouts;
    QElapsedTimer m_clock;
    std::function<qint64()> m_clockFn;
    int m_maxConnections = HttpLimits::kMaxConnections;
    bool m_destroying = false;
};

} // namespace server
} // namespace qhttp
