#pragma once

#include "camerawrapper.h"
#include "visca.h"
#include "viscalink.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QHash>
#include <QList>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// A network PTZ camera: VISCA over TCP (port 5678), device configuration and
// snapshots over HTTP (port 80), addressed by cameraId (IP address or host).
// The link is chosen by setLinkConfig: TCP (the default), VISCA over IP on
// UDP, or a serial line (cameraId names the device); the messages, the poll
// cycle and the reply handling are the same on each. Only a TCP camera is
// asked for its device name and snapshots over HTTP; the others keep their
// stored name and take a preset thumbnail from the frame source (the live
// preview), or none.
//
// Commands and inquiries are written while the socket is connected and
// dropped otherwise. Inquiries go through a queue (at most
// kMaxQueuedInquiries) and are sent one at a time; a fitting reply frame or an
// error reply on socket 0 answers the head. Replies are attributed by
// Visca::InquiryLink: an inquiry unanswered for kInquiryTimeoutMs, or a frame
// that does not fit the inquiry in flight, makes the link discard replies
// until the line has been quiet for kResyncQuietMs: an answer late by less
// than that is discarded, and one later still is stored only if it has the
// shape of the inquiry then in flight. While connected a poll timer queues one inquiry
// per tick (kPollIntervalMs) in a 12-step cycle; the white-balance answer ends
// a cycle (clientReadOneCycle). repliesStale() turns true when no inquiry has
// been answered for kRepliesStaleMs while connected.
//
// A connect that has not completed within kConnectTimeoutMs fails through
// clientError like a refused one; disconnectCamera aborts a pending connect.
// A connection that was up and closes without disconnectCamera is reopened
// once, at once; a connection opened by that reconnect which closes again
// within kStableConnectionMs is not reopened (a peer that accepts and drops
// every connection cannot make the camera loop). With setAutoReconnect(true)
// a camera whose connection drops or fails while it is wanted (connectCamera
// called, disconnectCamera not since) is retried instead after 0, then
// 1, 2, 4 ... up to kMaxReconnectFactor base intervals (1 s each), until it
// connects or disconnectCamera; failures of those retries are logged, not
// emitted through clientError, and each wait for the next retry is announced
// as the state "Reconnecting". With automatic reconnection one outage yields
// one clientError: a camera that keeps dropping its connection is reported
// again only after it stayed connected for kSteadyConnectionMs (or was
// selected anew with connectCamera).
//
// An HTTP request that makes no progress for kHttpTimeoutMs fails with a text
// that says so; a body over its limit fails as "Camera reply too large".
// Snapshots replace the thumbnail file whole (written beside it, then renamed
// over it), so a kill while saving leaves the old one intact.
//
// The port and timing setters exist for tests and the camera simulator; the
// production values are the defaults. Main thread only.
class IPCamera : public CameraWrapper
{
    Q_OBJECT
public:
    static constexpr quint16 kViscaPort = 5678;
    static constexpr quint16 kHttpPort = 80;
    static constexpr int kPollIntervalMs = 500;
    static constexpr int kInquiryTimeoutMs = 1000;
    static constexpr int kMaxQueuedInquiries = 16;
    static constexpr int kStableConnectionMs = 3000;
    static constexpr int kConnectTimeoutMs = 5000;
    static constexpr int kResyncQuietMs = 800;
    static constexpr int kRepliesStaleMs = 2500;
    static constexpr int kReconnectBaseMs = 1000;
    // Retry delays double from the base interval up to this many base intervals.
    static constexpr int kMaxReconnectFactor = 30;
    // Largest HTTP bodies accepted; larger replies are aborted.
    static constexpr qint64 kMaxSnapshotBytes = 16 * 1024 * 1024;
    static constexpr qint64 kMaxDeviceConfBytes = 64 * 1024;
    // An HTTP request without progress for this long fails.
    static constexpr int kHttpTimeoutMs = 10000;
    // A connection up this long ends an outage (see above).
    static constexpr int kSteadyConnectionMs = 5 * 60 * 1000;

    IPCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName);
    ~IPCamera() override;

    // How the camera is reached. A change of protocol, address or baud rate
    // takes effect at once while unconnected, else at the next connect
    // after a disconnection.
    void setLinkConfig(const CameraLinkConfig &config);
    const CameraLinkConfig &linkConfig() const { return m_config; }
    ViscaLink *transport() const { return socket; }
    void setViscaPort(quint16 port);
    void setHttpPort(quint16 port);
    void setPollInterval(int ms);
    void setInquiryTimeout(int ms);
    void setConnectTimeout(int ms);
    void setResyncQuietInterval(int ms);
    void setRepliesStaleInterval(int ms);
    // First back-off step of the automatic retries; doubles up to 30 steps' worth.
    void setReconnectBaseInterval(int ms) { m_reconnectBaseMs = qMax(1, ms); }
    void setHttpTimeout(int ms) { m_httpTimeoutMs = ms; }
    void setStableConnectionInterval(int ms) { m_stableConnectionMs = ms; }
    void setSteadyConnectionInterval(int ms);
    quint16 viscaPort() const { return m_config.viscaPort(); }
    quint16 httpPort() const { return m_config.effectiveHttpPort(); }
    QString streamAddress(int stream) override;
    void setFrameSource(std::function<QImage()> source) override;
    int pollInterval() const;
    int inquiryTimeout() const;

    // Retry a dropped connection with back-off until it answers or the
    // camera is deselected (off: the single immediate reconnect).
    void setAutoReconnect(bool on) override;
    bool autoReconnect() const { return m_autoReconnect; }
    // Connected, but no inquiry answered for kRepliesStaleMs.
    bool repliesStale() const override { return m_repliesStale; }
    bool canSendCommands() const override;
    bool sendRawCommand(const QByteArray &message) override;
    // Delay of the scheduled automatic retry in ms; -1 when none is scheduled.
    int retryInterval() const;

    // Number of inquiries waiting or in flight (head = in flight).
    int queuedInquiries() const { return m_link.queued(); }
    int currentKind() const { return m_link.currentKind(); }
    bool resynchronising() const { return m_link.resyncing(); }
    QAbstractSocket::SocketState socketState() const;

    // "Unconnected", "HostLookup", ... "Closing"; "Unknown" for other values.
    static QString stateName(int state);

public slots:
    void downloadSnapshot(int presetNum) override;
    void connectCamera() override;
    void disconnectCamera() override;
    void moveUp(int panSpeed, int tiltSpeed) override;
    void moveLeft(int panSpeed, int tiltSpeed) override;
    void moveDown(int panSpeed, int tiltSpeed) override;
    void moveRight(int panSpeed, int tiltSpeed) override;
    void moveStop(int panSpeed, int tiltSpeed) override;
    void zoomStop() override;
    void moveHome() override;
    void zoomIn(int speed) override;
    void zoomOut(int speed) override;
    void moveUpLeft(int panSpeed, int tiltSpeed) override;
    void moveUpRight(int panSpeed, int tiltSpeed) override;
    void moveDownRight(int panSpeed, int tiltSpeed) override;
    void moveDownLeft(int panSpeed, int tiltSpeed) override;
    void setAutoFocus(bool on) override;
    void focusIn(int speed) override;
    void focusOut(int speed) override;
    void focusStop() override;
    void setPreset(int presetNum) override;
    void callPreset(int presetNum) override;
    void setIris(int index) override;
    void setShutter(int index) override;
    void setBright(int value) override;
    void brightUp() override;
    void brightDown() override;
    void setAeMode(int index) override;
    void setWBMode(int index) override;
    void queryZoomPos() override;
    void queryFocusPos() override;
    void queryFocusMode() override;
    void queryShutter() override;
    void queryIris() override;
    void queryBright() override;
    void queryPanTiltPos() override;
    void queryLuminance() override;
    void queryContrast() override;
    void queryHue() override;
    void queryAeMode() override;
    void queryWBMode() override;
    void setLuminance(int value) override;
    void setContrast(int value) override;
    void setHue(int value) override;
    void onePushTrigger() override;
    void osdMenu() override;
    void osdEnter() override;
    void osdBack() override;
    void setImageFlip(bool on) override;
    void setImageMirror(bool on) override;
    void setPresetSpeed(int index) override;
    void setUpRightLimit(int tilt, int pan) override;
    void setDownLeftLimit(int tilt, int pan) override;
    void setFocusLock(bool on) override;
    // Degrees from a 16-bit position, truncated toward zero (14.4 steps per degree).
    int panLeftToDegree(int position) override;
    int panRightToDegree(int position) override;
    int tiltUpToDegree(int position) override;
    int tiltDownToDegree(int position) override;
    void setMotionSync(bool on) override;
    void clearPreset(int presetNum) override;

    void onClientConnected();
    void onClientDisconnected();
    void onClientError();
    void onFinishDownloadImage(QNetworkReply *reply);
    void onGetName(QNetworkReply *reply);
    void onTimer();
    // Reply bytes the link read, for the reply assembler.
    void onReadyRead(const QByteArray &bytes);
    void onClientStateChanged(QAbstractSocket::SocketState state);

