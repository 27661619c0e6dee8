#include "httpconnection.h"

#include "httplimits.h"
#include "qhttpserver.h"

#include <QPointer>
#include <QTcpSocket>

#include <http_parser.h>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace qhttp {
namespace server {

HttpConnection::HttpConnection(QTcpSocket *socket, QHttpServer *server)
    : QObject(server), m_socket(socket), m_server(server)
{
    m_socket->setParent(this);
    // Qt stops reading from the kernel when this much is buffered and we have
    // not consumed it: the TCP window then throttles the client.
    m_socket->setReadBufferSize(qint64(HttpLimits::kReadChunkBytes));
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_acceptedAt = m_lastProgress = m_server->now();
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::release);
    updateDeadline();
    if (m_socket->bytesAvailable() > 0)
        processInput();
}

HttpConnection::~HttpConnection()
{
    m_server->connectionGone(this);
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

void HttpConnection::onBytesWritten()
{
    if (m_released)
        return;
    m_lastProgress = m_server->now();
    if (m_closeQueued && !m_lingering && m_socket->bytesToWrite() == 0) {
        startLinger();
        return;
    }
    if (!m_closing && m_socket->bytesAvailable() + (m_in.size() - m_inPos) > 0)
        processInput();
    else
        updateDeadline();
}

bool HttpConnection::canReadMore() const
{
    return !m_closing && !m_released &&
           m_pending.size() < std::size_t(HttpLimits::kMaxPipelinedRequests) &&
           std::size_t(m_socket->bytesToWrite()) < HttpLimits::kMaxQueuedOutputBytes;
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
            if (m_parser.inRequest() && !m_parser.headComplete() && m_headStartedAt < 0)
                m_headStartedAt = m_server->now();
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
    if (m_socket->bytesToWrite() > 0)
        m_socket->flush();
    updateDeadline();
}

void HttpConnection::dispatch(HttpRequestHead head)
{
    ++m_requests;
    m_headStartedAt = -1;
    const quint64 seq = m_nextSequence++;
    const bool keepAlive = head.keepAlive;
    const bool isHead = head.method == HTTP_HEAD;
    const bool http10 = head.httpMajor == 1 && head.httpMinor == 0;
    if (!keepAlive)
        m_closing = true;
    m_pending.push_back({seq, QByteArray(), false, !keepAlive});
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

void HttpConnection::send(const QByteArray &bytes)
{
    m_lastProgress = m_server->now();
#ifdef Q_OS_UNIX
    // Straight to the kernel when nothing is queued in the socket: saves the
    // write-notifier round trip through the event loop for each response.
    if (m_socket->bytesToWrite() == 0 && m_socket->state() == QAbstractSocket::ConnectedState) {
        const ssize_t n = ::send(int(m_socket->socketDescriptor()), bytes.constData(),
                                 std::size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == bytes.size())
            return;
        if (n > 0) {
            m_socket->write(bytes.constData() + n, bytes.size() - n);
            return;
        }
        // EAGAIN or an error: the socket reports errors on its own.
    }
#endif
    m_socket->write(bytes);
}

void HttpConnection::queueError(int status)
{
    qCDebug(lcWeb) << "bad request from" << m_socket->peerAddress().toString() << "answered"
                   << status;
    m_closing = true;
    const quint64 seq = m_nextSequence++;
    m_pending.push_back(
        {seq, QHttpResponse::frame(status, {}, QByteArray(), false, false, false), true, true});
    flushReady();
}

void HttpConnection::deliver(quint64 sequence, QByteArray bytes, bool close)
{
    if (m_released)
        return;
    for (Pending &p : m_pending) {
        if (p.sequence == sequence) {
            p.bytes = std::move(bytes);
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
        send(p.bytes);
        if (p.close) {
            m_closeQueued = true;
            m_closing = true;
        }
    }
    if (m_closeQueued && !m_lingering) {
        m_pending.clear();
        if (m_socket->bytesToWrite() > 0)
            m_socket->flush();
        if (m_socket->bytesToWrite() == 0)
            startLinger();
    }
    if (!m_released)
        updateDeadline();
}

void HttpConnection::startLinger()
{
    m_lingering = true;
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
    if (m_socket->bytesToWrite() > 0) {
        m_deadline = m_lastProgress + t.idleMs;
    } else if (!m_pending.empty()) {
        // A handler owns the next answer; the connection waits for it.
        m_deadline = -1;
    } else if (m_parser.inRequest()) {
        if (!m_parser.headComplete() && m_headStartedAt >= 0)
            m_deadline = m_headStartedAt + t.headMs;
        else
            m_deadline = m_lastProgress + t.idleMs;
    } else if (m_requests == 0) {
        m_deadline = m_acceptedAt + t.headMs;
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
    m_socket->abort();
    release();
}

void HttpConnection::release()
{
    if (m_released)
        return;
    m_released = true;
    m_pending.clear();
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
