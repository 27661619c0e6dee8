#pragma once

#include "httprequestparser.h"

#include <QByteArray>
#include <QObject>

#include <deque>

class QTcpSocket;

namespace qhttp {
namespace server {

class QHttpServer;

// One accepted client connection: reads and parses requests, hands each to
// the server, and writes the responses back in request order. Deleted with
// deleteLater once the socket is closed. GUI thread only.
class HttpConnection : public QObject
{
    Q_OBJECT
public:
    HttpConnection(QTcpSocket *socket, QHttpServer *server);
    ~HttpConnection() override;

    // Called by a response when it ends.
    void deliver(quint64 sequence, QByteArray bytes, bool close);
    // Closes the connection at once when its deadline (server clock, ms) has passed.
    void checkDeadline(qint64 now);
    // Drops the connection now (reset, no further bytes).
    void abortNow();

private:
    struct Pending
    {
        quint64 sequence;
        QByteArray bytes;
        bool ready;
        bool close;
    };

    void onReadyRead();
    void onBytesWritten();
    void processInput();
    bool canReadMore() const;
    void dispatch(HttpRequestHead head);
    void queueError(int status);
    void flushReady();
    void send(const QByteArray &bytes);
    void startLinger();
    void updateDeadline();
    void release();

    QTcpSocket *m_socket;
    QHttpServer *m_server;
    HttpRequestParser m_parser;
    QByteArray m_in;
    int m_inPos = 0;
    std::deque<Pending> m_pending;
    quint64 m_nextSequence = 0;
    qint64 m_acceptedAt = 0;
    qint64 m_lastProgress = 0;
    qint64 m_headStartedAt = -1;
    qint64 m_deadline = -1;
    int m_requests = 0;
    bool m_busy = false;
    bool m_again = false;
    bool m_closing = false;     // no further requests are read
    bool m_closeQueued = false; // the last response has been written
    bool m_lingering = false;
    bool m_released = false;
};

} // namespace server
} // namespace qhttp
