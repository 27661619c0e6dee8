#include "cameralinkconfig.h"

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
