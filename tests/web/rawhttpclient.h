#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QTcpSocket>
#include <QtTest>

// One HTTP response as read off the wire.
struct RawResponse
{
    int status = 0;
    QByteArray statusLine;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QByteArray raw; // every byte of the response, head and body

    // The value of the first header with this name; null when there is none.
    QByteArray header(const QByteArray &name) const
    {
        for (const auto &h : headers) {
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second.isNull() ? QByteArray("") : h.second;
        }
        return QByteArray();
    }
    bool hasHeader(const QByteArray &name) const { return !header(name).isNull(); }
};

// A client that writes raw bytes and reads Content-Length framed responses,
// running the event loop while it waits (the server lives on the same thread).
class RawHttpClient
{
public:
    // Starts connecting without waiting.
    void startConnect(quint16 port) { m_socket.connectToHost(QHostAddress::LocalHost, port); }

    // Connects, then sends firstBytes (if any).
    bool connectTo(quint16 port, const QByteArray &firstBytes = QByteArray())
    {
        startConnect(port);
        if (!QTest::qWaitFor([&] { return isOpen(); }, 5000))
            return false;
        send(firstBytes);
        return true;
    }

    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }

    // The next response; for a HEAD request the body is not on the wire. A
    // response that does not arrive within 5 s reads as status 0, no bytes.
    RawResponse next(bool headRequest = false)
    {
        RawResponse r;
        int headEnd = -1;
        if (!QTest::qWaitFor([&] { return (headEnd = pending().indexOf("\r\n\r\n")) >= 0; }, 5000))
            return r;
        const QList<QByteArray> lines = m_buffer.left(headEnd).split('\n');
        r.statusLine = lines.value(0).trimmed();
        r.status = r.statusLine.split(' ').value(1).toInt();
        for (const QByteArray &line : lines.mid(1)) {
            const int colon = line.indexOf(':');
            if (colon > 0)
                r.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
        }
        const int total = headEnd + 4 + (headRequest ? 0 : r.header("Content-Length").toInt());
        if (!QTest::qWaitFor([&] { return pending().size() >= total; }, 5000))
            return RawResponse();
        r.raw = m_buffer.left(total);
        r.body = r.raw.mid(headEnd + 4);
        m_buffer.remove(0, total);
        return r;
    }

    // True once the server has closed the connection (or reset it).
    bool waitClosed()
    {
        return QTest::qWaitFor(
            [&] { return pending(), m_socket.state() == QAbstractSocket::UnconnectedState; }, 5000);
    }

    bool isOpen() { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Bytes received but not yet taken as a response.
    QByteArray pending() { return m_buffer += m_socket.readAll(); }
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

// GET request bytes for a target.
inline QByteArray getRequest(const QByteArray &target, const QByteArray &extra = QByteArray())
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

// The response to a GET of target on a new connection.
inline RawResponse fetch(quint16 port, const QByteArray &target)
{
    RawHttpClient c;
    return c.connectTo(port, getRequest(target)) ? c.next() : RawResponse();
}
