#include "camerasimulator.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QNetworkDatagram>
#include <QPainter>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kMaxMessageLength = 32;     // longer VISCA input is dropped
constexpr int kMaxHttpHeader = 16384;     // longer request heads are refused
constexpr qint64 kReadBufferBytes = 4096; // unread client bytes Qt buffers per socket
constexpr qint64 kReadStepBytes = 256;
constexpr int kSendBufferBytes = 64 * 1024; // kernel send buffer per VISCA client
constexpr int kMotionTickMs = 40;
constexpr int kSplitGapMs = 5;
constexpr double kPanTiltStepsPerSpeed = 40.0; // steps per second per speed unit
constexpr double kZoomFocusStepsPerSpeed = 700.0;

const QByteArray kAck = QByteArray::fromHex("9041ff");
const QByteArray kCompletion = QByteArray::fromHex("9051ff");
const QByteArray kSyntaxError = QByteArray::fromHex("906002ff");
const QByteArray kGarbage = QByteArray::fromHex("001234");

uint8_t b(const QByteArray &m, int i)
{
    return static_cast<uint8_t>(m.at(i));
}

// Four hexadecimal digit bytes of a 16-bit value (two's complement).
QByteArray digitQuad(int value)
{
    const int v = value & 0xFFFF;
    QByteArray out(4, 0);
    out[0] = char((v >> 12) & 0xF);
    out[1] = char((v >> 8) & 0xF);
    out[2] = char((v >> 4) & 0xF);
    out[3] = char(v & 0xF);
    return out;
}

// Signed 16-bit value of four digit bytes at m[from].
int fromDigitQuad(const QByteArray &m, int from)
{
    int v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 4) | (b(m, from + i) & 0xF);
    return static_cast<int16_t>(v);
}

QByteArray frame(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int x : bytes)
        out.append(char(x & 0xFF));
    return out;
}

int onOff(uint8_t byte, bool &ok)
{
    ok = (byte == 0x02 || byte == 0x03);
    return byte == 0x02;
}

} // namespace

struct CameraSimulator::Client
{
    QTcpSocket *socket = nullptr;
    QByteArray in;
    bool inMessage = false;
    // Pending output, in order: due time on the simulator clock, bytes.
    QList<QPair<qint64, QByteArray>> out;
    qint64 outBytes = 0; // bytes in out
    QTimer *timer = nullptr;
    QTimer *idle = nullptr;

    qint64 backlog() const { return outBytes + socket->bytesToWrite(); }
};

CameraSimulator::CameraSimulator(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_visca = new QTcpServer(this);
    m_http = new QTcpServer(this);
    m_motionTimer = new QTimer(this);
    m_motionTimer->setInterval(kMotionTickMs);
    connect(m_visca, &QTcpServer::newConnection, this, &CameraSimulator::onViscaConnection);
    connect(m_http, &QTcpServer::newConnection, this, &CameraSimulator::onHttpConnection);
    connect(m_motionTimer, &QTimer::timeout, this, &CameraSimulator::onMotionTick);
}

CameraSimulator::~CameraSimulator()
{
    close();
}

bool CameraSimulator::listen(const QHostAddress &address, quint16 viscaPort, quint16 httpPort)
{
    close();
    if (!m_visca->listen(address, viscaPort)) {
        m_error = QStringLiteral("VISCA port %1: %2").arg(viscaPort).arg(m_visca->errorString());
        return false;
    }
    if (!m_http->listen(address, httpPort)) {
        m_error = QStringLiteral("HTTP port %1: %2").arg(httpPort).arg(m_http->errorString());
        m_visca->close();
        return false;
    }
    m_error.clear();
    return true;
}

void CameraSimulator::close()
{
    m_visca->close();
    m_http->close();
    dropConnections();
    delete m_udp;
    m_udp = nullptr;
    delete m_serialNotifier;
    m_serialNotifier = nullptr;
    if (!m_ptyLink.isEmpty() && QFileInfo(m_ptyLink).isSymLink())
        QFile::remove(m_ptyLink);
    m_ptyLink.clear();
    if (m_ptyMaster >= 0)
        ::close(m_ptyMaster);
    if (m_ptySlave >= 0)
        ::close(m_ptySlave);
    m_ptyMaster = m_ptySlave = -1;
}

