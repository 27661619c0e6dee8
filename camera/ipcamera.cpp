#include "ipcamera.h"

#include "storagepaths.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {
constexpr double kStepsPerDegree = 14.4;
constexpr char kMaxBytesProperty[] = "corvantaMaxBytes";
} // namespace

IPCamera::IPCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName)
    : CameraWrapper(NetworkCamera, cameraId, cameraName, deviceName)
{
    panSpeedRange = {1, 24, 5};
    tiltSpeedRange = {1, 20, 5};
    zoomSpeedRange = {1, 7, 5};
    focusSpeedRange = {1, 7, 5};

    socket = new QTcpSocket(this);
    imageManager = new QNetworkAccessManager(this);
    nameManager = new QNetworkAccessManager(this);
    pollTimer = new QTimer(this);
    pollTimer->setInterval(kPollIntervalMs);
    inquiryTimer = new QTimer(this);
    inquiryTimer->setSingleShot(true);
    inquiryTimer->setInterval(kInquiryTimeoutMs);

    connect(imageManager, &QNetworkAccessManager::finished, this, &IPCamera::onFinishDownloadImage);
    connect(nameManager, &QNetworkAccessManager::finished, this, &IPCamera::onGetName);
    connect(pollTimer, &QTimer::timeout, this, &IPCamera::onTimer);
    connect(inquiryTimer, &QTimer::timeout, this, &IPCamera::onInquiryTimeout);

    connect(socket, &QTcpSocket::connected, this, &IPCamera::onClientConnected);
    connect(socket, &QTcpSocket::disconnected, this, &IPCamera::onClientDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &IPCamera::onClientError);
    connect(socket, &QTcpSocket::stateChanged, this, &IPCamera::onClientStateChanged);
    connect(socket, &QTcpSocket::readyRead, this, &IPCamera::onReadyRead);
}

IPCamera::~IPCamera()
{
    // The socket is a child; silence it so that closing it here does not call
    // back into a half-destroyed camera.
    socket->disconnect(this);
    socket->abort();
}

void IPCamera::setPollInterval(int ms)
{
    pollTimer->setInterval(ms);
}

void IPCamera::setInquiryTimeout(int ms)
{
    inquiryTimer->setInterval(ms);
}

int IPCamera::pollInterval() const
{
    return pollTimer->interval();
}

int IPCamera::inquiryTimeout() const
{
    return inquiryTimer->interval();
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
    openConnection(false);
}

void IPCamera::openConnection(bool automatic)
{
    qCDebug(lcCamera) << "connecting camera" << this;
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        emit clientStateChanged(stateName(socket->state()));
        return;
    }
    // Set before connecting: a loopback connect may complete synchronously.
    m_reconnecting = automatic;
    socket->connectToHost(cameraId, m_viscaPort, QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
    qCDebug(lcCamera) << "connecting camera pending..." << this;
}

void IPCamera::disconnectCamera()
{
    qCDebug(lcCamera) << "disconnecting camera" << this;
    disconnectRequested = true;
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->disconnectFromHost();
        qCDebug(lcCamera) << "disconnecting camera pending..." << this;
    }
}

void IPCamera::onClientConnected()
{
    qCDebug(lcCamera) << "camera connected" << this;
    // A new connection starts clean: nothing queued or half-read on an older
    // connection belongs to it.
    clearExchange();
    m_fromReconnect = m_reconnecting;
    m_reconnecting = false;
    m_connectedSince.start();
    pollTimer->start();

    QNetworkRequest request(
        httpUrl(QStringLiteral("/cgi-bin/param.cgi"), QStringLiteral("get_device_conf")));
    request.setTransferTimeout(kHttpTimeoutMs);
    limitReplySize(nameManager->get(request), kMaxDeviceConfBytes);

    emit clientConnected();
}

void IPCamera::onClientDisconnected()
{
    qCDebug(lcCamera) << "camera disconnected" << this;
    pollTimer->stop();
    clearExchange();

    const bool shortLivedReconnect = m_fromReconnect && m_connectedSince.isValid() &&
                                     m_connectedSince.elapsed() < kStableConnectionMs;
    m_fromReconnect = false;

    if (socket->state() == QAbstractSocket::UnconnectedState && !disconnectRequested &&
        !shortLivedReconnect) {
        qCDebug(lcCamera) << "reconnecting pending..." << this;
        // The socket finishes its own tear-down after this notification
        // returns; the new attempt starts right after that.
        QTimer::singleShot(0, this, [this] {
            if (disconnectRequested || socket->state() != QAbstractSocket::UnconnectedState)
                return;
            openConnection(true);
        });
        return;
    }
    qCDebug(lcCamera) << "not reconnecting" << this;
    disconnectRequested = false;
}