private:
    void openConnection(bool automatic);
    void sendCommand(const QByteArray &bytes);
    void enqueueInquiry(int kind);
    void sendPending();
    void setRepliesStale(bool stale);
    void onConnectTimeout();
    void scheduleRetry();
    void onQuietElapsed();
    // Forgets the inquiry queue, the poll position and any half-read reply.
    void clearExchange();
    void onInquiryTimeout();
    void handleFrame(const QByteArray &frame);
    QUrl httpUrl(const QString &path, const QString &query = QString()) const;
    void limitReplySize(QNetworkReply *reply, qint64 maxBytes);
    // The reply's error text, or a text for a body over its limit, or
    // timeoutText when it made no progress in time; empty if fine.
    QString replyFailure(QNetworkReply *reply, const QString &timeoutText) const;

    void makeTransport();
    bool needsNewTransport() const;

    ViscaLink *socket = nullptr; // the VISCA link, a child
    QNetworkAccessManager *imageManager = nullptr;
    QNetworkAccessManager *nameManager = nullptr;
    QHash<QNetworkReply *, int> pendingSnapshots;
    int pollIndex = 0;
    QTimer *pollTimer = nullptr;
    Visca::InquiryLink m_link{kMaxQueuedInquiries}; // the inquiry queue and current kind
    bool disconnectRequested = false;

    QTimer *inquiryTimer = nullptr;
    QTimer *quietTimer = nullptr;
    QTimer *staleTimer = nullptr;
    QTimer *connectTimer = nullptr;
    QTimer *retryTimer = nullptr;
    QTimer *steadyTimer = nullptr;
    Visca::ReplyAssembler assembler;
    CameraLinkConfig m_config;
    CameraLinkConfig m_builtFor; // the configuration the current link was made for
    std::function<QImage()> m_frameSource;
    bool m_reconnecting = false;  // the pending/current connection is the automatic reconnect
    bool m_fromReconnect = false; // the established connection came from it
    QElapsedTimer m_connectedSince;
    bool m_repliesStale = false;
    bool m_attemptPending = false; // connectToHost called, not yet connected or failed
    bool m_wanted = false;         // connectCamera called and disconnectCamera not since
    bool m_autoReconnect = false;
    bool m_retrying = false;      // a series of automatic retries is under way
    bool m_attemptSilent = false; // the current attempt is one of those retries
    int m_retryCount = 0;
    int m_reconnectBaseMs = kReconnectBaseMs;
    int m_httpTimeoutMs = kHttpTimeoutMs;
    int m_stableConnectionMs = kStableConnectionMs;
    bool m_outageReported = false; // this outage's drop was emitted already
};
