#pragma once

// The link a network camera's VISCA messages travel over, and the per-camera
// choice of link as stored in the camera list.
//
// Every link carries complete VISCA messages of camera address 1 (81 .. FF)
// out and hands reply bytes in as camera 1 sends them (90 .. FF), whatever the
// wire looks like: the codec in visca.h stays the same for every link. States
// and signals follow QAbstractSocket's (Unconnected, HostLookup, Connecting,
// Connected, Closing) so the camera's connection handling is the same for
// every link. Main thread only.

#include "cameralinkconfig.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>

class QTcpSocket;

// The device a serial camera's id names: the id up to an optional "#" (the
// part after it only keeps the ids of cameras sharing one port apart).
QString serialDevicePath(const QString &cameraId);

class ViscaLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~ViscaLink() override = default;

    // Starts connecting to host (address, host name or, for serial, device
    // path) and port (ignored by serial links). Completion arrives as
    // connected() or as errorOccurred() followed by stateChanged(Unconnected).
    virtual void open(const QString &host, quint16 port) = 0;
    // Closes an established link after what was sent has gone out;
    // disconnected() follows.
    virtual void close() = 0;
    // Drops the link at once (a pending open included); reports
    // stateChanged(Unconnected), and disconnected() if it was connected.
    virtual void abort() = 0;
    // Pushes what was sent so far towards the camera now.
    virtual void flush() {}
    virtual QAbstractSocket::SocketState state() const = 0;
    // One complete message 81 .. FF; dropped unless connected.
    virtual void send(const QByteArray &message) = 0;
    virtual QString errorString() const = 0;

signals:
    void connected();
    void disconnected();
    void errorOccurred();
    void stateChanged(QAbstractSocket::SocketState state);
    // Reply bytes of camera 1 (90 .. FF), possibly partial frames (tcp).
    void received(const QByteArray &bytes);
};

// VISCA as a plain byte stream on TCP.
class TcpViscaLink : public ViscaLink
{
    Q_OBJECT
public:
    explicit TcpViscaLink(QObject *parent = nullptr);
    ~TcpViscaLink() override;

    void open(const QString &host, quint16 port) override;
    void close() override;
    void abort() override;
    void flush() override;
    QAbstractSocket::SocketState state() const override;
    void send(const QByteArray &message) override;
    QString errorString() const override;

private:
    QTcpSocket *m_socket;
};