quint16 CameraSimulator::viscaPort() const
{
    return m_visca->serverPort();
}

quint16 CameraSimulator::httpPort() const
{
    return m_http->serverPort();
}

void CameraSimulator::clearLog()
{
    m_log.clear();
    m_lastCommand.clear();
}

void CameraSimulator::setPosition(int pan, int tilt, int zoom, int focus)
{
    if (m_motionTimer->isActive())
        m_motionClock.restart();
    m_pan = pan;
    m_tilt = tilt;
    m_zoom = zoom;
    m_focus = focus;
    clampPositions();
}

bool CameraSimulator::isMoving() const
{
    return m_panDir || m_tiltDir || m_zoomDir || m_focusDir;
}

void CameraSimulator::dropConnections()
{
    const auto clients = m_clients;
    for (Client *c : clients)
        c->socket->abort();
}

// ------------------------------------------------------------------- VISCA

void CameraSimulator::onViscaConnection()
{
    while (QTcpSocket *socket = m_visca->nextPendingConnection()) {
        ++m_accepted;
        if (m_dropNew) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *client = new Client;
        client->socket = socket;
        client->timer = new QTimer(socket);
        client->timer->setSingleShot(true);
        client->idle = new QTimer(socket);
        client->idle->setSingleShot(true);
        client->idle->setInterval(m_idleTimeoutMs);
        client->idle->start();
        // Unread input stays in the kernel (TCP flow control) instead of
        // here; unread replies fill a fixed kernel buffer, then ours.
        socket->setReadBufferSize(kReadBufferBytes);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSendBufferBytes);
        m_clients.insert(socket, client);
        connect(client->idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        // Reading resumes as the client takes its replies.
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this, socket] { onViscaReadable(socket); });
        connect(client->timer, &QTimer::timeout, this, [this, socket] { flushOut(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onViscaReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            delete m_clients.take(socket);
            socket->deleteLater();
            emit clientDisconnected();
        });
        emit clientConnected();
    }
}

void CameraSimulator::onViscaReadable(QTcpSocket *socket)
{
    Client *client = m_clients.value(socket);
    if (!client)
        return;
    if (socket->bytesAvailable() > 0)
        client->idle->start();
    // Messages are read only while the client takes its replies: one that
    // never reads cannot make the simulator buffer more than a bounded amount.
    while (client->backlog() < kMaxPendingReplyBytes) {
        const QByteArray data = socket->read(kReadStepBytes);
        if (data.isEmpty())
            return;
        if (!consumeVisca(*client, data))
            return; // a handler closed the connection
    }
}

bool CameraSimulator::consumeVisca(Client &c, const QByteArray &data)
{
    Client *client = &c;
    QTcpSocket *socket = client->socket;
    for (char ch : data) {
        const auto byte = static_cast<uint8_t>(ch);
        if (!client->inMessage) {
            if ((byte & 0xF0) == 0x80) { // 8x: a message to camera x
                client->inMessage = true;
                client->in = QByteArray(1, ch);
            }
            continue;
        }
        client->in.append(ch);
        if (byte == 0xFF) {
            client->inMessage = false;
            handleMessage(*client, client->in);
            if (!m_clients.contains(socket))
                return false;
        } else if (client->in.size() >= kMaxMessageLength) {
            client->inMessage = false;
            sendBurst(*client, {kSyntaxError});
        }
    }
    return true;
}

qint64 CameraSimulator::pendingReplyBytes() const
{
    qint64 total = 0;
    for (const Client *c : m_clients)
        total += c->backlog();
    return total;
}

void CameraSimulator::handleMessage(Client &client, const QByteArray &message)
{
    const QList<QByteArray> frames = answer(message);
    if (!frames.isEmpty())
        sendBurst(client, frames);
}

