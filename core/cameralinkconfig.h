#pragma once

#include <QString>

#include <optional>

// How a network camera (cameratype 0) is reached. Defaults are the values an
// entry without the keys has: VISCA over TCP, the protocol's port, HTTP port 80
// and the RTSP streams "rtsp://<id>/1" and "/2".
struct CameraLinkConfig
{
    enum Protocol
    {
        Tcp = 0,
        Udp = 1,
        Serial = 2
    };
    static constexpr quint16 kTcpPort = 5678;
    static constexpr quint16 kUdpPort = 52381;
    static constexpr quint16 kHttpPort = 80;
    static constexpr int kDefaultBaud = 9600;

    Protocol protocol = Tcp;
    quint16 port = 0;     // network port; 0: the protocol's default
    quint16 httpPort = 0; // snapshots and device name (tcp only); 0: 80
    int address = 1;      // serial camera address, 1-7
    int baud = kDefaultBaud;
    QString stream1; // stream addresses; empty: the default
    QString stream2;

    // The port actually used: `port`, else 5678 (tcp) or 52381 (udp).
    quint16 viscaPort() const;
    quint16 effectiveHttpPort() const { return httpPort ? httpPort : kHttpPort; }
    bool operator==(const CameraLinkConfig &o) const;
    bool operator!=(const CameraLinkConfig &o) const { return !(*this == o); }

    // "tcp", "udp", "serial".
    static QString protocolName(Protocol protocol);
    // Case-insensitive; nullopt for anything else.
    static std::optional<Protocol> protocolFromName(const QString &name);
    // Baud rates a serial camera may be set to.
    static bool validBaud(int baud);
};
