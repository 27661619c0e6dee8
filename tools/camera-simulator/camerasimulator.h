#pragma once

// CameraSimulator: a simulated network PTZ camera for tests, demos and
// operators without hardware. It only listens; it never opens a connection.
//
//   CameraSimulator sim;
//   sim.listen(QHostAddress("127.0.0.1"), 0, 0);   // port 0: any free port
//   cam.setViscaPort(sim.viscaPort()); cam.setHttpPort(sim.httpPort());
//
// VISCA (TCP): messages 81 .. FF addressed to camera 1. Every recognised
// command is answered with ACK 90 41 FF and completion 90 51 FF; every
// recognised inquiry with its reply frame (positions as hexadecimal digit
// bytes, negative pan/tilt in 16-bit two's complement); anything else with
// 90 60 02 FF. Pan, tilt, zoom and focus move at the commanded speeds while a
// drive is active and stop on the stop commands; home, 255 presets (0-254,
// recalled instantly), preset speed, focus mode, exposure mode, shutter,
// iris, brightness, luminance, contrast, hue, white balance, flip, mirror,
// motion sync, focus lock, pan/tilt limits and the tally lamp are kept. Recalling preset 95
// toggles the on-screen menu flag instead of moving.
//
// HTTP (TCP, one request per connection): GET /snapshot.jpg answers the
// camera's picture (SimScene) as a 640x360 JPEG (with name, position and
// time drawn on it when a QGuiApplication exists); GET /cgi-bin/param.cgi?get_device_conf answers a
// key="value" text body, line 0 the device name, line 5 the serial number.
// Anything else: 404.
//
// VISCA over IP (UDP, listenUdp): each datagram an 8-byte header (payload
// type, length, sequence number) and one message. RESET (control 01) is
// answered with control 01 and sets the next expected sequence number to the
// RESET's + 1; a message with that number or an earlier one (a
// retransmission) is answered, each reply frame in a datagram of type 0111
// under the message's sequence number; a later number gets a sequence error
// (control 0F 01). Before the first RESET any number is taken.
//
// Serial (openSerial): a pseudo-terminal whose other end is linked at a
// path; messages to the simulator's address x (8x ..) are answered as from
// camera x ((x + 8)0 ..); the broadcasts address set and IF_Clear are
// answered as a single camera would.
//
// Fault injection: ignore one inquiry, delay every VISCA reply, put garbage
// bytes before each reply burst, split frames across writes, drop the open
// connections (now or each new one), delay snapshot answers individually.
//
// Bounds: values outside the camera's ranges are clamped; a client that
// stops reading makes the simulator stop reading it (kMaxPendingReplyBytes of
// replies at most, TCP flow control does the rest); a connection idle for
// kIdleTimeoutMs is closed.
//
// Positions are signed steps: pan -2448..2448, tilt -432..1296, zoom
// 0..16384, focus 4096..20480. Main thread only.

#include "simscene.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class QUdpSocket;
class QTcpSocket;
class QTimer;

class CameraSimulator : public QObject
{
    Q_OBJECT
public:
    struct Preset
    {
        int pan = 0;
        int tilt = 0;
        int zoom = 0;
        int focus = 0;
    };

    static constexpr int kPanMin = -2448, kPanMax = 2448;
    static constexpr int kTiltMin = -432, kTiltMax = 1296;
    static constexpr int kZoomMin = 0, kZoomMax = 16384;
    static constexpr int kFocusMin = 4096, kFocusMax = 20480;
    static constexpr int kMaxLoggedMessages = 1000;
    // Accepted values are clamped to the simulated model's ranges (from 0, or
    // 1 for speeds). Iris and shutter reach past the panel's tables (iris
    // 0-12, shutter 1-17) as some models do.
    static constexpr int kMaxPanSpeed = 24, kMaxTiltSpeed = 20, kMaxZoomFocusSpeed = 7;
    static constexpr int kMaxPresetSpeed = 24;
    static constexpr int kMaxIris = 0x11, kMaxShutter = 0x15, kMaxBright = 17, kMaxPicture = 14;
    // Replies a client has not read yet: past this many bytes the simulator
    // stops reading that client's messages until it catches up.
    static constexpr qint64 kMaxPendingReplyBytes = 64 * 1024;
    // A connection that sends nothing for this long is closed.
    static constexpr int kIdleTimeoutMs = 60000;