QList<QByteArray> CameraSimulator::answer(const QByteArray &message)
{
    advanceMotion(); // positions up to now before anything reads or changes them
    m_log.append(message);
    while (m_log.size() > kMaxLoggedMessages)
        m_log.removeFirst();

    if (b(message, 0) != 0x81)
        return {kSyntaxError};
    if (message.size() >= 3 && b(message, 1) == 0x09) {
        emit inquiryReceived(message);
        if (!m_ignoredInquiry.isEmpty() && message == m_ignoredInquiry)
            return {};
        const QByteArray reply = inquiryReply(message);
        return {reply.isEmpty() ? kSyntaxError : reply};
    }
    m_lastCommand = message;
    emit commandReceived(message);
    if (applyCommand(message))
        return {kAck, kCompletion};
    return {kSyntaxError};
}

// ------------------------------------------------------------ VISCA over IP

bool CameraSimulator::listenUdp(const QHostAddress &address, quint16 port)
{
    delete m_udp;
    m_udp = new QUdpSocket(this);
    if (!m_udp->bind(address, port)) {
        m_error = m_udp->errorString();
        delete m_udp;
        m_udp = nullptr;
        return false;
    }
    m_udpExpected = -1;
    connect(m_udp, &QUdpSocket::readyRead, this, &CameraSimulator::onUdpReadable);
    return true;
}

quint16 CameraSimulator::udpPort() const
{
    return m_udp ? m_udp->localPort() : 0;
}

void CameraSimulator::onUdpReadable()
{
    auto datagram = [](quint16 type, quint32 seq, const QByteArray &payload) {
        QByteArray out(8, 0);
        qToBigEndian<quint16>(type, out.data());
        qToBigEndian<quint16>(quint16(payload.size()), out.data() + 2);
        qToBigEndian<quint32>(seq, out.data() + 4);
        return out + payload;
    };
    while (m_udp && m_udp->hasPendingDatagrams()) {
        const QNetworkDatagram in = m_udp->receiveDatagram(64);
        const QByteArray d = in.data();
        if (d.size() < 9 || qFromBigEndian<quint16>(d.constData() + 2) != d.size() - 8)
            continue;
        const quint16 type = qFromBigEndian<quint16>(d.constData());
        const quint32 seq = qFromBigEndian<quint32>(d.constData() + 4);
        const QByteArray payload = d.mid(8);
        auto reply = [&](quint16 t, const QByteArray &p) {
            m_udp->writeDatagram(datagram(t, seq, p), in.senderAddress(), quint16(in.senderPort()));
        };
        if (type == 0x0200) {
            if (payload == QByteArray(1, 0x01)) {
                m_udpExpected = qint64(seq) + 1;
                reply(0x0201, payload);
            } else {
                reply(0x0201, QByteArray::fromHex("0f02"));
            }
            continue;
        }
        if (type != 0x0100 && type != 0x0110) {
            reply(0x0201, QByteArray::fromHex("0f02"));
            continue;
        }
        if (m_udpExpected >= 0 && qint64(seq) > m_udpExpected) {
            reply(0x0201, QByteArray::fromHex("0f01"));
            continue;
        }
        if (m_udpExpected < 0 || qint64(seq) == m_udpExpected)
            m_udpExpected = qint64(seq) + 1;
        for (const QByteArray &f : answer(payload))
            reply(0x0111, f);
    }
}

// ------------------------------------------------------------------ serial

bool CameraSimulator::openSerial(const QString &linkPath, int address)
{
    const QFileInfo existing(linkPath);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            m_error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
            return false;
        }
        QFile::remove(linkPath);
    }
    char name[256] = {};
    if (::openpty(&m_ptyMaster, &m_ptySlave, name, nullptr, nullptr) != 0) {
        m_error = QStringLiteral("openpty failed");
        return false;
    }
    termios t{};
    ::tcgetattr(m_ptySlave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_ptySlave, TCSANOW, &t);
    ::fcntl(m_ptyMaster, F_SETFL, ::fcntl(m_ptyMaster, F_GETFL) | O_NONBLOCK);
    m_ptyName = QString::fromLocal8Bit(name);
    if (!QFile::link(m_ptyName, linkPath)) {
        m_error = QStringLiteral("cannot link %1 to %2").arg(linkPath, m_ptyName);
        return false;
    }
    m_ptyLink = linkPath;
    m_serialAddress = qBound(1, address, 7);
    m_serialNotifier = new QSocketNotifier(m_ptyMaster, QSocketNotifier::Read, this);
    connect(m_serialNotifier, &QSocketNotifier::activated, this,
            &CameraSimulator::onSerialReadable);
    return true;
}

