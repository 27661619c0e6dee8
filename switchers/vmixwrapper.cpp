#include "vmixwrapper.h"

#include "switcherslog.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cmath>

using namespace VMixProtocol;

namespace {

// A function reply is a short text; anything longer is cut off.
constexpr qint64 kMaxCommandReplyBytes = 64 * 1024;

// Aborts the reply once its body (announced or received) passes limit. The
// read buffer stops the transfer there, so no more than limit + 1 bytes are
// ever held.
void capBody(QNetworkReply *reply, qint64 limit)
{
    reply->setReadBufferSize(limit + 1);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, limit](qint64 received, qint64 total) {
                         if (received > limit || total > limit)
                             reply->abort();
                     });
}

bool succeeded(QNetworkReply *reply)
{
    const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->error() == QNetworkReply::NoError && code >= 200 && code < 300;
}

} // namespace

VMixWrapper::VMixWrapper(const QString &host, int port, const QString &userName,
                         const QString &password, QObject *parent)
    : QObject(parent), m_statusManager(new QNetworkAccessManager(this)),
      m_commandManager(new QNetworkAccessManager(this)),
      m_timer(new QTimer(this)), m_endpoint{host, port, userName, password}
{
    m_timer->setInterval(kPollIntervalMs);
    connect(m_statusManager, &QNetworkAccessManager::finished, this,
            &VMixWrapper::finishGettingInputLists);
    connect(m_commandManager, &QNetworkAccessManager::finished, this, &VMixWrapper::vmixReplied);
    connect(m_timer, &QTimer::timeout, this, &VMixWrapper::onVMixTimer);
}

VMixWrapper::~VMixWrapper()
{
    m_timer->stop();
    m_statusManager->disconnect(this);
    m_commandManager->disconnect(this);
}

void VMixWrapper::startPolling()
{
    m_timer->start();
}

void VMixWrapper::stopPolling()
{
    m_timer->stop();
    setTallyInputs(QString(), QString());
}

bool VMixWrapper::isPolling() const
{
    return m_timer->isActive();
}

void VMixWrapper::setPollInterval(int ms)
{
    m_timer->setInterval(ms);
}

void VMixWrapper::setTransferTimeout(int ms)
{
    m_transferTimeoutMs = ms;
}

void VMixWrapper::setConnection(const QString &host, int port, const QString &userName,
                                const QString &password)
{
    m_endpoint = Endpoint{host, port, userName, password};
    if (m_statusReply)
        m_statusReply->abort(); // its answer would describe the old address
}

QJsonObject VMixWrapper::statusJson() const
{
    QJsonArray inputs;
    for (const VMixInput &input : m_inputs) {
        inputs.append(QJsonObject{{QStringLiteral("inputName"), input.title},
                                  {QStringLiteral("inputKey"), input.key},
                                  {QStringLiteral("inputVolume"), input.volume},
                                  {QStringLiteral("inputVolumeMuted"), input.muted}});
    }
    return QJsonObject{{QStringLiteral("inputs"), inputs},
                       {QStringLiteral("isStreaming"), m_streaming},
                       {QStringLiteral("isRecording"), m_recording},
                       {QStringLiteral("isPlayListOn"), m_playListOn},
                       {QStringLiteral("masterVolumeMuted"), m_masterMuted},
                       {QStringLiteral("masterVolume"), m_masterVolume}};
}

QJsonObject VMixWrapper::settingsJson() const
{
    return QJsonObject{{QStringLiteral("vmixIp"), m_endpoint.host},
                       {QStringLiteral("vmixPort"), m_endpoint.port},
                       {QStringLiteral("vmixId"), m_endpoint.userName}};
}

void VMixWrapper::applyTransition(int n)
{
    if (transitionTakesInput(n))
        sendFunction(transitionFunction(n), {{QStringLiteral("input"), QStringLiteral("0")}});
    else
        sendFunction(transitionFunction(n));
}

void VMixWrapper::setVolume(double volume, const QString &input)
{
    sendFunction(QStringLiteral("SetVolume"),
                 {{QStringLiteral("value"), formatVolume(sanitizeVolume(volume))},
                  {QStringLiteral("input"), input}});
}

void VMixWrapper::setMasterVolume(double volume)
{
    const int value = int(std::trunc(sanitizeVolume(volume)));
    sendFunction(QStringLiteral("SetMasterVolume"),
                 {{QStringLiteral("value"), QString::number(value)}});
}

