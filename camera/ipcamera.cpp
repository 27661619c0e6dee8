#include "ipcamera.h"

#include "deviceconf.h"
#include "storagepaths.h"
#include "viscaserial.h"
#include "viscaudp.h"

#include <QFile>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTcpSocket>

#include <QTimer>
#include <QUrl>

namespace {
constexpr double kStepsPerDegree = 14.4;
constexpr char kMaxBytesProperty[] = "corvantaMaxBytes";
constexpr char kTooLargeProperty[] = "corvantaTooLarge";
} // namespace

IPCamera::IPCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName)
    : CameraWrapper(NetworkCamera, cameraId, cameraName, deviceName)
{
    panSpeedRange = {1, 24, 5};
    tiltSpeedRange = {1, 20, 5};
    zoomSpeedRange = {1, 7, 5};
    focusSpeedRange = {1, 7, 5};

    imageManager = new QNetworkAccessManager(this);
    nameManager = new QNetworkAccessManager(this);
    pollTimer = new QTimer(this);
    pollTimer->setInterval(kPollIntervalMs);
    inquiryTimer = new QTimer(this);
    inquiryTimer->setSingleShot(true);
    inquiryTimer->setInterval(kInquiryTimeoutMs);
    quietTimer = new QTimer(this);
    quietTimer->setSingleShot(true);
    quietTimer->setInterval(kResyncQuietMs);
    staleTimer = new QTimer(this);
    staleTimer->setSingleShot(true);
    staleTimer->setInterval(kRepliesStaleMs);
    connectTimer = new QTimer(this);
    connectTimer->setSingleShot(true);
    connectTimer->setInterval(kConnectTimeoutMs);
    retryTimer = new QTimer(this);
    retryTimer->setSingleShot(true);
    steadyTimer = new QTimer(this);
    steadyTimer->setSingleShot(true);
    steadyTimer->setInterval(kSteadyConnectionMs);

    connect(imageManager, &QNetworkAccessManager::finished, this, &IPCamera::onFinishDownloadImage);
    connect(nameManager, &QNetworkAccessManager::finished, this, &IPCamera::onGetName);
    connect(pollTimer, &QTimer::timeout, this, &IPCamera::onTimer);
    connect(inquiryTimer, &QTimer::timeout, this, &IPCamera::onInquiryTimeout);
    connect(quietTimer, &QTimer::timeout, this, &IPCamera::onQuietElapsed);
    connect(staleTimer, &QTimer::timeout, this, [this] { setRepliesStale(true); });
    connect(connectTimer, &QTimer::timeout, this, &IPCamera::onConnectTimeout);
    connect(retryTimer, &QTimer::timeout, this, [this] { openConnection(true); });
    connect(steadyTimer, &QTimer::timeout, this, [this] { m_outageReported = false; });

    makeTransport();
}

IPCamera::~IPCamera()
{
    // The link is a child; silence it so that closing it here does not call
    // back into a half-destroyed camera.
    socket->disconnect(this);
    socket->abort();
}

void IPCamera::makeTransport()
{
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    switch (m_config.protocol) {
    case CameraLinkConfig::Udp:
        socket = new UdpViscaLink(this);
        break;
    case CameraLinkConfig::Serial:
        socket = new SerialViscaLink(m_config.address, m_config.baud, this);
        break;
    default:
        socket = new TcpViscaLink(this);
        break;
    }
    m_builtFor = m_config;
    connect(socket, &ViscaLink::connected, this, &IPCamera::onClientConnected);
    connect(socket, &ViscaLink::disconnected, this, &IPCamera::onClientDisconnected);
    connect(socket, &ViscaLink::errorOccurred, this, &IPCamera::onClientError);
    connect(socket, &ViscaLink::stateChanged, this, &IPCamera::onClientStateChanged);
    connect(socket, &ViscaLink::received, this, &IPCamera::onReadyRead);
}

void IPCamera::setLinkConfig(const CameraLinkConfig &config)
{
    m_config = config;
    if (socket->state() == QAbstractSocket::UnconnectedState && needsNewTransport())
        makeTransport();
}

bool IPCamera::needsNewTransport() const
{
    return m_config.protocol != m_builtFor.protocol || m_config.address != m_builtFor.address ||
           m_config.baud != m_builtFor.baud;
}