void CameraSimulator::onSerialReadable()
{
    char buffer[256];
    const ssize_t n = ::read(m_ptyMaster, buffer, sizeof buffer);
    if (n <= 0)
        return;
    const uint8_t self = uint8_t(0x80 | m_serialAddress);
    const char replyHead = char((m_serialAddress + 8) << 4);
    QByteArray out;
    for (ssize_t i = 0; i < n; ++i) {
        const char ch = buffer[i];
        if (m_serialIn.isEmpty() && (uint8_t(ch) & 0xF0) != 0x80)
            continue;
        m_serialIn.append(ch);
        if (uint8_t(ch) != 0xFF) {
            if (m_serialIn.size() >= kMaxMessageLength)
                m_serialIn.clear();
            continue;
        }
        const QByteArray m = m_serialIn;
        m_serialIn.clear();
        if (m == QByteArray::fromHex("883001ff")) {
            out += frame({0x88, 0x30, m_serialAddress + 1, 0xFF});
        } else if (m == QByteArray::fromHex("88010001ff")) {
            out += m;
        } else if (uint8_t(m.at(0)) == self) {
            QByteArray asOne = m;
            asOne[0] = char(0x81);
            for (QByteArray f : answer(asOne)) {
                f[0] = replyHead;
                out += f;
            }
        }
    }
    if (!out.isEmpty())
        ::write(m_ptyMaster, out.constData(), size_t(out.size()));
}

QByteArray CameraSimulator::inquiryReply(const QByteArray &m) const
{
    if (m == QByteArray::fromHex("81097E010AFF"))
        return frame({0x90, 0x50, m_tallyLamp ? 0x02 : 0x03, 0xFF});
    if (m.size() != 5)
        return {};
    const int group = b(m, 2), code = b(m, 3);
    const QByteArray head = QByteArray::fromHex("9050");
    const QByteArray tail = QByteArray(1, char(0xFF));
    if (group == 0x06 && code == 0x12)
        return head + digitQuad(pan()) + digitQuad(tilt()) + tail;
    if (group != 0x04)
        return {};
    switch (code) {
    case 0x47:
        return head + digitQuad(zoom()) + tail;
    case 0x48:
        return head + digitQuad(focus()) + tail;
    case 0x38:
        return frame({0x90, 0x50, m_autoFocus ? 0x02 : 0x03, 0xFF});
    case 0x4A:
        return frame({0x90, 0x50, 0x00, 0x00, m_shutter >> 4, m_shutter & 0xF, 0xFF});
    case 0x4B:
        return frame({0x90, 0x50, 0x00, 0x00, m_iris >> 4, m_iris & 0xF, 0xFF});
    case 0x4D:
        return frame({0x90, 0x50, m_bright, 0xFF});
    case 0xA1:
        return frame({0x90, 0x50, 0x00, 0x00, 0x00, m_luminance, 0xFF});
    case 0xA2:
        return frame({0x90, 0x50, 0x00, 0x00, 0x00, m_contrast, 0xFF});
    case 0x4F:
        return frame({0x90, 0x50, 0x00, 0x00, 0x00, m_hue, 0xFF});
    case 0x39:
        return frame({0x90, 0x50, m_aeMode, 0xFF});
    case 0x35:
        return frame({0x90, 0x50, m_wbMode, 0xFF});
    default:
        return {};
    }
}

