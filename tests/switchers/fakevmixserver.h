#pragma once

// A vMix stand-in on 127.0.0.1: answers every GET according to its mode and
// records each request target and Authorization header. One request per
// connection ("Connection: close"), bodies end with the connection (no
// Content-Length: a reader learns the size only by reading it).

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

class FakeVMixServer : public QObject
{
    Q_OBJECT
public:
    enum Mode
    {
        Answer,    // 200; body for the status document ("/api")
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
    // Targets of the function requests ("/api/?...").
    QList<QByteArray> functionTargets() const
    {
        QList<QByteArray> out;
        for (const Request &r : requests) {
            if (r.target.startsWith("/api/?"))
                out << r.target;
        }
        return out;
    }

    Mode mode = Answer;
    QByteArray body;
    QByteArray expectedAuth;
    QList<Request> requests;

private:
    void onRead(QTcpSocket *socket)
    {
        QByteArray &buffer = buffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        Request request{lines.value(0).split(' ').value(1), {}};
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("authorization:"))
                request.authorization = line.mid(14).trimmed();
        }
        buffers.remove(socket);
        requests << request;
        if (mode == Stall)
            return;
        const bool denied = mode == Challenge && request.authorization != expectedAuth;
        const QByteArray status = mode == Http500 ? "500 Internal Server Error"
                                  : denied ? "401 Unauthorized\r\nWWW-Authenticate: Basic realm=x"
                                           : "200 OK\r\nContent-Type: text/xml";
        const bool function = request.target.startsWith("/api/?");
        const QByteArray content = !status.startsWith("200") ? "no"
                                   : function                ? "Function completed successfully."
                                                             : body;
        socket->write("HTTP/1.1 " + status + "\r\nConnection: close\r\n\r\n" + content);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> buffers;
};
