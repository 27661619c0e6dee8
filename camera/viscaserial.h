#pragma once

// VISCA on a serial line (RS-232/RS-422), cameras daisy-chained on one port.
//
// A message to camera x (1-7) starts with 8x; a reply from camera x starts
// with (x + 8)0 (90 for camera 1, A0 for camera 2 ...); broadcasts start with
// 88. Lines run 8N1 at the stored baud rate.

#include "viscalink.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QVector>

#include <memory>

class QSerialPort;

namespace ViscaSerial {

constexpr int kMaxFrameLength = 32;

// The message of camera 1 (81 ..) addressed to camera `address` (8x ..).
QByteArray addressed(const QByteArray &message, int address);
// Camera number (1-7) of a reply's first byte, 0 for a broadcast (88), -1 for
// anything else.
int replyAddress(quint8 firstByte);
// A reply frame of any camera as camera 1 sends it (first byte 90).
QByteArray asCameraOne(const QByteArray &frame);
// Sent when a port is opened: address set (88 30 01 FF), then IF_Clear
// (88 01 00 01 FF).
const QByteArray &addressSet();
const QByteArray &ifClear();

// Splits serial input into frames: a frame opens at a byte 80-FE (bytes
// before it are skipped while no frame is open) and closes at the next FF; a
// frame growing past kMaxFrameLength bytes is dropped.
class FrameSplitter
{
public:
    QVector<QByteArray> feed(const QByteArray &chunk);
    void reset() { m_frame.clear(); }

private:
    QByteArray m_frame; // empty while idle
};

} // namespace ViscaSerial

class SerialViscaLink;

// The one owner of a serial port in the process, shared by the links of the
// cameras on it. It opens the port when the first link needs it (8N1 at that
// link's baud rate, then address set and IF_Clear) and closes it when the last
// link lets go; each reply frame goes to the links of its camera address. A
// port that fails (unplugged, vanished) is closed and every link on it is
// told.
class SerialPortHub : public QObject
{
    Q_OBJECT
public:
    // The hub of a device path; the same object while anyone holds it.
    static std::shared_ptr<SerialPortHub> acquire(const QString &path);
    ~SerialPortHub() override;

    QString path() const { return m_path; }
    bool isOpen() const;
    // Opens the port for a link (no-op while open). False with *error set
    // when the device cannot be opened.
    bool attach(SerialViscaLink *link, int baud, QString *error);
    void detach(SerialViscaLink *link);
    void write(const QByteArray &bytes);
    void flush();

private:
    explicit SerialPortHub(const QString &path);
    void onReadyRead();
    void onError();
    void closePort();

    QString m_path;
    QSerialPort *m_port;
    ViscaSerial::FrameSplitter m_splitter;
    QList<QPointer<SerialViscaLink>> m_links;
};

// The serial link of one camera address on a (possibly shared) port. The
// camera id names the device (serialDevicePath); the port argument of open()
// is ignored. Opening completes from the event loop: Connected as soon as the
// port is open. A port that fails is a disconnection with the port's error.
class SerialViscaLink : public ViscaLink
{
    Q_OBJECT
public:
    SerialViscaLink(int address, int baud, QObject *parent = nullptr);
    ~SerialViscaLink() override;

    int address() const { return m_address; }

    void open(const QString &host, quint16 port) override;
    void close() override;
    void abort() override;
    void flush() override;
    QAbstractSocket::SocketState state() const override { return m_state; }
    void send(const QByteArray &message) override;
    QString errorString() const override { return m_error; }

private:
    friend class SerialPortHub;
    void openNow();
    void setState(QAbstractSocket::SocketState state);
    // From the hub.
    void deliver(const QByteArray &frame);
    void portLost(const QString &error);
    void release();

    int m_address;
    int m_baud;
    QString m_path;
    QString m_error;
    QAbstractSocket::SocketState m_state = QAbstractSocket::UnconnectedState;
    std::shared_ptr<SerialPortHub> m_hub;
    int m_openGeneration = 0;
};
