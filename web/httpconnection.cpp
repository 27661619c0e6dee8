#include "httpconnection.h"

#include "httplimits.h"
#include "qhttpserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpSocket>

#include <http_parser.h>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#endif

namespace qhttp {
namespace server {

HttpConnection::HttpConnection(QTcpSocket *socket, QHttpServer *server)
    : QObject(server), m_socket(socket), m_server(server),
      m_addressKey(addressKey(socket->peerAddress()))
{
    m_socket->setParent(this);
    // Qt stops reading from the kernel when this much is buffered and we have
    // not consumed it: the TCP window then throttles the client.
    m_socket->setReadBufferSize(qint64(HttpLimits::kReadChunkBytes));
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_acceptedAt = m_lastProgress = m_requestStartedAt = m_server->now();
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::stateChanged, this, &HttpConnection::onStateChanged);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::release);
    updateDeadline();
    if (m_socket->bytesAvailable() > 0)
        processInput();
}

HttpConnection::~HttpConnection()
{
    m_server->connectionGone(this);
}

QByteArray HttpConnection::addressKey(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ip4 = address.toIPv4Address(&v4);
    if (v4)
        return QByteArray::number(ip4);
    const Q_IPV6ADDR ip6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(ip6.c), 8).toHex();
}

bool HttpConnection::isAnswering() const
{
    for (const Pending &p : m_pending) {
        if (!p.ready)
            return true;
    }
    return false;
}

void HttpConnection::onReadyRead()
{
    if (m_released)
        return;
    if (m_lingering) {
        // Half-closed: the client's remaining bytes are read and dropped.
        m_socket->skip(m_socket->bytesAvailable());
        return;
    }
    processInput();
}

void HttpConnection::onStateChanged()
{
    // The socket closes its descriptor on its way out: stop watching it first.
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        dropWriteNotifier();
}

bool HttpConnection::canReadMore() const
{
    if (m_closing || m_released ||
        m_pending.size() >= std::size_t(HttpLimits::kMaxPipelinedRequests))
        return false;
    qint64 queued = m_socket->bytesToWrite();
    int files = 0;
    auto count = [&](const Output &out) {
        for (const OutputChunk &c : out) {
            queued += c.size();
            files += c.isFile() ? 1 : 0;
        }
    };
    count(m_out);
    for (const Pending &p : m_pending)
        count(p.out);
    return queued < qint64(HttpLimits::kMaxQueuedOutputBytes) &&
           files < HttpLimits::kMaxOpenFilesPerConnection;
}

void HttpConnection::processInput()
{
    if (m_busy) {
        // Re-entered from a nested event loop inside a request handler.
        m_again = true;
        return;
    }
    m_busy = true;
    QPointer<HttpConnection> self(this);
    do {
        m_again = false;
        while (canReadMore()) {
            if (m_inPos >= m_in.size()) {
                const qint64 n =
                    qMin(m_socket->bytesAvailable(), qint64(HttpLimits::kReadChunkBytes));
                if (n <= 0)
                    break;
                m_in = m_socket->read(n);
                m_inPos = 0;
                if (m_in.isEmpty())
                    break;
                m_lastProgress = m_server->now();
            }
            std::size_t used = 0;
            const auto ev = m_parser.feed(m_in.constData() + m_inPos,
                                          std::size_t(m_in.size() - m_inPos), &used);
            m_inPos += int(used);
            if (m_parser.inRequest() && m_requestStartedAt < 0)
                m_requestStartedAt = m_server->now();
            if (ev == HttpRequestParser::Event::Error) {
                queueError(m_parser.errorStatus());
                break;
            }
            if (ev == HttpRequestParser::Event::Request) {
                dispatch(m_parser.takeRequest());
                if (!self)
                    return;
                continue;
            }
            if (m_parser.finished())
                break;
        }
    } while (m_again && !m_released);
    m_busy = false;
    if (m_released) {
        deleteLater(); // deferred by release() while we were on the stack
        return;
    }
    updateDeadline();
}

