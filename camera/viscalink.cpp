#include "viscalink.h"

#include <QTcpSocket>

quint16 CameraLinkConfig::viscaPort() const
{
    if (port)
        return port;
    return protocol == Udp ? kUdpPort : kTcpPort;
}

bool CameraLinkConfig::operator==(const CameraLinkConfig &o) const
{
    return protocol == o.protocol && port == o.port && httpPort == o.httpPort &&
           address == o.address && baud == o.baud && stream1 == o.stream1 && stream2 == o.stream2;
}

QString CameraLinkConfig::protocolName(Protocol protocol)
{
    switch (protocol) {
    case Udp:
        return QStringLiteral("udp");
    case Serial:
        return QStringLiteral("serial");
    default:
        return QStringLiteral("tcp");
    }
}

std::optional<CameraLinkConfig::Protocol> CameraLinkConfig::protocolFromName(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("tcp"))
        return Tcp;
    if (n == QLatin1String("udp"))
        return Udp;
    if (n == QLatin1String("serial"))
        return Serial;
    return std::nullopt;
}

bool CameraLinkConfig::validBaud(int baud)
{
    switch (baud) {
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
        return true;
    default:
        return false;
    }
}

QString serialDevicePath(const QString &cameraId)
{
    const int hash = cameraId.indexOf(QLatin1Char('#'));
    return hash < 0 ? cameraId : cameraId.left(hash);
}

// ---------------------------------------------------------------------- TCP

TcpViscaLink::TcpViscaLink(QObject *parent) : ViscaLink(parent), m_socket(new QTcpSocket(this))
{
    connect(m_socket, &QTcpSocket::connected, this, &ViscaLink::connected);
    connect(m_socket, &QTcpSocket::disconnected, this, &ViscaLink::disconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { emit errorOccurred(); });
    connect(m_socket, &QTcpSocket::stateChanged, this, &ViscaLink::stateChanged);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { emit received(m_socket->readAll()); });
}

TcpViscaLink::~TcpViscaLink()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void TcpViscaLink::open(const QString &host, quint16 port)
{
    m_socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void TcpViscaLink::close()
{
    m_socket->flush();
    m_socket->disconnectFromHost();
}

void TcpViscaLink::abort()
{
    m_socket->abort();
}

void TcpViscaLink::flush()
{
    m_socket->flush();
}

QAbstractSocket::SocketState TcpViscaLink::state() const
{
    return m_socket->state();
}

void TcpViscaLink::send(const QByteArray &message)
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(message);
}

QString TcpViscaLink::errorString() const
{
    return m_socket->errorString();
}