bool CameraSimulator::applyCommand(const QByteArray &m)
{
    const int n = m.size();
    if (n < 5)
        return false;
    const int cat = b(m, 1), group = b(m, 2), code = b(m, 3);
    bool ok = true;

    if (cat == 0x0A && n == 6) {
        if (group == 0x11 && code == 0x13) {
            m_motionSync = onOff(b(m, 4), ok);
            return ok;
        }
        if (group == 0x04 && code == 0x68) {
            m_focusLock = onOff(b(m, 4), ok);
            return ok;
        }
        return false;
    }
    if (cat != 0x01)
        return false;

    if (group == 0x7E && n == 8 && code == 0x01 && b(m, 4) == 0x0A && b(m, 5) == 0x00) {
        const bool on = onOff(b(m, 6), ok);
        if (!ok)
            return false;
        if (on != m_tallyLamp) {
            m_tallyLamp = on;
            emit tallyLampChanged(on);
        }
        return true;
    }

    if (group == 0x06) {
        if (code == 0x01 && n == 9) { // pan/tilt drive
            const int h = b(m, 6), v = b(m, 7);
            if (h < 1 || h > 3 || v < 1 || v > 3)
                return false;
            m_panSpeed = qBound(1, int(b(m, 4)), kMaxPanSpeed);
            m_tiltSpeed = qBound(1, int(b(m, 5)), kMaxTiltSpeed);
            m_panDir = h == 1 ? -1 : h == 2 ? 1 : 0;
            m_tiltDir = v == 1 ? 1 : v == 2 ? -1 : 0;
            startMotion();
            return true;
        }
        if (code == 0x01 && n == 6) {
            m_presetSpeed = qBound(1, int(b(m, 4)), kMaxPresetSpeed);
            return true;
        }
        if (code == 0x04 && n == 5) {
            m_panDir = m_tiltDir = 0;
            m_pan = 0;
            m_tilt = 0;
            return true;
        }
        if (code == 0x06 && n == 6)
            return b(m, 4) == 0x04 || b(m, 4) == 0x05; // menu back / enter
        if (code == 0x07 && n == 15 && b(m, 4) == 0x00) {
            for (int i = 6; i < 14; ++i) {
                if (b(m, i) > 0x0F)
                    return false;
            }
            const int p = fromDigitQuad(m, 6), t = fromDigitQuad(m, 10);
            if (b(m, 5) == 0x01) {
                m_hasUpRight = true;
                m_limitPanMax = qBound(kPanMin, p, kPanMax);
                m_limitTiltMax = qBound(kTiltMin, t, kTiltMax);
            } else if (b(m, 5) == 0x00) {
                m_hasDownLeft = true;
                m_limitPanMin = qBound(kPanMin, p, kPanMax);
                m_limitTiltMin = qBound(kTiltMin, t, kTiltMax);
            } else {
                return false;
            }
            return true;
        }
        return false;
    }
    if (group != 0x04)
        return false;

    if (n == 6) {
        const int p = b(m, 4);
        switch (code) {
        case 0x07:   // zoom
        case 0x08: { // focus
            int dir = 0;
            if (p == 0x00)
                dir = 0;
            else if ((p & 0xF0) == 0x20)
                dir = 1;
            else if ((p & 0xF0) == 0x30)
                dir = -1;
            else
                return false;
            if (code == 0x07) {
                m_zoomDir = dir;
                m_zoomSpeed = qMin(p & 0x0F, kMaxZoomFocusSpeed);
            } else {
                m_focusDir = dir;
                m_focusSpeed = qMin(p & 0x0F, kMaxZoomFocusSpeed);
            }
            startMotion();
            return true;
        }
        case 0x38:
            m_autoFocus = onOff(p, ok);
            return ok;
        case 0x39:
            if (p != 0x00 && p != 0x03 && p != 0x0A && p != 0x0B && p != 0x0D)
                return false;
            m_aeMode = p;
            return true;
        case 0x35:
            m_wbMode = p;
            return true;
        case 0x0D:
            if (p == 0x02)
                m_bright = qMin(m_bright + 1, 17);
            else if (p == 0x03)
                m_bright = qMax(m_bright - 1, 0);
            else
                return false;
            return true;
        case 0x10:
            if (p != 0x05)
                return false;
            ++m_onePushCount;
            return true;
        case 0x66:
            m_flip = onOff(p, ok);
            return ok;
        case 0x61:
            m_mirror = onOff(p, ok);
            return ok;
        default:
            return false;
        }
    }
    if (n == 7 && code == 0x3F) {
        const int op = b(m, 4), num = b(m, 5);
        if (op == 0x00) {
            m_presets.remove(num);
        } else if (op == 0x01) {
            m_presets.insert(num, {pan(), tilt(), zoom(), focus()});
            emit presetStored(num);
        } else if (op == 0x02) {
            if (num == 95) {
                m_menuOpen = !m_menuOpen;
            } else if (m_presets.contains(num)) {
                const Preset p = m_presets.value(num);
                m_panDir = m_tiltDir = m_zoomDir = m_focusDir = 0;
                m_pan = p.pan;
                m_tilt = p.tilt;
                m_zoom = p.zoom;
                m_focus = p.focus;
            }
        } else {
            return false;
        }
        return true;
    }
    if (n == 9 && b(m, 4) == 0x00 && b(m, 5) == 0x00) {
        const int pairValue = (b(m, 6) & 0x0F) * 16 + (b(m, 7) & 0x0F);
        switch (code) {
        case 0x4B:
            m_iris = qMin(pairValue, kMaxIris);
            return true;
        case 0x4A:
            m_shutter = qMin(pairValue, kMaxShutter);
            return true;
        case 0x4D:
            m_bright = qMin(pairValue, kMaxBright);
            return true;
        case 0xA1:
            m_luminance = qMin(int(b(m, 7)), kMaxPicture);
            return true;
        case 0xA2:
            m_contrast = qMin(int(b(m, 7)), kMaxPicture);
            return true;
        case 0x4F:
            m_hue = qMin(int(b(m, 7)), kMaxPicture);
            return true;
        default:
            return false;
        }
    }
    return false;
}

