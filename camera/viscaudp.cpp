#include "viscaudp.h"

#include "camerawrapper.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

namespace ViscaIp {

QByteArray encode(quint16 type, quint32 sequence, const QByteArray &payload)
{
    QByteArray out(kHeaderSize, 0);
    qToBigEndian<quint16>(type, out.data());
    qToBigEndian<quint16>(quint16(payload.size()), out.data() + 2);
    qToBigEndian<quint32>(sequence, out.data() + 4);
    return out + payload;
}

std::optional<Datagram> decode(const QByteArray &datagram)
{
    if (datagram.size() < kHeaderSize + 1)
        return std::nullopt;
    const int length = qFromBigEndian<quint16>(datagram.constData() + 2);
    if (length < 1 || length > kMaxPayload || length != datagram.size() - kHeaderSize)
        return std::nullopt;
    Datagram d;
    d.type = qFromBigEndian<quint16>(datagram.constData());
    d.sequence = qFromBigEndian<quint32>(datagram.constData() + 4);
    d.payload = datagram.mid(kHeaderSize);
    return d;
}

quint16 typeOf(const QByteArray &viscaMessage)
{
    return viscaMessage.size() > 1 && quint8(viscaMessage.at(1)) == 0x09 ? Inquiry : Command;
}

const QByteArray &resetPayload()
{
    static const QByteArray p = QByteArray::fromHex("01");
    return p;
}

const QByteArray &sequenceErrorPayload()
{
    static const QByteArray p = QByteArray::fromHex("0f01");
    return p;
}

const QByteArray &messageErrorPayload()
{
    static const QByteArray p = QByteArray::fromHex("0f02");
    return p;
}

} // namespace ViscaIp

namespace {

// Reply classes of a VISCA reply payload (9y Zz ..): Z = 4 acknowledge,
// 5 completion or inquiry answer, 6 error.
bool isAcknowledge(const QByteArray &payload)
{
    return payload.size() >= 2 && (quint8(payload.at(1)) & 0xF0) == 0x40;
}

} // namespace

UdpViscaLink::UdpViscaLink(QObject *parent)
    : ViscaLink(parent), m_socket(new QUdpSocket(this)), m_answerTimer(new QTimer(this))
{
    m_answerTimer->setSingleShot(true);
    m_answerTimer->setInterval(kAnswerTimeoutMs);
    connect(m_answerTimer, &QTimer::timeout, this, [this] {
        fail(tr("No answer from the camera at %1 port %2 (VISCA over IP) within %3 s")
                 .arg(m_host)
                 .arg(m_port)
                 .arg(m_answerTimer->interval() / 1000.0));
    });
    connect(m_socket, &QUdpSocket::connected, this, &UdpViscaLink::onSocketConnected);
    connect(m_socket, &QUdpSocket::errorOccurred, this, &UdpViscaLink::onSocketError);
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpViscaLink::onReadyRead);
}

UdpViscaLink::~UdpViscaLink()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void UdpViscaLink::setAnswerTimeout(int ms)
{
    m_answerTimer->setInterval(qMax(1, ms));
}