void IPCamera::setViscaPort(quint16 port)
{
    m_config.port = port;
}

void IPCamera::setHttpPort(quint16 port)
{
    m_config.httpPort = port;
}

QString IPCamera::streamAddress(int stream)
{
    const QString &configured = stream == 2 ? m_config.stream2 : m_config.stream1;
    if (!configured.isEmpty())
        return configured;
    if (m_config.protocol == CameraLinkConfig::Serial)
        return QString();
    return CameraWrapper::streamAddress(stream);
}

void IPCamera::setFrameSource(std::function<QImage()> source)
{
    m_frameSource = std::move(source);
}

void IPCamera::setPollInterval(int ms)
{
    pollTimer->setInterval(ms);
}

void IPCamera::setInquiryTimeout(int ms)
{
    inquiryTimer->setInterval(ms);
}

void IPCamera::setConnectTimeout(int ms)
{
    connectTimer->setInterval(ms);
}

void IPCamera::setResyncQuietInterval(int ms)
{
    quietTimer->setInterval(ms);
}

void IPCamera::setRepliesStaleInterval(int ms)
{
    staleTimer->setInterval(ms);
}

void IPCamera::setSteadyConnectionInterval(int ms)
{
    steadyTimer->setInterval(ms);
}

void IPCamera::setAutoReconnect(bool on)
{
    m_autoReconnect = on;
    if (!on) {
        retryTimer->stop();
        m_retrying = false;
        m_retryCount = 0;
    } else if (m_wanted && socket->state() == QAbstractSocket::UnconnectedState &&
               !retryTimer->isActive()) {
        scheduleRetry(); // switched on while the wanted camera is down
    }
}

int IPCamera::retryInterval() const
{
    return retryTimer->isActive() ? retryTimer->interval() : -1;
}

int IPCamera::pollInterval() const
{
    return pollTimer->interval();
}

int IPCamera::inquiryTimeout() const
{
    return inquiryTimer->interval();
}

bool IPCamera::canSendCommands() const
{
    return socket->state() == QAbstractSocket::ConnectedState;
}

QAbstractSocket::SocketState IPCamera::socketState() const
{
    return socket->state();
}

QString IPCamera::stateName(int state)
{
    switch (state) {
    case QAbstractSocket::UnconnectedState:
        return QStringLiteral("Unconnected");
    case QAbstractSocket::HostLookupState:
        return QStringLiteral("HostLookup");
    case QAbstractSocket::ConnectingState:
        return QStringLiteral("Connecting");
    case QAbstractSocket::ConnectedState:
        return QStringLiteral("Connected");
    case QAbstractSocket::BoundState:
        return QStringLiteral("Bound");
    case QAbstractSocket::ListeningState:
        return QStringLiteral("Listening");
    case QAbstractSocket::ClosingState:
        return QStringLiteral("Closing");
    default:
        return QStringLiteral("Unknown");
    }
}

// ---------------------------------------------------------------- connection

void IPCamera::connectCamera()
{
    m_wanted = true;
    retryTimer->stop();
    m_retrying = false;
    m_retryCount = 0;
    m_outageReported = false;
    openConnection(false);
}

void IPCamera::openConnection(bool automatic)
{
    qCDebug(lcCamera) << "connecting camera" << this;
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        emit clientStateChanged(stateName(socket->state()));
        return;
    }
    if (needsNewTransport())
        makeTransport();
    // Set before connecting: a loopback connect may complete synchronously.
    m_reconnecting = automatic;
    m_attemptPending = true;
    m_attemptSilent = m_retrying;
    m_connectedSince.invalidate();
    connectTimer->start();
    socket->open(cameraId, m_config.viscaPort());
    qCDebug(lcCamera) << "connecting camera pending..." << this;
}

void IPCamera::disconnectCamera()
{
    qCDebug(lcCamera) << "disconnecting camera" << this;
    disconnectRequested = true;
    m_wanted = false;
    retryTimer->stop();
    m_retrying = false;
    m_retryCount = 0;
    switch (socket->state()) {
    case QAbstractSocket::ConnectedState:
        // Commands written just before (the stop of a running move) reach
        // the kernel now: the object may be deleted before the event loop
        // would write them.
        socket->flush();
        socket->close();
        qCDebug(lcCamera) << "disconnecting camera pending..." << this;
        break;
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        // Nothing was established, so no disconnection will consume the
        // request: it is carried out here.
        qCDebug(lcCamera) << "connect aborted" << this;
        disconnectRequested = false;
        socket->abort();
        break;
    default:
        break;
    }
}