void CameraSimulator::sendBurst(Client &client, const QList<QByteArray> &frames)
{
    const qint64 now = m_clock.elapsed();
    qint64 due = now + m_replyDelayMs;
    if (!client.out.isEmpty())
        due = qMax(due, client.out.last().first);
    if (m_garbage)
        queueOut(client, kGarbage, due);
    for (const QByteArray &f : frames) {
        if (m_split && f.size() > 1) {
            const int half = f.size() / 2;
            queueOut(client, f.left(half), due);
            due += kSplitGapMs;
            queueOut(client, f.mid(half), due);
        } else {
            queueOut(client, f, due);
        }
    }
}

void CameraSimulator::queueOut(Client &client, const QByteArray &bytes, qint64 due)
{
    client.out.append({due, bytes});
    client.outBytes += bytes.size();
    flushOut(client.socket);
}

void CameraSimulator::flushOut(QTcpSocket *socket)
{
    Client *client = m_clients.value(socket);
    if (!client)
        return;
    const qint64 now = m_clock.elapsed();
    while (!client->out.isEmpty() && client->out.first().first <= now) {
        const QByteArray bytes = client->out.takeFirst().second;
        client->outBytes -= bytes.size();
        socket->write(bytes);
        // A split frame's parts go out in separate segments.
        if (m_split)
            socket->flush();
    }
    if (!client->out.isEmpty())
        client->timer->start(int(qMax<qint64>(0, client->out.first().first - now)));
}

// ------------------------------------------------------------------- motion

void CameraSimulator::startMotion()
{
    if (!isMoving()) {
        m_motionTimer->stop();
    } else if (!m_motionTimer->isActive()) {
        m_motionClock.start();
        m_motionTimer->start();
    }
}

void CameraSimulator::advanceMotion()
{
    if (!m_motionTimer->isActive())
        return;
    const double dt = m_motionClock.restart() / 1000.0;
    m_pan += m_panDir * m_panSpeed * kPanTiltStepsPerSpeed * dt;
    m_tilt += m_tiltDir * m_tiltSpeed * kPanTiltStepsPerSpeed * dt;
    m_zoom += m_zoomDir * (m_zoomSpeed + 1) * kZoomFocusStepsPerSpeed * dt;
    m_focus += m_focusDir * (m_focusSpeed + 1) * kZoomFocusStepsPerSpeed * dt;
    clampPositions();
}

void CameraSimulator::onMotionTick()
{
    advanceMotion();
    if (!isMoving())
        m_motionTimer->stop();
}

