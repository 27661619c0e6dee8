#include "viscaserial.h"

#include "camerawrapper.h"

#include <QHash>
#include <QSerialPort>
#include <QTimer>

namespace ViscaSerial {

QByteArray addressed(const QByteArray &message, int address)
{
    QByteArray out = message;
    if (!out.isEmpty())
        out[0] = char(0x80 | (address & 0x07));
    return out;
}

int replyAddress(quint8 firstByte)
{
    if (firstByte == 0x88)
        return 0;
    if ((firstByte & 0x0F) != 0)
        return -1;
    const int a = (firstByte >> 4) - 8;
    return a >= 1 && a <= 7 ? a : -1;
}

QByteArray asCameraOne(const QByteArray &frame)
{
    QByteArray out = frame;
    if (!out.isEmpty())
        out[0] = char(0x90);
    return out;
}

const QByteArray &addressSet()
{
    static const QByteArray m = QByteArray::fromHex("883001ff");
    return m;
}

const QByteArray &ifClear()
{
    static const QByteArray m = QByteArray::fromHex("88010001ff");
    return m;
}

QVector<QByteArray> FrameSplitter::feed(const QByteArray &chunk)
{
    QVector<QByteArray> frames;
    for (char ch : chunk) {
        const auto byte = quint8(ch);
        if (m_frame.isEmpty()) {
            if (byte >= 0x80 && byte != 0xFF)
                m_frame.append(ch);
            continue;
        }
        m_frame.append(ch);
        if (byte == 0xFF) {
            frames.append(m_frame);
            m_frame.clear();
        } else if (m_frame.size() >= kMaxFrameLength) {
            m_frame.clear();
        }
    }
    return frames;
}

} // namespace ViscaSerial

// ---------------------------------------------------------------- the port

namespace {
// Device path -> its hub while any link holds it. Main thread only.
QHash<QString, std::weak_ptr<SerialPortHub>> &hubs()
{
    static QHash<QString, std::weak_ptr<SerialPortHub>> h;
    return h;
}
} // namespace

std::shared_ptr<SerialPortHub> SerialPortHub::acquire(const QString &path)
{
    std::shared_ptr<SerialPortHub> hub = hubs().value(path).lock();
    if (!hub) {
        // Deleted from the event loop: the last holder may let go inside one
        // of the port's own signals.
        hub.reset(new SerialPortHub(path), [](SerialPortHub *h) { h->deleteLater(); });
        hubs().insert(path, hub);
    }
    return hub;
}

SerialPortHub::SerialPortHub(const QString &path) : m_path(path), m_port(new QSerialPort(this))
{
    m_port->setPortName(path);
    connect(m_port, &QSerialPort::readyRead, this, &SerialPortHub::onReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialPortHub::onError);
}

SerialPortHub::~SerialPortHub()
{
    m_port->disconnect(this);
    closePort();
    auto &h = hubs();
    auto it = h.find(m_path);
    if (it != h.end() && it->expired())
        h.erase(it);
}

bool SerialPortHub::isOpen() const
{
    return m_port->isOpen();
}

bool SerialPortHub::attach(SerialViscaLink *link, int baud, QString *error)
{
    if (!m_port->isOpen()) {
        m_port->setBaudRate(baud);
        m_port->setDataBits(QSerialPort::Data8);
        m_port->setParity(QSerialPort::NoParity);
        m_port->setStopBits(QSerialPort::OneStop);
        m_port->setFlowControl(QSerialPort::NoFlowControl);
        if (!m_port->open(QIODevice::ReadWrite)) {
            if (error)
                *error = m_port->errorString();
            m_port->clearError();
            return false;
        }
        m_splitter.reset();
        qCDebug(lcCamera) << "serial port" << m_path << "open at" << baud << "baud";
        m_port->write(ViscaSerial::addressSet());
        m_port->write(ViscaSerial::ifClear());
    } else if (m_port->baudRate() != baud) {
        qCWarning(lcCamera) << "serial port" << m_path << "runs at" << m_port->baudRate()
                            << "baud; a camera on it asked for" << baud;
    }
    if (!m_links.contains(link))
        m_links.append(link);
    return true;
}

void SerialPortHub::detach(SerialViscaLink *link)
{
    m_links.removeAll(link);
    m_links.removeAll(nullptr);
    if (m_links.isEmpty())
        closePort();
}