    explicit CameraSimulator(QObject *parent = nullptr);
    ~CameraSimulator() override;

    // Listens for VISCA and HTTP on address; a port of 0 picks a free one.
    // False (see errorString) when either port cannot be bound.
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 viscaPort = 0,
                quint16 httpPort = 0);
    // VISCA over IP on address:port (0: any free port). False when it
    // cannot be bound.
    bool listenUdp(const QHostAddress &address, quint16 port);
    quint16 udpPort() const;
    // A pseudo-terminal whose device is linked at linkPath (an existing
    // symbolic link there is replaced, anything else refused); the
    // simulator answers as camera `address` (1-7) on it.
    bool openSerial(const QString &linkPath, int address = 1);
    QString serialDevice() const { return m_ptyName; }
    void close();
    QString errorString() const { return m_error; }
    quint16 viscaPort() const;
    quint16 httpPort() const;

    void setName(const QString &name) { m_name = name; }
    QString name() const { return m_name; }
    void setSerialNumber(const QString &serial) { m_serial = serial; }
    QString serialNumber() const { return m_serial; }
    // Replaces the generated device configuration body; empty restores it.
    void setDeviceConfBody(const QByteArray &body) { m_deviceConfOverride = body; }

    // Camera state.
    int pan() const { return qRound(m_pan); }
    int tilt() const { return qRound(m_tilt); }
    int zoom() const { return qRound(m_zoom); }
    int focus() const { return qRound(m_focus); }
    void setPosition(int pan, int tilt, int zoom, int focus);
    // What the camera sees now (its picture: snapshots and the stream), with
    // the position read-out as overlay.
    SimScene::View view() const;
    bool isMoving() const;
    bool hasPreset(int presetNum) const { return m_presets.contains(presetNum); }
    int presetCount() const { return m_presets.size(); }
    int presetSpeed() const { return m_presetSpeed; }
    bool autoFocus() const { return m_autoFocus; }
    int aeMode() const { return m_aeMode; }
    int shutter() const { return m_shutter; }
    int iris() const { return m_iris; }
    int bright() const { return m_bright; }
    int luminance() const { return m_luminance; }
    int contrast() const { return m_contrast; }
    int hue() const { return m_hue; }
    int wbMode() const { return m_wbMode; }
    bool flip() const { return m_flip; }
    bool mirror() const { return m_mirror; }
    bool motionSync() const { return m_motionSync; }
    bool focusLock() const { return m_focusLock; }
    bool menuOpen() const { return m_menuOpen; }
    // Tally lamp: 81 01 7E 01 0A 00 02/03 FF lights/puts it out; the inquiry
    // 81 09 7E 01 0A FF answers 90 50 02/03 FF.
    bool tallyLamp() const { return m_tallyLamp; }
    int onePushCount() const { return m_onePushCount; }
    bool hasUpRightLimit() const { return m_hasUpRight; }
    bool hasDownLeftLimit() const { return m_hasDownLeft; }
    Preset upRightLimit() const { return {m_limitPanMax, m_limitTiltMax, 0, 0}; }
    Preset downLeftLimit() const { return {m_limitPanMin, m_limitTiltMin, 0, 0}; }

    // Every complete message received (81 .. FF), oldest first; the last
    // kMaxLoggedMessages are kept.
    QList<QByteArray> receivedMessages() const { return m_log; }
    QByteArray lastCommand() const { return m_lastCommand; }
    void clearLog();
    int openConnections() const { return m_clients.size(); }
    int acceptedConnections() const { return m_accepted; }

    // Faults.
    // Never answer this exact inquiry (e.g. 81 09 04 4A FF); empty: none.
    void setIgnoredInquiry(const QByteArray &inquiry) { m_ignoredInquiry = inquiry; }
    // Every VISCA reply burst is written this many ms after its message.
    void setReplyDelay(int ms) { m_replyDelayMs = qMax(0, ms); }
    // Garbage (00 12 34) before each reply burst.
    void setGarbage(bool on) { m_garbage = on; }
    // Each frame written in two parts a few ms apart.
    void setSplitFrames(bool on) { m_split = on; }
    // Close every new VISCA connection as soon as it is accepted.
    void setDropNewConnections(bool on) { m_dropNew = on; }
    // Idle time after which a VISCA or HTTP connection is closed (tests).
    void setIdleTimeout(int ms) { m_idleTimeoutMs = qMax(1, ms); }
    // Bytes of replies queued for VISCA clients, written or not.
    qint64 pendingReplyBytes() const;
    // The nth snapshot request from now on is answered after delays[n] ms.
    void setSnapshotDelays(const QList<int> &delays) { m_snapshotDelays = delays; }

