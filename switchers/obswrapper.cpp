#include "obswrapper.h"

#include "obsprotocol.h"
#include "switcherslog.h"
#include "untrustedjson.h"

#include <QJsonDocument>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include <cmath>

using namespace ObsProtocol;

ObsWrapper::ObsWrapper(const QString &host, int port, const QString &password, QObject *parent)
    : QObject(parent), m_timer(new QTimer(this)),
      m_socket(new QWebSocket(QString(), QWebSocketProtocol::Version13, this)), m_host(host),
      m_port(port), m_password(password)
{
    m_timer->setInterval(kPollIntervalMs);
    m_socket->setMaxAllowedIncomingMessageSize(quint64(kMaxMessageBytes));
    m_socket->setMaxAllowedIncomingFrameSize(quint64(kMaxMessageBytes));

    connect(m_socket, &QWebSocket::connected, this, &ObsWrapper::connectedToOBS);
    connect(m_socket, &QWebSocket::disconnected, this, &ObsWrapper::disconnectedFromOBS);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &ObsWrapper::messageReceived);
    connect(m_socket, &QWebSocket::stateChanged, this, &ObsWrapper::serverStateChanged);
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            &ObsWrapper::error);
    connect(m_timer, &QTimer::timeout, this, &ObsWrapper::onOBSTimer);
}

ObsWrapper::~ObsWrapper()
{
    m_timer->stop();
    m_socket->disconnect(this);
    m_socket->abort();
}

void ObsWrapper::connectToServer()
{
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(m_host, QUrl::StrictMode);
    if (m_port < 1 || m_port > 65535 || m_host.isEmpty() || !url.isValid()) {
        qCWarning(lcSwitchers) << "OBS address is not usable; not connecting";
        return;
    }
    url.setPort(m_port);
    m_socket->open(url);
}

void ObsWrapper::disconnectFromServer()
{
    m_socket->close(QWebSocketProtocol::CloseCodeNormal, QString());
}

void ObsWrapper::startPolling()
{
    m_timer->start();
}

void ObsWrapper::stopPolling()
{
    m_timer->stop();
}

bool ObsWrapper::isPolling() const
{
    return m_timer->isActive();
}

void ObsWrapper::setPollInterval(int ms)
{
    m_timer->setInterval(ms);
}

QJsonArray ObsWrapper::getSourcesJson() const
{
    QJsonArray sources;
    for (const QString &name : m_sourceNames) {
        sources.append(QJsonObject{{QStringLiteral("name"), name},
                                   {QStringLiteral("volume"), m_sourceVolumes.value(name, 0.0)},
                                   {QStringLiteral("muted"), m_sourceMuted.value(name, false)}});
    }
    return sources;
}

QAbstractSocket::SocketState ObsWrapper::socketState() const
{
    return m_socket->state();
}

QJsonObject ObsWrapper::statusJson() const
{
    return QJsonObject{
        {QStringLiteral("isStreaming"), m_streaming},
        {QStringLiteral("isRecording"), m_recording},
        {QStringLiteral("sources"), getSourcesJson()},
        {QStringLiteral("transitions"), QJsonArray::fromStringList(m_transitionNames)},
        {QStringLiteral("currentTransition"), m_currentTransition}};
}

QJsonObject ObsWrapper::settingsJson() const
{
    return QJsonObject{{QStringLiteral("obsIp"), m_host}, {QStringLiteral("obsPort"), m_port}};
}

void ObsWrapper::reconnectTo(const QString &host, int port, const QString &password)
{
    setHost(host);
    setPort(port);
    setPassword(password);
    disconnectFromServer();
    connectToServer();
}

void ObsWrapper::toggleMute(const QString &source)
{
    send(ToggleMute, QJsonObject{{QStringLiteral("source"), source}});
}

void ObsWrapper::setVolume(double volume, const QString &source)
{
    send(SetVolume, QJsonObject{{QStringLiteral("source"), source},
                                {QStringLiteral("volume"), sanitizeVolumeDb(volume)},
                                {QStringLiteral("useDecibel"), true}});
}

void ObsWrapper::startStopStreaming()
{
    send(StartStopStreaming);
}

void ObsWrapper::startStopRecording()
{
    send(StartStopRecording);
}

void ObsWrapper::setCurrentTransition(const QString &name)
{
    send(SetCurrentTransition, QJsonObject{{QStringLiteral("transition-name"), name}});
}

void ObsWrapper::connectedToOBS()
{
    qCDebug(lcSwitchers) << "Connected to OBS";
}

void ObsWrapper::disconnectedFromOBS()
{
    qCDebug(lcSwitchers) << "Disconnected From OBS";
}

void ObsWrapper::error(QAbstractSocket::SocketError err)
{
    qCDebug(lcSwitchers) << "Error Number" << int(err);
}

void ObsWrapper::serverStateChanged(QAbstractSocket::SocketState state)
{
    if (state == QAbstractSocket::ConnectedState)
        send(GetAuthRequired);
    else if (state == QAbstractSocket::UnconnectedState && m_scenes.clear())
        emit scenesChanged();
}