void SerialPortHub::closePort()
{
    if (!m_port->isOpen())
        return;
    m_port->flush();
    m_port->close();
    qCDebug(lcCamera) << "serial port" << m_path << "closed";
}

void SerialPortHub::write(const QByteArray &bytes)
{
    if (m_port->isOpen())
        m_port->write(bytes);
}

void SerialPortHub::flush()
{
    if (m_port->isOpen())
        m_port->flush();
}

void SerialPortHub::onReadyRead()
{
    const QVector<QByteArray> frames = m_splitter.feed(m_port->readAll());
    for (const QByteArray &frame : frames) {
        const int address = ViscaSerial::replyAddress(quint8(frame.at(0)));
        if (address <= 0) {
            qCDebug(lcCamera) << "serial port" << m_path << "frame" << frame.toHex(' ')
                              << "for no camera";
            continue;
        }
        const QList<QPointer<SerialViscaLink>> links = m_links;
        for (const QPointer<SerialViscaLink> &link : links) {
            if (link && link->address() == address)
                link->deliver(ViscaSerial::asCameraOne(frame));
        }
    }
}

void SerialPortHub::onError()
{
    // A read or write that merely found nothing to do (EAGAIN) is reported
    // as ReadError / WriteError; only a lost device ends the port.
    const QSerialPort::SerialPortError error = m_port->error();
    if (error != QSerialPort::ResourceError || !m_port->isOpen())
        return;
    const QString text = m_port->errorString();
    qCDebug(lcCamera) << "serial port" << m_path << "failed:" << text;
    m_port->clearError();
    m_port->close();
    const QList<QPointer<SerialViscaLink>> links = m_links;
    m_links.clear();
    for (const QPointer<SerialViscaLink> &link : links) {
        if (link)
            link->portLost(text);
    }
}

// ---------------------------------------------------------------- the link

SerialViscaLink::SerialViscaLink(int address, int baud, QObject *parent)
    : ViscaLink(parent), m_address(address), m_baud(baud)
{
}

SerialViscaLink::~SerialViscaLink()
{
    release();
}

void SerialViscaLink::setState(QAbstractSocket::SocketState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void SerialViscaLink::open(const QString &host, quint16 port)
{
    Q_UNUSED(port)
    if (m_state != QAbstractSocket::UnconnectedState)
        return;
    m_path = serialDevicePath(host);
    m_error.clear();
    setState(QAbstractSocket::ConnectingState);
    const int generation = ++m_openGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_openGeneration && m_state == QAbstractSocket::ConnectingState)
            openNow();
    });
}

void SerialViscaLink::openNow()
{
    m_hub = SerialPortHub::acquire(m_path);
    QString error;
    if (!m_hub->attach(this, m_baud, &error)) {
        m_hub.reset();
        m_error = tr("Cannot open serial port %1: %2").arg(m_path, error);
        emit errorOccurred();
        setState(QAbstractSocket::UnconnectedState);
        return;
    }
    setState(QAbstractSocket::ConnectedState);
    emit connected();
}

void SerialViscaLink::release()
{
    if (!m_hub)
        return;
    std::shared_ptr<SerialPortHub> hub = std::move(m_hub);
    hub->detach(this);
}

void SerialViscaLink::close()
{
    abort();
}

void SerialViscaLink::abort()
{
    ++m_openGeneration;
    if (m_state == QAbstractSocket::UnconnectedState)
        return;
    const bool wasConnected = m_state == QAbstractSocket::ConnectedState;
    release();
    setState(QAbstractSocket::UnconnectedState);
    if (wasConnected)
        emit disconnected();
}

void SerialViscaLink::flush()
{
    if (m_hub)
        m_hub->flush();
}

void SerialViscaLink::send(const QByteArray &message)
{
    if (m_state == QAbstractSocket::ConnectedState && m_hub)
        m_hub->write(ViscaSerial::addressed(message, m_address));
}

void SerialViscaLink::deliver(const QByteArray &frame)
{
    if (m_state == QAbstractSocket::ConnectedState)
        emit received(frame);
}

void SerialViscaLink::portLost(const QString &error)
{
    m_hub.reset();
    if (m_state != QAbstractSocket::ConnectedState)
        return;
    m_error = tr("Serial port %1 lost: %2").arg(m_path, error);
    emit errorOccurred();
    setState(QAbstractSocket::UnconnectedState);
    emit disconnected();
}