public slots:
    // Closes every open VISCA connection now.
    void dropConnections();

signals:
    void commandReceived(const QByteArray &bytes); // messages other than inquiries
    void inquiryReceived(const QByteArray &bytes); // 81 09 ..
    void clientConnected();
    void clientDisconnected();
    void httpRequestReceived(const QString &target); // path and query
    void presetStored(int presetNum);
    void tallyLampChanged(bool on);

private:
    struct Client;
    void onViscaConnection();
    void onHttpConnection();
    void onViscaReadable(QTcpSocket *socket);
    // Parses data from client; false when a handler closed its connection.
    bool consumeVisca(Client &client, const QByteArray &data);
    void handleMessage(Client &client, const QByteArray &message);
    // Handles one message of camera 1 (81 .. FF): the reply frames, none
    // for an ignored inquiry.
    QList<QByteArray> answer(const QByteArray &message);
    void onUdpReadable();
    void onSerialReadable();
    bool applyCommand(const QByteArray &m);
    QByteArray inquiryReply(const QByteArray &m) const;
    void sendBurst(Client &client, const QList<QByteArray> &frames);
    void queueOut(Client &client, const QByteArray &bytes, qint64 due);
    void flushOut(QTcpSocket *socket);
    void startMotion();
    void advanceMotion();
    void onMotionTick();
    void clampPositions();
    void handleHttp(QTcpSocket *socket);
    QByteArray deviceConfBody() const;
    QByteArray snapshotJpeg() const;

    QTcpServer *m_visca = nullptr;
    QUdpSocket *m_udp = nullptr;
    qint64 m_udpExpected = -1; // next sequence number; -1 before any RESET
    int m_ptyMaster = -1;
    int m_ptySlave = -1;
    QString m_ptyName;
    QString m_ptyLink;
    int m_serialAddress = 1;
    QByteArray m_serialIn;
    QSocketNotifier *m_serialNotifier = nullptr;
    QTcpServer *m_http = nullptr;
    QString m_error;
    QHash<QTcpSocket *, Client *> m_clients;
    int m_accepted = 0;
    QElapsedTimer m_clock;

    QString m_name = QStringLiteral("Corvanta Simulated PTZ");
    QString m_serial = QStringLiteral("SIM00000001");
    QByteArray m_deviceConfOverride;

    double m_pan = 0, m_tilt = 0, m_zoom = 0, m_focus = kFocusMin;
    int m_panDir = 0, m_tiltDir = 0, m_zoomDir = 0, m_focusDir = 0; // -1, 0, +1
    int m_panSpeed = 0, m_tiltSpeed = 0, m_zoomSpeed = 0, m_focusSpeed = 0;
    QTimer *m_motionTimer = nullptr;
    QElapsedTimer m_motionClock;
    QHash<int, Preset> m_presets;
    int m_presetSpeed = 24;
    bool m_autoFocus = true;
    int m_aeMode = 0x00;
    int m_shutter = 1;
    int m_iris = 0;
    int m_bright = 7;
    int m_luminance = 7;
    int m_contrast = 7;
    int m_hue = 7;
    int m_wbMode = 0x00;
    bool m_flip = false, m_mirror = false, m_motionSync = false, m_focusLock = false;
    bool m_menuOpen = false;
    bool m_tallyLamp = false;
    int m_onePushCount = 0;
    bool m_hasUpRight = false, m_hasDownLeft = false;
    int m_limitPanMax = kPanMax, m_limitTiltMax = kTiltMax;
    int m_limitPanMin = kPanMin, m_limitTiltMin = kTiltMin;

    QList<QByteArray> m_log;
    QByteArray m_lastCommand;

    QByteArray m_ignoredInquiry;
    int m_replyDelayMs = 0;
    bool m_garbage = false;
    bool m_split = false;
    bool m_dropNew = false;
    QList<int> m_snapshotDelays;
    int m_idleTimeoutMs = kIdleTimeoutMs;
};
