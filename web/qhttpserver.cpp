#include "qhttpserver.h"

#include "httpconnection.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <http_parser.h>

#include <algorithm>

Q_LOGGING_CATEGORY(lcWeb, "corvanta.web")

namespace qhttp {
namespace server {

// --- QHttpRequest ---

QHttpRequest::QHttpRequest(HttpRequestHead head, QObject *parent)
    : QObject(parent), m_head(std::move(head))
{
    m_url = targetToUrl(m_head.target);
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
    m_ended = true;
    QByteArray wire = frame(m_status, m_headers, m_body, m_headRequest, m_keepAlive, m_http10);
    m_body.clear();
    m_headers.clear();
    if (m_connection)
        m_connection->deliver(m_sequence, std::move(wire), !m_keepAlive);
    else
        m_wire = std::move(wire);
    if (m_inDispatch)
        return;
    if (m_request)
        m_request->deleteLater();
    deleteLater();
}

QByteArray QHttpResponse::frame(int status, const QList<QPair<QByteArray, QByteArray>> &headers,
                                const QByteArray &body, bool omitBody, bool keepAlive, bool http10)
{
    const char *text = http_status_str(http_status(status));
    if (!text || text[0] == '<')
        text = "Unknown";
    QByteArray out;
    out.reserve(128 + body.size());
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
    out += "Content-Length: ";
    out += QByteArray::number(body.size());
    out += "\r\n";
    if (!keepAlive)
        out += "Connection: close\r\n";
    else if (http10)
        out += "Connection: keep-alive\r\n";
    out += "\r\n";
    if (!omitBody)
        out += body;
    return out;
}

// --- QHttpServer ---

QHttpServer::QHttpServer(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_sweepTimer = new QTimer(this);
    connect(m_sweepTimer, &QTimer::timeout, this, &QHttpServer::sweep);
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
        m_tcp->setMaxPendingConnections(HttpLimits::kMaxConnections);
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
    const int shortest = std::min({timeouts.headMs, timeouts.idleMs, timeouts.lingerMs});
    m_sweepTimer->setInterval(std::clamp(shortest / 4, 5, 1000));
}

void QHttpServer::onNewConnection()
{
    while (m_tcp && m_tcp->hasPendingConnections()) {
        QTcpSocket *socket = m_tcp->nextPendingConnection();
        if (!socket)
            break;
        if (m_connections.size() >= HttpLimits::kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *c = new HttpConnection(socket, this);
        m_connections.insert(c);
    }
    updateSweepTimer();
}

void QHttpServer::sweep()
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
    if (m_destroying)
        return;
    m_connections.remove(c);
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
