#pragma once

// VISCA over IP: VISCA messages in UDP datagrams behind an 8-byte header.
//
// Header, big-endian: payload type (2 bytes), payload length (2 bytes, 1-16),
// sequence number (4 bytes); then the payload. Payload types: 0x0100 VISCA
// command, 0x0110 VISCA inquiry, 0x0111 VISCA reply, 0x0200 control command,
// 0x0201 control reply. Control payloads: 01 RESET (sequence numbers start
// again), answered by 01; the camera answers a message whose sequence number
// it did not expect with 0F 01 (sequence error) and a malformed one with
// 0F 02 (message error), each under that message's sequence number.

#include "viscalink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QMap>

#include <optional>

class QTimer;
class QUdpSocket;

namespace ViscaIp {

enum PayloadType : quint16
{
    Command = 0x0100,
    Inquiry = 0x0110,
    Reply = 0x0111,
    Control = 0x0200,
    ControlReply = 0x0201,
};

constexpr int kHeaderSize = 8;
constexpr int kMaxPayload = 16;

struct Datagram
{
    quint16 type = 0;
    quint32 sequence = 0;
    QByteArray payload;
};

QByteArray encode(quint16 type, quint32 sequence, const QByteArray &payload);
// nullopt unless: at least a header, length 1-16 and equal to the bytes after it.
std::optional<Datagram> decode(const QByteArray &datagram);
// 0x0110 for an inquiry (second byte 09), else 0x0100.
quint16 typeOf(const QByteArray &viscaMessage);

const QByteArray &resetPayload();         // 01
const QByteArray &sequenceErrorPayload(); // 0F 01
const QByteArray &messageErrorPayload();  // 0F 02

} // namespace ViscaIp

// The VISCA over IP link of a network camera.
//
// Opening sends RESET (sequence number 0); the link is Connected when the
// RESET is answered, and fails with a message naming the camera when no
// answer arrives within the answer timeout (2 s). Each message then gets the
// next sequence number (1, 2, ...). A message without any reply is sent again
// after the retransmit interval (200 ms), at most twice, under the same
// sequence number. Replies are attributed by sequence number, not by order:
// the first acknowledgement and the final reply (completion, inquiry answer or
// error) of a message are passed on once each; duplicates, replies to
// messages that finished long ago and unknown sequence numbers are dropped. A
// sequence error makes the link RESET (sequence numbers start again at 0);
// the messages still unanswered (the one it named among them) and messages
// sent before the RESET is answered go out after it, in order. A connected link whose camera stops
// answering (a message is given up after its retransmissions and nothing arrived for the answer
// timeout) reports an error and a disconnection. At most kMaxPending messages await replies (older
// ones are forgotten), at most kMaxHeld wait for a RESET.
class UdpViscaLink : public ViscaLink
{
    Q_OBJECT
public:
    static constexpr int kRetransmitMs = 200;
    static constexpr int kMaxRetransmissions = 2;
    static constexpr int kAnswerTimeoutMs = 2000;
    static constexpr int kMaxPending = 64;
    static constexpr int kMaxHeld = 32;

    explicit UdpViscaLink(QObject *parent = nullptr);
    ~UdpViscaLink() override;

    // Test hooks; the production values are the defaults.
    void setRetransmitInterval(int ms) { m_retransmitMs = qMax(1, ms); }
    void setAnswerTimeout(int ms);

    void open(const QString &host, quint16 port) override;
    void close() override;
    void abort() override;
    QAbstractSocket::SocketState state() const override { return m_state; }
    void send(const QByteArray &message) override;
    QString errorString() const override { return m_error; }

    // Messages awaiting a reply (RESET included).
    int pendingCount() const { return m_pending.size(); }
    bool resetting() const { return m_resetting; }

private:
    struct Pending
    {
        QByteArray datagram;
        QByteArray payload;
        quint16 type = 0;
        int retransmissions = 0;
        bool acknowledged = false; // first reply seen: no more retransmission
        QTimer *timer = nullptr;
    };

    void setState(QAbstractSocket::SocketState state);
    void onSocketConnected();
    void onSocketError();
    void onReadyRead();
    void handle(const ViscaIp::Datagram &d);
    void transmit(quint16 type, const QByteArray &payload);
    void startReset();
    void onRetransmit(quint32 sequence);
    void finish(quint32 sequence);
    void clearPending();
    void fail(const QString &message);
    void shutDown();

    QUdpSocket *m_socket;
    QTimer *m_answerTimer;
    QAbstractSocket::SocketState m_state = QAbstractSocket::UnconnectedState;
    QString m_error;
    QString m_host;
    quint16 m_port = 0;
    quint32 m_nextSequence = 0;
    bool m_resetting = false;
    QMap<quint32, Pending> m_pending;
    QList<QByteArray> m_held;
    QElapsedTimer m_lastReceived;
    int m_retransmitMs = kRetransmitMs;
};