void CameraSimulator::clampPositions()
{
    const int panMin = qMax(kPanMin, m_hasDownLeft ? m_limitPanMin : kPanMin);
    const int panMax = qMin(kPanMax, m_hasUpRight ? m_limitPanMax : kPanMax);
    const int tiltMin = qMax(kTiltMin, m_hasDownLeft ? m_limitTiltMin : kTiltMin);
    const int tiltMax = qMin(kTiltMax, m_hasUpRight ? m_limitTiltMax : kTiltMax);
    if (panMin <= panMax)
        m_pan = qBound<double>(panMin, m_pan, panMax);
    if (tiltMin <= tiltMax)
        m_tilt = qBound<double>(tiltMin, m_tilt, tiltMax);
    m_zoom = qBound<double>(kZoomMin, m_zoom, kZoomMax);
    m_focus = qBound<double>(kFocusMin, m_focus, kFocusMax);
}

// -------------------------------------------------------------------- HTTP

QByteArray CameraSimulator::deviceConfBody() const
{
    if (!m_deviceConfOverride.isEmpty())
        return m_deviceConfOverride;
    QByteArray body;
    body += "devname=\"" + m_name.toUtf8() + "\"\n";
    body += "devtype=\"PTZ-SIM\"\n";
    body += "versioninfo=\"SIM 1.0.0\"\n";
    body += "device_model=\"SIM-20X\"\n";
    body += "mac_address=\"02:00:00:00:00:01\"\n";
    body += "serial_num=\"" + m_serial.toUtf8() + "\"\n";
    body += "ip_address=\"127.0.0.1\"\n";
    body += "http_port=\"" + QByteArray::number(httpPort()) + "\"\n";
    body += "visca_port=\"" + QByteArray::number(viscaPort()) + "\"\n";
    return body;
}

SimScene::View CameraSimulator::view() const
{
    SimScene::View v;
    v.pan = pan();
    v.tilt = tilt();
    v.zoom = zoom();
    v.focus = focus();
    v.autoFocus = m_autoFocus;
    v.tally = m_tallyLamp ? 1 : 0;
    v.overlay = QStringLiteral("%1\npan %2  tilt %3  zoom %4  focus %5")
                    .arg(m_name)
                    .arg(pan())
                    .arg(tilt())
                    .arg(zoom())
                    .arg(focus());
    if (m_tallyLamp)
        v.overlay += QStringLiteral("\ntally lamp ON");
    return v;
}

QByteArray CameraSimulator::snapshotJpeg() const
{
    SimScene::View v = view();
    v.overlay += QLatin1Char('\n') + QDateTime::currentDateTime().toString(Qt::ISODate);
    const QImage image = SimScene::render(v, QSize(640, 360));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return jpeg;
}

void CameraSimulator::onHttpConnection()
{
    while (QTcpSocket *socket = m_http->nextPendingConnection()) {
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        idle->start(m_idleTimeoutMs);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, idle] {
            idle->start();
            handleHttp(socket);
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void CameraSimulator::handleHttp(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    const int end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() > kMaxHttpHeader)
            socket->abort();
        else
            socket->setProperty("head", head);
        return;
    }
    socket->setProperty("answered", true);
    socket->setProperty("head", QVariant());

    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    emit httpRequestReceived(QString::fromLatin1(target));

    int status = 200;
    QByteArray reason = "OK", type = "text/plain", body;
    int delay = 0;
    if (method != "GET") {
        status = 405;
        reason = "Method Not Allowed";
    } else if (target == "/snapshot.jpg") {
        type = "image/jpeg";
        body = snapshotJpeg();
        if (!m_snapshotDelays.isEmpty())
            delay = qMax(0, m_snapshotDelays.takeFirst());
    } else if (target == "/cgi-bin/param.cgi?get_device_conf") {
        body = deviceConfBody();
    } else {
        status = 404;
        reason = "Not Found";
        body = "not found\n";
    }
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    response += "Content-Type: " + type + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += body;

    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(delay, this, [guard, response] {
        if (!guard)
            return;
        guard->write(response);
        guard->disconnectFromHost();
    });
}
