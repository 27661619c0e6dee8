#pragma once

#include "httprequestparser.h"
#include "qhttpserver.h"

#include <QByteArray>
#include <QObject>

#include <deque>

class QHostAddress;
class QSocketNotifier;
class QTcpSocket;

namespace qhttp {
namespace server {

// One accepted client connection: reads and parses requests, hands each to
// the server, and writes the responses back in request order. Output is
// written straight to the socket as the client drains it (file bodies with
// sendfile), never more than HttpLimits::kWriteBudgetBytes per event-loop
// turn. Deleted with deleteLater once the socket is closed. GUI thread only.
class HttpConnection : public QObject
{
    Q_OBJECT
public:
    HttpConnection(QTcpSocket *socket, QHttpServer *server);
    ~HttpConnection() override;

    // Called by a response when it ends.
    void deliver(quint64 sequence, Output out, bool close);
    // Closes the connection at once when its deadline (server clock, ms) has passed.
    void checkDeadline(qint64 now);
    // Drops the connection now (reset, no further bytes).
    void abortNow();

    // The group a peer address counts in for the per-address share: the
    // IPv4 address, or the /64 prefix of an IPv6 address.
    static QByteArray addressKey(const QHostAddress &address);
    const QByteArray &addressKey() const { return m_addressKey; }
    // Server clock (ms) of the last byte read or written.
    qint64 lastProgress() const { return m_lastProgress; }
    // True while a handler owes this connection an answer.
    bool isAnswering() const;

private:
    struct Pending
    {
        quint64 sequence;
        Output out;
        bool ready;
        bool close;
    };

    void onReadyRead();
    void onStateChanged();
    void processInput();
    bool canReadMore() const;
    void dispatch(HttpRequestHead head);
    void queueError(int status);
    void flushReady();
    // Writes queued output until the socket would block or the budget is
    // spent; then waits for the socket to become writable.
    void pump();
    void afterDrain();
    void watchWritable(bool on);
    void dropWriteNotifier();
    void fail(const char *why);
    void startLinger();
    void updateDeadline();
    void release();

    QTcpSocket *m_socket;
    QHttpServer *m_server;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_addressKey;
    HttpRequestParser m_parser;
    QByteArray m_in;
    int m_inPos = 0;
    std::deque<Pending> m_pending;
    // In request order, ready to go out.
    Output m_out;
    quint64 m_nextSequence = 0;
    qint64 m_acceptedAt = 0;
    qint64 m_lastProgress = 0;
    // Server clock at which the request being received began: accept time
    // for the first request, its first byte for later ones; -1 between.
    qint64 m_requestStartedAt = -1;
    qint64 m_deadline = -1;
    int m_requests = 0;
    bool m_busy = false;
    bool m_again = false;
    bool m_pumping = false;
    bool m_closing = false;     // no further requests are read
    bool m_closeQueued = false; // the last response is queued for output
    bool m_lingering = false;
    bool m_released = false;
};

} // namespace server
} // namespace qhttp