void IPCamera::clearExchange()
{
    currentInquiryKind = 0;
    pollIndex = 0;
    inquiryTimer->stop();
    inquiryQueue.clear();
    assembler.reset();
}

void IPCamera::onClientError()
{
    emit clientError(socket->errorString());
}

void IPCamera::onClientStateChanged(QAbstractSocket::SocketState state)
{
    qCDebug(lcCamera) << "\t State Changed --- " << stateName(state) << this;
    emit clientStateChanged(stateName(state));
}

// --------------------------------------------------------------------- HTTP

QUrl IPCamera::httpUrl(const QString &path, const QString &query) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(cameraId);
    if (m_httpPort != kHttpPort)
        url.setPort(m_httpPort);
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
                if ((received > maxBytes || total > maxBytes) && reply->isRunning())
                    reply->abort();
            });
}

QString IPCamera::replyFailure(QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    if (reply->bytesAvailable() > reply->property(kMaxBytesProperty).toLongLong())
        return tr("Camera reply too large");
    return QString();
}

void IPCamera::downloadSnapshot(int presetNum)
{
    QNetworkRequest request(httpUrl(QStringLiteral("/snapshot.jpg")));
    request.setTransferTimeout(kHttpTimeoutMs);
    QNetworkReply *reply = imageManager->get(request);
    pendingSnapshots.insert(reply, presetNum);
    limitReplySize(reply, kMaxSnapshotBytes);
}

void IPCamera::onFinishDownloadImage(QNetworkReply *reply)
{
    const int presetNum = pendingSnapshots.take(reply);
    const QString failure = replyFailure(reply);
    if (!failure.isEmpty()) {
        emit clientError(failure);
    } else {
        QFile file(Storage::snapshotPath(cameraId, presetNum));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(reply->readAll());
            file.flush();
            file.close();
        } else {
            qCWarning(lcCamera) << "cannot write snapshot" << file.fileName();
        }
        emit clientFinishDownload(presetNum);
    }
    reply->deleteLater();
}

void IPCamera::onGetName(QNetworkReply *reply)
{
    reply->deleteLater();
    const QString failure = replyFailure(reply);
    if (!failure.isEmpty()) {
        emit clientError(failure);
        return;
    }
    const QStringList lines = QString::fromUtf8(reply->readAll()).split(QLatin1Char('\n'));
    auto valueOf = [](const QString &line, QString &field) {
        const QStringList parts = line.split(QLatin1Char('='));
        if (parts.size() > 1)
            field = QString(parts.at(1)).remove(QLatin1Char('"'));
    };
    if (!lines.isEmpty())
        valueOf(lines.at(0), deviceName);
    if (lines.size() >= 6)
        valueOf(lines.at(5), serialNumber);
    emit clientFinishGetName();
}

// ---------------------------------------------------------- VISCA messaging

void IPCamera::sendCommand(const QByteArray &bytes)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(bytes);
}

void IPCamera::sendMessage(const Visca::CameraCommand &command)
{
    if (command.kind != Visca::Command) {
        currentInquiryKind = command.kind;
        inquiryTimer->start();
    }
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->write(command.bytes);
}

void IPCamera::enqueueInquiry(int kind)
{
    if (inquiryQueue.size() >= kMaxQueuedInquiries) {
        qCDebug(lcCamera) << "inquiry queue full, inquiry" << kind << "not queued" << this;
        return;
    }
    inquiryQueue.append({Visca::inquiry(kind), kind});
    if (inquiryQueue.size() == 1)
        sendMessage(inquiryQueue.first());
}

void IPCamera::advanceQueue()
{
    if (!inquiryQueue.isEmpty())
        inquiryQueue.removeFirst();
    if (!inquiryQueue.isEmpty())
        sendMessage(inquiryQueue.first());
    else
        inquiryTimer->stop();
}

void IPCamera::onInquiryTimeout()
{
    if (inquiryQueue.isEmpty())
        return;
    qCDebug(lcCamera) << "inquiry" << inquiryQueue.first().kind << "unanswered, dropped" << this;
    advanceQueue();
}

void IPCamera::onReadyRead()
{
    const QVector<QByteArray> frames = assembler.feed(socket->readAll());
    for (const QByteArray &frame : frames)
        handleFrame(frame);
}

void IPCamera::handleFrame(const QByteArray &frame)
{
    const Visca::ReplyEffect effect = Visca::parseReply(frame, currentInquiryKind, m_status);
    if (effect.advanceQueue)
        advanceQueue();
    if (effect.readOneCycle)
        emit clientReadOneCycle();
    if (effect.statusUpdated)
        emit clientStatusUpdated();
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