void UdpViscaLink::setState(QAbstractSocket::SocketState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void UdpViscaLink::open(const QString &host, quint16 port)
{
    if (m_state != QAbstractSocket::UnconnectedState)
        return;
    m_host = host;
    m_port = port;
    m_error.clear();
    m_resetting = false;
    m_held.clear();
    setState(QAbstractSocket::ConnectingState);
    m_answerTimer->start();
    // A connected UDP socket: only the camera's datagrams are received, and
    // an unreachable port comes back as an error.
    m_socket->connectToHost(host, port);
}

void UdpViscaLink::onSocketConnected()
{
    if (m_state != QAbstractSocket::ConnectingState)
        return;
    startReset();
}

void UdpViscaLink::startReset()
{
    clearPending();
    m_resetting = true;
    m_nextSequence = 0;
    transmit(ViscaIp::Control, ViscaIp::resetPayload());
}

void UdpViscaLink::transmit(quint16 type, const QByteArray &payload)
{
    const quint32 sequence = m_nextSequence++;
    Pending p;
    p.type = type;
    p.payload = payload;
    p.datagram = ViscaIp::encode(type, sequence, payload);
    p.timer = new QTimer(this);
    p.timer->setSingleShot(true);
    p.timer->setInterval(m_retransmitMs);
    connect(p.timer, &QTimer::timeout, this, [this, sequence] { onRetransmit(sequence); });
    while (m_pending.size() >= kMaxPending)
        finish(m_pending.firstKey());
    m_pending.insert(sequence, p);
    p.timer->start();
    m_socket->write(p.datagram);
}

void UdpViscaLink::onRetransmit(quint32 sequence)
{
    auto it = m_pending.find(sequence);
    if (it == m_pending.end() || it->acknowledged)
        return;
    if (it->retransmissions < kMaxRetransmissions) {
        ++it->retransmissions;
        it->timer->start();
        m_socket->write(it->datagram);
        return;
    }
    qCDebug(lcCamera) << "VISCA over IP: message" << sequence << "unanswered, given up";
    const bool wasReset = it->type == ViscaIp::Control;
    finish(sequence);
    if (m_state != QAbstractSocket::ConnectedState)
        return; // while connecting the answer timer decides
    if (!m_lastReceived.isValid() || m_lastReceived.elapsed() >= m_answerTimer->interval() ||
        wasReset) {
        fail(tr("The camera at %1 port %2 stopped answering (VISCA over IP)")
                 .arg(m_host)
                 .arg(m_port));
    }
}

void UdpViscaLink::finish(quint32 sequence)
{
    auto it = m_pending.find(sequence);
    if (it == m_pending.end())
        return;
    delete it->timer;
    m_pending.erase(it);
}

void UdpViscaLink::clearPending()
{
    for (Pending &p : m_pending)
        delete p.timer;
    m_pending.clear();
}

void UdpViscaLink::send(const QByteArray &message)
{
    if (m_state != QAbstractSocket::ConnectedState || message.isEmpty() ||
        message.size() > ViscaIp::kMaxPayload)
        return;
    if (m_resetting) {
        if (m_held.size() < kMaxHeld)
            m_held.append(message);
        return;
    }
    transmit(ViscaIp::typeOf(message), message);
}

void UdpViscaLink::onReadyRead()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(ViscaIp::kHeaderSize + 64);
        if (m_state == QAbstractSocket::UnconnectedState)
            continue;
        const std::optional<ViscaIp::Datagram> d = ViscaIp::decode(datagram.data());
        if (!d) {
            qCDebug(lcCamera) << "VISCA over IP: malformed datagram dropped"
                              << datagram.data().left(32).toHex(' ');
            continue;
        }
        m_lastReceived.start();
        handle(*d);
        if (m_state == QAbstractSocket::UnconnectedState)
            return;
    }
}

void UdpViscaLink::handle(const ViscaIp::Datagram &d)
{
    auto it = m_pending.find(d.sequence);
    if (it == m_pending.end()) {
        qCDebug(lcCamera) << "VISCA over IP: reply to unknown message" << d.sequence << "dropped";
        return;
    }
    if (d.type == ViscaIp::ControlReply) {
        if (d.payload == ViscaIp::sequenceErrorPayload()) {
            qCDebug(lcCamera) << "VISCA over IP: sequence error on" << d.sequence << "; RESET";
            // The camera dropped that message and will drop the others still
            // unanswered: they go out again, in order, after the RESET.
            QList<QByteArray> resend;
            for (const Pending &p : qAsConst(m_pending)) {
                if (p.type != ViscaIp::Control && !p.acknowledged)
                    resend.append(p.payload);
            }
            m_held = (resend + m_held).mid(0, kMaxHeld);
            startReset();
            return;
        }
        if (it->type == ViscaIp::Control && d.payload == ViscaIp::resetPayload()) {
            finish(d.sequence);
            m_resetting = false;
            if (m_state == QAbstractSocket::ConnectingState) {
                m_answerTimer->stop();
                setState(QAbstractSocket::ConnectedState);
                emit connected();
            }
            const QList<QByteArray> held = m_held;
            m_held.clear();
            for (const QByteArray &message : held)
                transmit(ViscaIp::typeOf(message), message);
            return;
        }
        // Message error or another control answer: that message is done.
        qCDebug(lcCamera) << "VISCA over IP: control reply" << d.payload.toHex(' ') << "to"
                          << d.sequence;
        finish(d.sequence);
        return;
    }
    if (d.type != ViscaIp::Reply || it->type == ViscaIp::Control)
        return;
    if (isAcknowledge(d.payload)) {
        if (it->acknowledged)
            return; // a second acknowledgement of a retransmitted message
        it->acknowledged = true;
        it->timer->stop();
        emit received(d.payload);
        return;
    }
    finish(d.sequence);
    emit received(d.payload);
}

void UdpViscaLink::onSocketError()
{
    if (m_state == QAbstractSocket::UnconnectedState)
        return;
    fail(m_socket->errorString());
}

void UdpViscaLink::fail(const QString &message)
{
    m_error = message;
    const bool wasConnected = m_state == QAbstractSocket::ConnectedState;
    emit errorOccurred();
    shutDown();
    if (wasConnected)
        emit disconnected();
}

void UdpViscaLink::shutDown()
{
    m_answerTimer->stop();
    clearPending();
    m_held.clear();
    m_resetting = false;
    m_socket->abort();
    setState(QAbstractSocket::UnconnectedState);
}

void UdpViscaLink::close()
{
    abort();
}

void UdpViscaLink::abort()
{
    if (m_state == QAbstractSocket::UnconnectedState)
        return;
    const bool wasConnected = m_state == QAbstractSocket::ConnectedState;
    shutDown();
    if (wasConnected)
        emit disconnected();
}
