#include "qhttpserver.h"

#include "httpconnection.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QResource>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <http_parser.h>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcWeb, "corvanta.web")

namespace qhttp {
namespace server {

// --- QHttpRequest ---

QHttpRequest::QHttpRequest(HttpRequestHead head, QObject *parent)
    : QObject(parent), m_head(std::move(head))
{
    m_url = targetToUrl(m_head.target);
}

QByteArray QHttpRequest::header(const QByteArray &lowerName) const
{
    for (const auto &h : m_head.headers) {
        if (h.first == lowerName)
            return h.second.isNull() ? QByteArray("") : h.second;
    }
    return QByteArray();
}

int QHttpRequest::headerCount(const QByteArray &lowerName) const
{
    int n = 0;
    for (const auto &h : m_head.headers)
        n += h.first == lowerName ? 1 : 0;
    return n;
}

QUrl QHttpRequest::targetToUrl(const QByteArray &target)
{
    if (!target.startsWith('/'))
        return QUrl::fromEncoded(target, QUrl::TolerantMode); // absolute form, "*"
    // Origin form: path and query are taken apart here, so a path that begins
    // with "//" stays a path instead of becoming a host name.
    QByteArray rest = target;
    const int hash = rest.indexOf('#');
    if (hash >= 0)
        rest.truncate(hash);
    const int q = rest.indexOf('?');
    QUrl url;
    url.setPath(QString::fromUtf8(q >= 0 ? rest.left(q) : rest), QUrl::TolerantMode);
    if (q >= 0)
        url.setQuery(QString::fromUtf8(rest.mid(q + 1)), QUrl::TolerantMode);
    return url;
}

// --- OutputChunk ---

OutputChunk::OutputChunk(OutputChunk &&other) noexcept
    : bytes(std::move(other.bytes)), pos(other.pos), fd(other.fd), offset(other.offset),
      remaining(other.remaining)
{
    other.fd = -1;
}

OutputChunk &OutputChunk::operator=(OutputChunk &&other) noexcept
{
    if (this != &other) {
        this->~OutputChunk();
        bytes = std::move(other.bytes);
        pos = other.pos;
        fd = other.fd;
        offset = other.offset;
        remaining = other.remaining;
        other.fd = -1;
    }
    return *this;
}

OutputChunk::~OutputChunk()
{
#ifdef Q_OS_UNIX
    if (fd >= 0)
        ::close(fd);
#endif
    fd = -1;
}

namespace {

// The content of a Qt resource file without a copy when it is stored
// uncompressed; compressed ones are expanded once and kept (the resource tree
// is fixed at build time, so the cache is bounded by it). Null when the path
// is not a resource file.
QByteArray resourceBytes(const QString &path)
{
    static QMutex mutex;
    static QHash<QString, QByteArray> expanded;
    QMutexLocker lock(&mutex);
    const auto it = expanded.constFind(path);
    if (it != expanded.constEnd())
        return it.value();
    QResource r(path);
    if (!r.isValid() || !QFileInfo(path).isFile())
        return QByteArray();
    if (r.compressionAlgorithm() == QResource::NoCompression)
        return QByteArray::fromRawData(reinterpret_cast<const char *>(r.data()), int(r.size()));
    const QByteArray data = r.uncompressedData();
    if (!data.isNull())
        expanded.insert(path, data);
    return data;
}

} // namespace

// --- QHttpResponse ---

QHttpResponse::QHttpResponse(HttpConnection *connection, quint64 sequence, bool headRequest,
                             bool keepAlive, bool http10, QObject *parent)
    : QObject(parent), m_connection(connection), m_sequence(sequence), m_headRequest(headRequest),
      m_keepAlive(keepAlive), m_http10(http10)
{
}

QHttpResponse::~QHttpResponse() = default;

void QHttpResponse::setStatusCode(qhttp::TStatusCode code)
{
    if (!m_ended)
        m_status = int(code);
}

static bool hasControlBytes(const QByteArray &b)
{
    return b.contains('\r') || b.contains('\n') || b.contains('\0');
}

void QHttpResponse::addHeader(const QByteArray &field, const QByteArray &value)
{
    if (m_ended || field.isEmpty() || hasControlBytes(field) || hasControlBytes(value) ||
        field.contains(':'))
        return;
    const QByteArray lower = field.toLower();
    if (lower == "content-length" || lower == "connection" || lower == "transfer-encoding")
        return;
    m_headers.append({field, value});
}

void QHttpResponse::write(const QByteArray &data)
{
    if (!m_ended)
        m_body.append(data);
}

void QHttpResponse::reset()
{
    if (m_ended)
        return;
    m_status = ESTATUS_OK;
    m_headers.clear();
    m_body.clear();
}

void QHttpResponse::end(const QByteArray &data)
{
    if (m_ended) {
        qCWarning(lcWeb) << "response ended twice";
        return;
    }
    m_body.append(data);
    Output body;
    const qint64 length = m_body.size();
    if (!m_body.isEmpty())
        body.emplace_back(std::move(m_body));
    m_body = QByteArray();
    finish(std::move(body), length);
}

bool QHttpResponse::endWithFile(const QString &path)
{
    if (m_ended)
        return false;
    Output body;
    if (!m_body.isEmpty())
        body.emplace_back(m_body);
    qint64 length = m_body.size();
    if (path.startsWith(QLatin1Char(':')) || path.startsWith(QLatin1String("qrc:"))) {
        const QByteArray data = resourceBytes(path);
        if (data.isNull())
            return false;
        length += data.size();
        body.emplace_back(data);
    } else {
#ifdef Q_OS_UNIX
        // O_NONBLOCK: a FIFO in place of the file must not stall the GUI
        // thread in open(); anything but a regular file is refused below.
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return false;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return false;
        }
        length += qint64(st.st_size);
        if (st.st_size > 0)
            body.emplace_back(fd, 0, qint64(st.st_size));
        else
            ::close(fd);
#else
        QFile f(path);
        if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
            return false;
        const QByteArray data = f.readAll();
        length += data.size();
        body.emplace_back(data);
#endif
    }
    m_body = QByteArray();
    finish(std::move(body), length);
    return true;
}

void QHttpResponse::finish(Output body, qint64 bodyLength)
{
    m_ended = true;
    Output wire;
    wire.emplace_back(frameHead(m_status, m_headers, bodyLength, m_keepAlive, m_http10));
    m_headers.clear();
    if (!m_headRequest && m_status != ESTATUS_NOT_MODIFIED) {
        for (OutputChunk &c : body)
            wire.push_back(std::move(c));
    }
    body.clear(); // closes a file a HEAD answer does not send
    if (m_connection) {
        m_connection->deliver(m_sequence, std::move(wire), !m_keepAlive);
    } else {
        // No socket: the whole answer is kept for inspection.
        for (const OutputChunk &c : wire) {
            if (!c.isFile()) {
                m_wire += c.bytes;
                continue;
            }
#ifdef Q_OS_UNIX
            QByteArray buf(int(c.remaining), Qt::Uninitialized);
            const ssize_t n = ::pread(c.fd, buf.data(), std::size_t(buf.size()), c.offset);
            m_wire += buf.left(n > 0 ? int(n) : 0);
#endif
        }
    }
    if (m_inDispatch)
        return;
    if (m_request)
        m_request->deleteLater();
    deleteLater();
}

QByteArray QHttpResponse::frameHead(int status, const QList<QPair<QByteArray, QByteArray>> &headers,
                                    qint64 contentLength, bool keepAlive, bool http10)
{
    const char *text = http_status_str(http_status(status));
    if (!text || text[0] == '<')
        text = "Unknown";
    QByteArray out;
    out.reserve(128);
    out += "HTTP/1.1 ";
    out += QByteArray::number(status);
    out += ' ';
    out += text;
    out += "\r\n";
    for (const auto &h : headers) {
        out += h.first;
        out += ": ";
        out += h.second;
        out += "\r\n";
    }
    if (status != ESTATUS_NOT_MODIFIED) {
        out += "Content-Length: ";
        out += QByteArray::number(contentLength);
        out += "\r\n";
    }
    if (!keepAlive)
        out += "Connection: close\r\n";
    else if (http10)
        out += "Connection: keep-alive\r\n";
    out += "\r\n";
    return out;
}

QByteArray QHttpResponse::frame(int status, const QList<QPair<QByteArray, QByteArray>> &headers,
                                const QByteArray &body, bool omitBody, bool keepAlive, bool http10)
{
    QByteArray out = frameHead(status, headers, body.size(), keepAlive, http10);
    if (!omitBody)
        out += body;
    return out;
}

// --- QHttpServer ---

QHttpServer::QHttpServer(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_sweepTimer = new QTimer(this);
    connect(m_sweepTimer, &QTimer::timeout, this, &QHttpServer::checkDeadlines);
    setTimeouts(HttpTimeouts());
}

QHttpServer::~QHttpServer()
{
    m_destroying = true;
    m_connections.clear();
    // Connections (open or already released) refer back to this server, so
    // they go before the QObject base deletes the remaining children.
    qDeleteAll(findChildren<HttpConnection *>(QString(), Qt::FindDirectChildrenOnly));
}

bool QHttpServer::listen(const QHostAddress &address, quint16 port, const TServerHandler &handler)
{
    if (isListening())
        return false;
    if (!m_tcp) {
        m_tcp = new QTcpServer(this);
        // Accepting is cheap; the connection cap is applied per accepted socket.
        m_tcp->setMaxPendingConnections(m_maxConnections);
        connect(m_tcp, &QTcpServer::newConnection, this, &QHttpServer::onNewConnection);
    }
    if (address.isNull()) {
        qCWarning(lcWeb) << "cannot listen: no valid address";
        return false;
    }
    if (!m_tcp->listen(address, port)) {
        qCWarning(lcWeb) << "cannot listen on" << address.toString() << port
                         << m_tcp->errorString();
        return false;
    }
    m_handler = handler;
    qCInfo(lcWeb) << "listening on" << m_tcp->serverAddress().toString() << m_tcp->serverPort();
    return true;
}

bool QHttpServer::isListening() const
{
    return m_tcp && m_tcp->isListening();
}

void QHttpServer::stopListening()
{
    if (m_tcp)
        m_tcp->close();
    const auto conns = m_connections;
    for (HttpConnection *c : conns)
        c->abortNow();
    m_handler = TServerHandler();
}

quint16 QHttpServer::serverPort() const
{
    return isListening() ? m_tcp->serverPort() : 0;
}

void QHttpServer::setTimeouts(const HttpTimeouts &timeouts)
{
    m_timeouts = timeouts;
    // Deadlines are checked a few times per shortest limit (ms granularity is
    // not needed; a limit may be exceeded by one interval).
    const int shortest = std::min({timeouts.requestMs, timeouts.idleMs, timeouts.lingerMs});
    m_sweepTimer->setInterval(std::clamp(shortest / 4, 5, 1000));
}

void QHttpServer::setClock(std::function<qint64()> msClock)
{
    m_clockFn = std::move(msClock);
}

void QHttpServer::onNewConnection()
{
    while (m_tcp && m_tcp->hasPendingConnections()) {
        QTcpSocket *socket = m_tcp->nextPendingConnection();
        if (!socket)
            break;
        const QByteArray key = HttpConnection::addressKey(socket->peerAddress());
        if (m_connections.size() >= m_maxConnections && !makeRoomFor(key)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *c = new HttpConnection(socket, this);
        m_connections.insert(c);
        ++m_perAddress[key];
    }
    updateSweepTimer();
}

bool QHttpServer::makeRoomFor(const QByteArray &addressKey)
{
    QByteArray top;
    int topCount = 0;
    for (auto it = m_perAddress.constBegin(); it != m_perAddress.constEnd(); ++it) {
        if (it.value() > topCount) {
            top = it.key();
            topCount = it.value();
        }
    }
    // Only when the newcomer would still hold fewer than the top address.
    if (topCount <= m_perAddress.value(addressKey) + 1)
        return false;
    // The top address's least useful connection: one that no handler is
    // answering, then the longest without progress.
    HttpConnection *victim = nullptr;
    for (HttpConnection *c : qAsConst(m_connections)) {
        if (c->addressKey() != top)
            continue;
        if (!victim || (victim->isAnswering() && !c->isAnswering()) ||
            (victim->isAnswering() == c->isAnswering() &&
             c->lastProgress() < victim->lastProgress()))
            victim = c;
    }
    if (!victim)
        return false;
    qCInfo(lcWeb) << "connection cap reached: closing one of" << topCount
                  << "connections of one address for a newcomer";
    victim->abortNow();
    return m_connections.size() < m_maxConnections;
}

void QHttpServer::checkDeadlines()
{
    const qint64 t = now();
    const auto conns = m_connections;
    for (HttpConnection *c : conns) {
        if (m_connections.contains(c))
            c->checkDeadline(t);
    }
    updateSweepTimer();
}

void QHttpServer::updateSweepTimer()
{
    if (m_connections.isEmpty())
        m_sweepTimer->stop();
    else if (!m_sweepTimer->isActive())
        m_sweepTimer->start();
}

void QHttpServer::connectionGone(HttpConnection *c)
{
    if (m_destroying || !m_connections.remove(c))
        return;
    auto it = m_perAddress.find(c->addressKey());
    if (it != m_perAddress.end() && --it.value() <= 0)
        m_perAddress.erase(it);
    updateSweepTimer();
}

void QHttpServer::dispatch(QHttpRequest *req, QHttpResponse *resp)
{
    QPointer<QHttpResponse> guard(resp);
    emit newRequest(req, resp);
    if (m_handler && guard && !resp->isEnded())
        m_handler(req, resp);
}

} // namespace server
} // namespace qhttp