void HttpConnection::dispatch(HttpRequestHead head)
{
    ++m_requests;
    m_requestStartedAt = -1;
    const quint64 seq = m_nextSequence++;
    const bool keepAlive = head.keepAlive;
    const bool isHead = head.method == HTTP_HEAD;
    const bool http10 = head.httpMajor == 1 && head.httpMinor == 0;
    if (!keepAlive)
        m_closing = true;
    m_pending.push_back({seq, Output(), false, !keepAlive});
    auto *req = new QHttpRequest(std::move(head), m_server);
    auto *resp = new QHttpResponse(this, seq, isHead, keepAlive, http10, m_server);
    resp->m_request = req;
    resp->m_inDispatch = true;
    QPointer<QHttpResponse> guard(resp);
    QPointer<QHttpRequest> reqGuard(req);
    m_server->dispatch(req, resp);
    // This connection may be gone now (nested event loop in a receiver):
    // only locals are used from here on.
    if (!guard)
        return;
    guard->m_inDispatch = false;
    if (guard->isEnded()) {
        // Every receiver has returned, so nothing refers to the pair any more.
        delete reqGuard.data();
        delete guard.data();
    }
}

void HttpConnection::queueError(int status)
{
    qCDebug(lcWeb) << "bad request from" << m_socket->peerAddress().toString() << "answered"
                   << status;
    m_closing = true;
    const quint64 seq = m_nextSequence++;
    Output out;
    out.emplace_back(QHttpResponse::frame(status, {}, QByteArray(), false, false, false));
    m_pending.push_back({seq, std::move(out), true, true});
    flushReady();
}

void HttpConnection::deliver(quint64 sequence, Output out, bool close)
{
    if (m_released)
        return;
    for (Pending &p : m_pending) {
        if (p.sequence == sequence) {
            p.out = std::move(out);
            p.ready = true;
            p.close = p.close || close;
            break;
        }
    }
    flushReady();
    if (!m_busy && !m_released && !m_closing)
        processInput();
}

void HttpConnection::flushReady()
{
    while (!m_pending.empty() && m_pending.front().ready && !m_closeQueued) {
        Pending p = std::move(m_pending.front());
        m_pending.pop_front();
        for (OutputChunk &c : p.out)
            m_out.push_back(std::move(c));
        if (p.close) {
            m_closeQueued = true;
            m_closing = true;
        }
    }
    if (m_closeQueued)
        m_pending.clear();
    pump();
    if (!m_released)
        updateDeadline();
}

void HttpConnection::pump()
{
    if (m_released || m_lingering || m_pumping)
        return;
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_pumping = true;
#ifdef Q_OS_UNIX
    const int fd = int(m_socket->socketDescriptor());
    std::size_t budget = HttpLimits::kWriteBudgetBytes;
    while (!m_out.empty() && budget > 0) {
        OutputChunk &front = m_out.front();
        if (front.isFile()) {
            off_t off = off_t(front.offset);
            const std::size_t want = std::size_t(qMin<qint64>(front.remaining, qint64(budget)));
            const ssize_t n = ::sendfile(fd, front.fd, &off, want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            if (n <= 0) {
                // An error, or the file shrank below the length announced in
                // the head: the framing cannot be kept.
                m_pumping = false;
                fail(n == 0 ? "file shorter than announced" : "sendfile failed");
                return;
            }
            front.offset = off;
            front.remaining -= n;
            budget -= std::size_t(n);
            if (front.remaining == 0)
                m_out.pop_front();
        } else {
            // Consecutive memory chunks go out in one call; MSG_MORE holds a
            // head back until the file body that follows it.
            iovec iov[16];
            int count = 0;
            bool fileFollows = false;
            for (const OutputChunk &c : m_out) {
                if (c.isFile()) {
                    fileFollows = true;
                    break;
                }
                if (count == 16)
                    break;
                iov[count].iov_base = const_cast<char *>(c.bytes.constData()) + c.pos;
                iov[count].iov_len = std::size_t(c.bytes.size() - c.pos);
                ++count;
            }
            msghdr msg{};
            msg.msg_iov = iov;
            msg.msg_iovlen = std::size_t(count);
            const ssize_t n =
                ::sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT | (fileFollows ? MSG_MORE : 0));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            if (n < 0) {
                m_pumping = false;
                fail("send failed");
                return;
            }
            std::size_t left = std::size_t(n);
            budget -= qMin(left, budget);
            while (left > 0) {
                OutputChunk &c = m_out.front();
                const std::size_t size = std::size_t(c.bytes.size() - c.pos);
                if (left < size) {
                    c.pos += int(left);
                    break;
                }
                left -= size;
                m_out.pop_front();
            }
        }
        m_lastProgress = m_server->now();
    }
    m_pumping = false;
    watchWritable(!m_out.empty());
    if (m_out.empty())
        afterDrain();
#else
    for (const OutputChunk &c : m_out)
        m_socket->write(c.bytes.constData() + c.pos, c.bytes.size() - c.pos);
    m_out.clear();
    m_lastProgress = m_server->now();
    m_pumping = false;
    afterDrain();
#endif
}