void IPCamera::onClientConnected()
{
    qCDebug(lcCamera) << "camera connected" << this;
    connectTimer->stop();
    m_attemptPending = false;
    // A new connection starts clean: nothing queued or half-read on an older
    // connection belongs to it.
    clearExchange();
    m_fromReconnect = m_reconnecting;
    m_reconnecting = false;
    m_connectedSince.start();
    pollTimer->start();
    staleTimer->start();
    steadyTimer->start();

    // Only a camera on TCP is known to answer HTTP; the others keep the
    // stored name.
    if (m_config.protocol == CameraLinkConfig::Tcp) {
        QNetworkRequest request(
            httpUrl(QStringLiteral("/cgi-bin/param.cgi"), QStringLiteral("get_device_conf")));
        request.setTransferTimeout(m_httpTimeoutMs);
        limitReplySize(nameManager->get(request), kMaxDeviceConfBytes);
    }

    emit clientConnected();
}

void IPCamera::onClientDisconnected()
{
    qCDebug(lcCamera) << "camera disconnected" << this;
    pollTimer->stop();
    staleTimer->stop();
    steadyTimer->stop();
    clearExchange();
    setRepliesStale(false);
    qCDebug(lcCamera) << "reconnecting" << this;

    const bool stable =
        m_connectedSince.isValid() && m_connectedSince.elapsed() >= m_stableConnectionMs;
    const bool shortLivedReconnect = m_fromReconnect && !stable;
    m_fromReconnect = false;

    if (m_autoReconnect && m_wanted) {
        if (stable)
            m_retryCount = 0; // a new series: start again at the shortest delay
        scheduleRetry();
        return;
    }
    if (socket->state() == QAbstractSocket::UnconnectedState && !disconnectRequested &&
        !shortLivedReconnect) {
        qCDebug(lcCamera) << "reconnecting pending..." << this;
        // The socket finishes its own tear-down after this notification
        // returns; the new attempt starts right after that.
        retryTimer->start(0);
        return;
    }
    qCDebug(lcCamera) << "reconnecting ended";
    disconnectRequested = false;
    qCDebug(lcCamera) << disconnectRequested;
}

void IPCamera::scheduleRetry()
{
    // 0, then 1, 2, 4 ... base intervals, at most kMaxReconnectFactor of them.
    int delay = 0;
    if (m_retryCount > 0)
        delay = m_reconnectBaseMs * qMin(1 << qMin(m_retryCount - 1, 5), kMaxReconnectFactor);
    ++m_retryCount;
    m_retrying = true;
    qCDebug(lcCamera) << "reconnecting pending..." << this << "attempt" << m_retryCount << "in"
                      << delay << "ms";
    retryTimer->start(delay);
    emit clientStateChanged(QStringLiteral("Reconnecting"));
}

void IPCamera::onConnectTimeout()
{
    if (!m_attemptPending)
        return;
    qCDebug(lcCamera) << "connect timed out" << this;
    const bool silent = m_attemptSilent;
    socket->abort(); // reports Unconnected; a retry is scheduled from there
    if (silent)
        qCDebug(lcCamera) << "reconnect attempt failed: connection timed out" << this;
    else
        emit clientError(tr("Connection timed out"));
}

void IPCamera::clearExchange()
{
    pollIndex = 0;
    inquiryTimer->stop();
    quietTimer->stop();
    m_link.clear();
    assembler.reset();
}

void IPCamera::onClientError()
{
    // Failures of automatic retries go to the log only: no box per retry, and
    // with automatic reconnection one box per outage.
    const bool automatic = m_autoReconnect && m_wanted;
    const bool silent = (automatic && m_outageReported) ||
                        (m_connectedSince.isValid()
                             ? m_retrying && m_connectedSince.elapsed() < m_stableConnectionMs
                             : m_attemptSilent);
    if (silent) {
        qCDebug(lcCamera) << "reconnect attempt failed:" << socket->errorString() << this;
        return;
    }
    m_outageReported = automatic;
    emit clientError(socket->errorString());
}

