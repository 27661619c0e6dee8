#include "viscalink.h"

#include <QTcpSocket>

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