void HttpConnection::afterDrain()
{
    if (m_closeQueued) {
        if (m_socket->bytesToWrite() == 0)
            startLinger();
        else
            m_socket->flush();
        return;
    }
    // Reading may have paused for the output just sent.
    if (!m_busy && !m_closing && (m_inPos < m_in.size() || m_socket->bytesAvailable() > 0))
        processInput();
}

void HttpConnection::watchWritable(bool on)
{
    if (!m_writeNotifier) {
        if (!on || m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        m_writeNotifier =
            new QSocketNotifier(m_socket->socketDescriptor(), QSocketNotifier::Write, this);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
            pump();
            if (!m_released)
                updateDeadline();
        });
    }
    if (m_writeNotifier->isEnabled() != on)
        m_writeNotifier->setEnabled(on);
}

void HttpConnection::dropWriteNotifier()
{
    if (!m_writeNotifier)
        return;
    // Unregistered at once; deleted later, since this may run inside its own
    // activated() emission.
    m_writeNotifier->setEnabled(false);
    m_writeNotifier->deleteLater();
    m_writeNotifier = nullptr;
}

void HttpConnection::fail(const char *why)
{
    qCDebug(lcWeb) << "closing connection:" << why;
    abortNow();
}

void HttpConnection::startLinger()
{
    m_lingering = true;
    watchWritable(false);
#ifdef Q_OS_UNIX
    // Half-close: the client sees the end of the response stream while any
    // request bytes it still sends are drained rather than answered by a reset.
    ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    m_socket->skip(m_socket->bytesAvailable());
    m_deadline = m_server->now() + m_server->timeouts().lingerMs;
#else
    m_socket->disconnectFromHost();
#endif
}

void HttpConnection::updateDeadline()
{
    if (m_lingering || m_released)
        return;
    const HttpTimeouts &t = m_server->timeouts();
    if (!m_out.empty() || m_socket->bytesToWrite() > 0) {
        // The client is slow to read what it asked for.
        m_deadline = m_lastProgress + t.idleMs;
    } else if (!m_pending.empty()) {
        // A handler owns the next answer; the connection waits for it.
        m_deadline = -1;
    } else if (m_requestStartedAt >= 0) {
        m_deadline = m_requestStartedAt + t.requestMs;
    } else {
        m_deadline = m_lastProgress + t.idleMs;
    }
}

void HttpConnection::checkDeadline(qint64 now)
{
    if (m_released || m_deadline < 0 || now < m_deadline)
        return;
    qCDebug(lcWeb) << "closing connection after timeout" << m_socket->peerAddress().toString();
    abortNow();
}

void HttpConnection::abortNow()
{
    if (m_released)
        return;
    dropWriteNotifier();
    m_socket->abort();
    release();
}

void HttpConnection::release()
{
    if (m_released)
        return;
    m_released = true;
    dropWriteNotifier();
    m_pending.clear();
    m_out.clear();
    m_server->connectionGone(this);
    // Unended responses see a null connection once this is deleted and drop
    // their bytes. Not while processInput() is on the stack: a receiver's
    // nested event loop would run the deletion under the socket's own
    // readyRead emission.
    if (!m_busy)
        deleteLater();
}

} // namespace server
} // namespace qhttp