void IPCamera::onClientStateChanged(QAbstractSocket::SocketState state)
{
    qCDebug(lcCamera) << "\t State Changed --- " << stateName(state) << this;
    if (state == QAbstractSocket::UnconnectedState) {
        connectTimer->stop();
        if (m_attemptPending) { // the attempt failed, was aborted or timed out
            m_attemptPending = false;
            m_reconnecting = false;
            if (m_autoReconnect && m_wanted) {
                scheduleRetry(); // announces "Reconnecting"
                return;
            }
        }
    }
    emit clientStateChanged(stateName(state));
}

void IPCamera::setRepliesStale(bool stale)
{
    if (stale == m_repliesStale)
        return;
    m_repliesStale = stale;
    qCDebug(lcCamera) << (stale ? "replies stale" : "replies fresh") << this;
    emit repliesStaleChanged(stale);
}

// --------------------------------------------------------------------- HTTP

QUrl IPCamera::httpUrl(const QString &path, const QString &query) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(cameraId);
    if (m_config.effectiveHttpPort() != kHttpPort)
        url.setPort(m_config.effectiveHttpPort());
    url.setPath(path);
    if (!query.isEmpty())
        url.setQuery(query);
    return url;
}

void IPCamera::limitReplySize(QNetworkReply *reply, qint64 maxBytes)
{
    reply->setProperty(kMaxBytesProperty, maxBytes);
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, maxBytes](qint64 received, qint64 total) {
                if ((received > maxBytes || total > maxBytes) && reply->isRunning()) {
                    reply->setProperty(kTooLargeProperty, true);
                    reply->abort();
                }
            });
}

QString IPCamera::replyFailure(QNetworkReply *reply, const QString &timeoutText) const
{
    if (reply->property(kTooLargeProperty).toBool() ||
        reply->bytesAvailable() > reply->property(kMaxBytesProperty).toLongLong())
        return tr("Camera reply too large");
    // Nothing else cancels a request: the transfer timeout did.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return timeoutText.arg(cameraId, QString::number(m_httpTimeoutMs / 1000.0));
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    return QString();
}

void IPCamera::downloadSnapshot(int presetNum)
{
    if (m_config.protocol != CameraLinkConfig::Tcp) {
        // No HTTP: the live preview's picture, when one is showing.
        const QImage frame = m_frameSource ? m_frameSource() : QImage();
        if (frame.isNull())
            return;
        if (!frame.save(Storage::snapshotPath(cameraId, presetNum), "JPG"))
            qCWarning(lcCamera) << "cannot write snapshot of preset" << presetNum;
        emit clientFinishDownload(presetNum);
        return;
    }
    QNetworkRequest request(httpUrl(QStringLiteral("/snapshot.jpg")));
    request.setTransferTimeout(m_httpTimeoutMs);
    QNetworkReply *reply = imageManager->get(request);
    pendingSnapshots.insert(reply, presetNum);
    limitReplySize(reply, kMaxSnapshotBytes);
}

void IPCamera::onFinishDownloadImage(QNetworkReply *reply)
{
    const int presetNum = pendingSnapshots.take(reply);
    const QString failure =
        replyFailure(reply, tr("The camera %1 did not send its snapshot within %2 s."));
    if (!failure.isEmpty()) {
        emit clientError(failure);
    } else {
        // Written beside the old thumbnail and renamed over it: a reader, or
        // a kill at any moment, sees the old file or the new one, whole.
        QSaveFile file(Storage::snapshotPath(cameraId, presetNum));
        if (!file.open(QIODevice::WriteOnly) || file.write(reply->readAll()) < 0 ||
            !file.commit()) {
            qCWarning(lcCamera) << "cannot write snapshot" << file.fileName() << file.errorString();
        }
        emit clientFinishDownload(presetNum);
    }
    reply->deleteLater();
}

void IPCamera::onGetName(QNetworkReply *reply)
{
    reply->deleteLater();
    const QString failure =
        replyFailure(reply, tr("The camera %1 did not answer its web page within %2 s."));
    if (!failure.isEmpty()) {
        emit clientError(failure);
        return;
    }
    DeviceConf::parse(reply->readAll(), &deviceName, &serialNumber);
    emit clientFinishGetName();
}

