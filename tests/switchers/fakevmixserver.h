#pragma once

// A vMix stand-in on 127.0.0.1: answers every GET according to its mode and
// records each request target. One request per
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
        Challenge, // 401 Basic, whatever the credentials
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
        for (const QByteArray &target : requests)
            if (target.startsWith("/api/?"))
                out << target;
        return out;
    }

    Mode mode = Answer;
    QByteArray body;
    QList<QByteArray> requests; // targets

private:
    void onRead(QTcpSocket *socket)
    {
        QByteArray &buffer = buffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray target = buffer.left(end).split(' ').value(1);
        buffers.remove(socket);
        requests << target;
        if (mode == Stall)
            return;
        const QByteArray status = mode == Http500 ? "500 Internal Server Error"
                                  : mode == Challenge
                                      ? "401 Unauthorized\r\nWWW-Authenticate: Basic realm=x"
                                      : "200 OK\r\nContent-Type: text/xml";
        const bool function = target.startsWith("/api/?");
        const QByteArray content = !status.startsWith("200") ? "no"
                                   : function                ? "Function completed successfully."
                                                             : body;
        socket->write("HTTP/1.1 " + status + "\r\nConnection: close\r\n\r\n" + content);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> buffers;
};
