#pragma once

// A vMix stand-in on 127.0.0.1: answers every GET according to its mode and
// records each request target and Authorization header. One request per
// connection ("Connection: close"), bodies end with the connection.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

class FakeVMixServer : public QObject
{
    Q_OBJECT
public:
    enum Mode
    {
        Answer,    // 200 with body
        Http500,   // 500 with a short body
        Stall,     // read the request, never answer
        Challenge, // 401 Basic unless the Authorization header is expectedAuth
    };

    struct Request
    {
        QByteArray target;
        QByteArray authorization;
    };

    FakeVMixServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRead(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    quint16 port() const { return server.serverPort(); }
    // Requests for the status document ("/api") and for functions.
    QList<QByteArray> statusTargets() const { return targets(false); }
    QList<QByteArray> functionTargets() const { return targets(true); }

    Mode mode = Answer;
    QByteArray body;
    QByteArray expectedAuth;
    QList<Request> requests;

private:
    QList<QByteArray> targets(bool functions) const
    {
        QList<QByteArray> out;
        for (const Request &r : requests) {
            if (r.target.startsWith("/api/?") == functions)
                out << r.target;
        }
        return out;
    }

    void onRead(QTcpSocket *socket)
    {
        QByteArray &buffer = buffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        Request request;
        request.target = lines.value(0).split(' ').value(1);
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("authorization:"))
                request.authorization = line.mid(14).trimmed();
        }
        buffers.remove(socket);
        requests << request;
        if (mode == Stall)
            return;
        const bool isFunction = request.target.startsWith("/api/?");
        if (mode == Http500) {
            reply(socket, "500 Internal Server Error", "", "oops");
        } else if (mode == Challenge && request.authorization != expectedAuth) {
            reply(socket, "401 Unauthorized", "WWW-Authenticate: Basic realm=\"vMix\"\r\n",
                  "denied");
        } else {
            reply(socket, "200 OK", "Content-Type: text/xml\r\n",
                  isFunction ? QByteArray("Function completed successfully.") : body);
        }
    }

    static void reply(QTcpSocket *socket, const QByteArray &status, const QByteArray &headers,
                      const QByteArray &content)
    {
        // No Content-Length: the body ends with the connection, so a reader
        // learns its size only by reading it.
        socket->write("HTTP/1.1 " + status + "\r\n" + headers + "Connection: close\r\n\r\n" +
                      content);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> buffers;
};