// ---------------------------------------------------------- VISCA messaging

bool IPCamera::sendRawCommand(const QByteArray &message)
{
    if (socket->state() != QAbstractSocket::ConnectedState || message.isEmpty())
        return false;
    socket->send(message);
    return true;
}

void IPCamera::sendCommand(const QByteArray &bytes)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->send(bytes);
}

void IPCamera::enqueueInquiry(int kind)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (!m_link.enqueue(kind)) {
        qCDebug(lcCamera) << "inquiry queue full, inquiry" << kind << "not queued" << this;
        return;
    }
    sendPending();
}

void IPCamera::sendPending()
{
    Visca::CameraCommand command;
    if (socket->state() != QAbstractSocket::ConnectedState || !m_link.takeNextToSend(command))
        return;
    inquiryTimer->start();
    socket->send(command.bytes);
}

void IPCamera::onInquiryTimeout()
{
    const int kind = m_link.currentKind();
    if (!m_link.inquiryTimedOut())
        return;
    qCDebug(lcCamera) << "inquiry" << kind << "unanswered, dropped; resynchronising" << this;
    quietTimer->start();
}

void IPCamera::onQuietElapsed()
{
    qCDebug(lcCamera) << "resynchronised" << this;
    m_link.quietElapsed();
    sendPending();
}

void IPCamera::onReadyRead(const QByteArray &bytes)
{
    const QVector<QByteArray> frames = assembler.feed(bytes);
    for (const QByteArray &frame : frames)
        handleFrame(frame);
}

void IPCamera::handleFrame(const QByteArray &frame)
{
    const Visca::InquiryLink::Outcome out = m_link.onFrame(frame, m_status);
    if (out.answered)
        inquiryTimer->stop();
    if (out.effect.misfit)
        qCDebug(lcCamera) << "reply" << frame.toHex(' ') << "does not fit inquiry"
                          << m_link.currentKind() << "; resynchronising" << this;
    if (out.restartQuiet)
        quietTimer->start();
    else if (out.answered) {
        staleTimer->start();
        setRepliesStale(false);
    }
    if (out.effect.readOneCycle)
        emit clientReadOneCycle();
    if (out.effect.statusUpdated)
        emit clientStatusUpdated();
    sendPending();
}

void IPCamera::onTimer()
{
    // The poll cycle walks the inquiry kinds in order, zoom position first.
    constexpr int kCycleLength = Visca::kLastInquiryKind - Visca::kFirstInquiryKind + 1;
    enqueueInquiry(Visca::kFirstInquiryKind + pollIndex);
    pollIndex = (pollIndex + 1) % kCycleLength;
}

// ------------------------------------------------------------------ commands