void ObsWrapper::onOBSTimer()
{
    if (m_socket->bytesToWrite() > kMaxWriteBacklogBytes)
        return; // OBS is not reading: skip the whole tick
    send(GetSourcesList);
    send(GetTransitionList);
    send(GetStreamingStatus);
    if (m_trackScenes) {
        send(GetSceneList);
        send(GetStudioModeStatus);
        if (m_scenes.studioMode())
            send(GetPreviewScene);
    }
}

void ObsWrapper::messageReceived(const QString &msg)
{
    const std::optional<QJsonDocument> doc = UntrustedJson::parse(msg.toUtf8());
    const QJsonObject reply = doc ? doc->object() : QJsonObject();
    if (reply.value(QStringLiteral("status")).toString() == QLatin1String("error"))
        return;
    if (m_trackScenes && m_scenes.handle(reply))
        emit scenesChanged();
    switch (replyId(reply)) {
    case GetAuthRequired:
        if (reply.value(QStringLiteral("authRequired")).toBool()) {
            send(Authenticate,
                 QJsonObject{{QStringLiteral("auth"),
                              authString(m_password, reply.value(QStringLiteral("salt")).toString(),
                                         reply.value(QStringLiteral("challenge")).toString())}});
        }
        break;
    case GetSourcesList:
        handleSources(reply);
        break;
    case GetVolume:
        handleVolume(reply);
        break;
    case GetStreamingStatus:
        m_streaming = reply.value(QStringLiteral("streaming")).toBool();
        m_recording = reply.value(QStringLiteral("recording")).toBool();
        break;
    case GetTransitionList:
        handleTransitions(reply);
        break;
    default:
        break;
    }
}

void ObsWrapper::send(int id, const QJsonObject &fields)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (m_socket->bytesToWrite() > kMaxWriteBacklogBytes) {
        qCDebug(lcSwitchers) << "OBS is not reading;" << requestType(MessageId(id)) << "dropped";
        return;
    }
    m_socket->sendTextMessage(request(MessageId(id), fields));
}

void ObsWrapper::handleSources(const QJsonObject &reply)
{
    const QJsonValue sources = reply.value(QStringLiteral("sources"));
    if (!sources.isArray())
        return;
    m_sourceNames.clear();
    for (const QJsonValue &source : sources.toArray()) {
        const QJsonValue name = source.toObject().value(QStringLiteral("name"));
        if (!name.isString())
            continue;
        if (m_sourceNames.size() == kMaxSources) {
            qCWarning(lcSwitchers)
                << "OBS lists more than" << kMaxSources << "sources; rest ignored";
            break;
        }
        m_sourceNames.append(name.toString());
        send(GetVolume, QJsonObject{{QStringLiteral("source"), name.toString()},
                                    {QStringLiteral("useDecibel"), true}});
    }
    pruneStaleVolumes();
}

void ObsWrapper::handleVolume(const QJsonObject &reply)
{
    const QJsonValue name = reply.value(QStringLiteral("name"));
    if (!name.isString())
        return;
    const double volume = reply.value(QStringLiteral("volume")).toDouble(0.0);
    m_sourceVolumes.insert(name.toString(), std::isfinite(volume) ? volume : 0.0);
    m_sourceMuted.insert(name.toString(), reply.value(QStringLiteral("muted")).toBool());
    pruneStaleVolumes();
}

// Volumes of sources that are no longer listed are kept (a source that comes
// back shows its last level at once); they are dropped only when the maps
// outgrow four times the list bound, so renaming sources cannot grow them
// without limit.
void ObsWrapper::pruneStaleVolumes()
{
    if (m_sourceVolumes.size() <= 4 * kMaxSources && m_sourceMuted.size() <= 4 * kMaxSources)
        return;
    const QSet<QString> listed(m_sourceNames.cbegin(), m_sourceNames.cend());
    for (auto it = m_sourceVolumes.begin(); it != m_sourceVolumes.end();) {
        if (listed.contains(it.key()))
            ++it;
        else
            it = m_sourceVolumes.erase(it);
    }
    for (auto it = m_sourceMuted.begin(); it != m_sourceMuted.end();) {
        if (listed.contains(it.key()))
            ++it;
        else
            it = m_sourceMuted.erase(it);
    }
}

void ObsWrapper::handleTransitions(const QJsonObject &reply)
{
    const QJsonValue transitions = reply.value(QStringLiteral("transitions"));
    if (!transitions.isArray())
        return;
    m_transitionNames.clear();
    for (const QJsonValue &transition : transitions.toArray()) {
        const QJsonValue name = transition.toObject().value(QStringLiteral("name"));
        if (!name.isString())
            continue;
        if (m_transitionNames.size() == kMaxTransitions)
            break;
        m_transitionNames.append(name.toString());
    }
    m_currentTransition = reply.value(QStringLiteral("current-transition")).toString();
}