void VMixWrapper::toggleInputAudio(const QString &input)
{
    sendFunction(QStringLiteral("Audio"), {{QStringLiteral("input"), input}});
}

void VMixWrapper::toggleMasterAudio()
{
    sendFunction(QStringLiteral("MasterAudio"));
}

void VMixWrapper::setPreviewInput(const QString &input)
{
    sendFunction(QStringLiteral("PreviewInput"), {{QStringLiteral("input"), input}});
}

void VMixWrapper::startStopStreaming()
{
    sendFunction(QStringLiteral("StartStopStreaming"));
}

void VMixWrapper::startStopRecording()
{
    sendFunction(QStringLiteral("StartStopRecording"));
}

void VMixWrapper::startPlayList()
{
    sendFunction(QStringLiteral("StartPlayList"));
}

void VMixWrapper::stopPlayList()
{
    sendFunction(QStringLiteral("StopPlayList"));
}

void VMixWrapper::togglePlayList()
{
    if (m_playListOn)
        stopPlayList();
    else
        startPlayList();
}

void VMixWrapper::onVMixTimer()
{
    if (m_statusReply)
        return; // one poll at a time: a stalled vMix must not pile up requests
    const QUrl url = statusUrl(m_endpoint);
    if (url.isEmpty())
        return;
    QNetworkRequest request(url);
    request.setTransferTimeout(m_transferTimeoutMs);
    m_statusReply = m_statusManager->get(request);
    capBody(m_statusReply, kMaxStatusBytes);
}

void VMixWrapper::finishGettingInputLists(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_statusReply)
        return;
    m_statusReply = nullptr;
    if (!succeeded(reply)) {
        qCDebug(lcSwitchers) << "vMix status poll failed:" << reply->error() << "for"
                             << redacted(reply->url());
        setTallyInputs(QString(), QString());
        emit pollFinished(false);
        return;
    }
    const QByteArray body = reply->readAll();
    if (body.size() > kMaxStatusBytes) {
        qCDebug(lcSwitchers) << "vMix status document too large";
        setTallyInputs(QString(), QString());
        emit pollFinished(false);
        return;
    }
    const std::optional<VMixStatus> status = parseStatus(body);
    m_inputs.clear();
    if (!status) {
        qCDebug(lcSwitchers) << "vMix status is not a well-formed document";
        setTallyInputs(QString(), QString());
        emit pollFinished(true);
        return;
    }
    m_inputs = status->inputs;
    m_streaming = status->streaming;
    m_recording = status->recording;
    m_playListOn = status->playListOn;
    if (status->hasMaster) {
        m_masterVolume = status->masterVolume;
        m_masterMuted = status->masterMuted;
    }
    setTallyInputs(status->active, status->preview);
    emit pollFinished(true);
}

void VMixWrapper::setTallyInputs(const QString &active, const QString &preview)
{
    const auto find = [this](const QString &number) {
        VMixInput found;
        if (number.isEmpty())
            return found;
        for (const VMixInput &input : qAsConst(m_inputs)) {
            if (input.number == number)
                return input;
        }
        found.number = number;
        return found;
    };
    const auto same = [](const VMixInput &a, const VMixInput &b) {
        return a.number == b.number && a.key == b.key && a.title == b.title;
    };
    const VMixInput nextActive = find(active.trimmed());
    const VMixInput nextPreview = find(preview.trimmed());
    if (same(nextActive, m_active) && same(nextPreview, m_preview))
        return;
    m_active = nextActive;
    m_preview = nextPreview;
    emit tallyInputsChanged();
}

void VMixWrapper::vmixReplied(QNetworkReply *reply)
{
    m_commandReplies.remove(reply);
    reply->deleteLater();
}

void VMixWrapper::sendFunction(const QString &function,
                               const QList<QPair<QString, QString>> &params)
{
    const QUrl url = functionUrl(m_endpoint, function, params);
    if (url.isEmpty())
        return;
    if (m_commandReplies.size() >= kMaxCommandsInFlight) {
        qCWarning(lcSwitchers) << "vMix is not answering; function" << function << "dropped";
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_transferTimeoutMs);
    QNetworkReply *reply = m_commandManager->get(request);
    m_commandReplies.insert(reply);
    capBody(reply, kMaxCommandReplyBytes);
}