void IPCamera::moveUp(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveUp(panSpeed, tiltSpeed));
}
void IPCamera::moveLeft(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveLeft(panSpeed, tiltSpeed));
}
void IPCamera::moveDown(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveDown(panSpeed, tiltSpeed));
}
void IPCamera::moveRight(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveRight(panSpeed, tiltSpeed));
}
void IPCamera::moveStop(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveStop(panSpeed, tiltSpeed));
}
void IPCamera::zoomStop()
{
    sendCommand(Visca::zoomStop());
}
void IPCamera::moveHome()
{
    sendCommand(Visca::moveHome());
}
void IPCamera::zoomIn(int speed)
{
    sendCommand(Visca::zoomIn(speed));
}
void IPCamera::zoomOut(int speed)
{
    sendCommand(Visca::zoomOut(speed));
}
void IPCamera::moveUpLeft(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveUpLeft(panSpeed, tiltSpeed));
}
void IPCamera::moveUpRight(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveUpRight(panSpeed, tiltSpeed));
}
void IPCamera::moveDownRight(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveDownRight(panSpeed, tiltSpeed));
}
void IPCamera::moveDownLeft(int panSpeed, int tiltSpeed)
{
    sendCommand(Visca::moveDownLeft(panSpeed, tiltSpeed));
}
void IPCamera::setAutoFocus(bool on)
{
    sendCommand(Visca::setAutoFocus(on));
}
void IPCamera::focusIn(int speed)
{
    sendCommand(Visca::focusIn(speed));
}
void IPCamera::focusOut(int speed)
{
    sendCommand(Visca::focusOut(speed));
}
void IPCamera::focusStop()
{
    sendCommand(Visca::focusStop());
}
void IPCamera::setPreset(int presetNum)
{
    sendCommand(Visca::setPreset(presetNum));
}
void IPCamera::callPreset(int presetNum)
{
    sendCommand(Visca::callPreset(presetNum));
}
void IPCamera::setIris(int index)
{
    sendCommand(Visca::setIris(index));
}
void IPCamera::setShutter(int index)
{
    sendCommand(Visca::setShutter(index));
}
void IPCamera::setBright(int value)
{
    sendCommand(Visca::setBright(value));
}
void IPCamera::brightUp()
{
    sendCommand(Visca::brightUp());
}
void IPCamera::brightDown()
{
    sendCommand(Visca::brightDown());
}
void IPCamera::setAeMode(int index)
{
    sendCommand(Visca::setAeMode(index));
}
void IPCamera::setWBMode(int index)
{
    sendCommand(Visca::setWBMode(index));
}
void IPCamera::queryZoomPos()
{
    enqueueInquiry(Visca::ZoomPos);
}
void IPCamera::queryFocusPos()
{
    enqueueInquiry(Visca::FocusPos);
}
void IPCamera::queryFocusMode()
{
    enqueueInquiry(Visca::FocusMode);
}
void IPCamera::queryShutter()
{
    enqueueInquiry(Visca::Shutter);
}
void IPCamera::queryIris()
{
    enqueueInquiry(Visca::Iris);
}
void IPCamera::queryBright()
{
    enqueueInquiry(Visca::Bright);
}
void IPCamera::queryPanTiltPos()
{
    enqueueInquiry(Visca::PanTiltPos);
}
void IPCamera::queryLuminance()
{
    enqueueInquiry(Visca::Luminance);
}
void IPCamera::queryContrast()
{
    enqueueInquiry(Visca::Contrast);
}
void IPCamera::queryHue()
{
    enqueueInquiry(Visca::Hue);
}
void IPCamera::queryAeMode()
{
    enqueueInquiry(Visca::AeMode);
}
void IPCamera::queryWBMode()
{
    enqueueInquiry(Visca::WbMode);
}
void IPCamera::setLuminance(int value)
{
    sendCommand(Visca::setLuminance(value));
}
void IPCamera::setContrast(int value)
{
    sendCommand(Visca::setContrast(value));
}
void IPCamera::setHue(int value)
{
    sendCommand(Visca::setHue(value));
}
void IPCamera::onePushTrigger()
{
    sendCommand(Visca::onePushTrigger());
}
void IPCamera::osdMenu()
{
    sendCommand(Visca::osdMenu());
}
void IPCamera::osdEnter()
{
    sendCommand(Visca::osdEnter());
}
void IPCamera::osdBack()
{
    sendCommand(Visca::osdBack());
}
void IPCamera::setImageFlip(bool on)
{
    sendCommand(Visca::setImageFlip(on));
}
void IPCamera::setImageMirror(bool on)
{
    sendCommand(Visca::setImageMirror(on));
}
void IPCamera::setPresetSpeed(int index)
{
    sendCommand(Visca::setPresetSpeed(index));
}
void IPCamera::setUpRightLimit(int tilt, int pan)
{
    sendCommand(Visca::setUpRightLimit(tilt, pan));
}
void IPCamera::setDownLeftLimit(int tilt, int pan)
{
    sendCommand(Visca::setDownLeftLimit(tilt, pan));
}
void IPCamera::setFocusLock(bool on)
{
    sendCommand(Visca::setFocusLock(on));
}
void IPCamera::setMotionSync(bool on)
{
    sendCommand(Visca::setMotionSync(on));
}
void IPCamera::clearPreset(int presetNum)
{
    sendCommand(Visca::clearPreset(presetNum));
}

int IPCamera::panLeftToDegree(int position)
{
    return static_cast<int>((65535 - position) / kStepsPerDegree);
}

int IPCamera::panRightToDegree(int position)
{
    return static_cast<int>(position / kStepsPerDegree);
}

int IPCamera::tiltUpToDegree(int position)
{
    return static_cast<int>(position / kStepsPerDegree);
}

int IPCamera::tiltDownToDegree(int position)
{
    return static_cast<int>((65535 - position) / kStepsPerDegree);
}
