#include "switcherapihandlers.h"

#include "appsettings.h"
#include "httpserverwrapper.h"
#include "obsprotocol.h"
#include "obswrapper.h"
#include "vmixprotocol.h"
#include "vmixwrapper.h"

#include <cmath>

using qhttp::server::QHttpResponse;
using W = HttpServerWrapper;

namespace {

// What to answer after settings were changed: OK once they are on disk.
ApiAnswer stored(AppSettings *settings, const QString &what)
{
    if (!settings || settings->commit())
        return ApiAnswer::okay();
    return ApiAnswer::failed(
        QStringLiteral("%1 could not be saved: the settings file cannot be written.").arg(what));
}

// A volume from a query that is not a finite number: the peer's minimum,
// never what a failed conversion happens to give.
double finiteOr(double volume, double minimum)
{
    return std::isfinite(volume) ? volume : minimum;
}

} // namespace

// --- OBS ---

ObsApiHandler::ObsApiHandler(ObsWrapper *obs, AppSettings *settings, QObject *parent)
    : QObject(parent), m_obs(obs), m_settings(settings)
{
}

void ObsApiHandler::attach(HttpServerWrapper *server)
{
    connect(server, &W::getObsStatus, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, status()); });
    connect(server, &W::getObsSettings, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, settings()); });
    connect(server, &W::setObsSourceVolume, this,
            [this](QHttpResponse *r, const QString &name, double volume) {
                sendApiAnswer(r, setSourceVolume(name, volume));
            });
    connect(server, &W::setObsSourceMuted, this, [this](QHttpResponse *r, const QString &name) {
        sendApiAnswer(r, toggleSourceMuted(name));
    });
    connect(server, &W::obsToggleStreaming, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, toggleStreaming()); });
    connect(server, &W::obsToggleRecording, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, toggleRecording()); });
    connect(server, &W::obsSetTransition, this, [this](QHttpResponse *r, const QString &name) {
        sendApiAnswer(r, setTransition(name));
    });
    connect(server, &W::obsSaveReconnect, this,
            [this](QHttpResponse *r, const QString &ip, int port, const QString &pwd) {
                sendApiAnswer(r, saveReconnect(ip, port, pwd));
            });
}

ApiAnswer ObsApiHandler::status() const
{
    return ApiAnswer::okay(m_obs->statusJson());
}

ApiAnswer ObsApiHandler::settings() const
{
    return ApiAnswer::okay(m_obs->settingsJson());
}

ApiAnswer ObsApiHandler::setSourceVolume(const QString &sourceName, double volume)
{
    m_obs->setVolume(finiteOr(volume, ObsProtocol::kMinVolumeDb), sourceName);
    return ApiAnswer::okay();
}

ApiAnswer ObsApiHandler::toggleSourceMuted(const QString &sourceName)
{
    m_obs->toggleMute(sourceName);
    return ApiAnswer::okay();
}

ApiAnswer ObsApiHandler::toggleStreaming()
{
    m_obs->startStopStreaming();
    return ApiAnswer::okay();
}

ApiAnswer ObsApiHandler::toggleRecording()
{
    m_obs->startStopRecording();
    return ApiAnswer::okay();
}

ApiAnswer ObsApiHandler::setTransition(const QString &transition)
{
    m_obs->setCurrentTransition(transition);
    return ApiAnswer::okay();
}

ApiAnswer ObsApiHandler::saveReconnect(const QString &ip, int port, const QString &password)
{
    if (m_settings) {
        m_settings->setObsIp(ip);
        m_settings->setObsPort(port);
        m_settings->setObsPwd(password);
    }
    m_obs->reconnectTo(ip, port, password);
    return stored(m_settings, QStringLiteral("The OBS connection settings"));
}

// --- vMix ---

VMixApiHandler::VMixApiHandler(VMixWrapper *vmix, AppSettings *settings, QObject *parent)
    : QObject(parent), m_vmix(vmix), m_settings(settings)
{
}

void VMixApiHandler::attach(HttpServerWrapper *server)
{
    connect(server, &W::getVMixStatus, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, status()); });
    connect(server, &W::getVMixSettings, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, settings()); });
    connect(server, &W::vmixSaveReconnect, this,
            [this](QHttpResponse *r, const QString &ip, int port, const QString &id,
                   const QString &pwd) { sendApiAnswer(r, saveReconnect(ip, port, id, pwd)); });
    connect(server, &W::setVMixSourceVolume, this,
            [this](QHttpResponse *r, const QString &name, double volume) {
                sendApiAnswer(r, setSourceVolume(name, volume));
            });
    connect(server, &W::setVMixSourceMuted, this, [this](QHttpResponse *r, const QString &name) {
        sendApiAnswer(r, toggleSourceMuted(name));
    });
    connect(server, &W::setVMixMasterVolume, this,
            [this](QHttpResponse *r, double volume) { sendApiAnswer(r, setMasterVolume(volume)); });
    connect(server, &W::setVMixMasterMuted, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, toggleMasterMuted()); });
    connect(server, &W::vmixToggleStreaming, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, toggleStreaming()); });
    connect(server, &W::vmixToggleRecording, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, toggleRecording()); });
    connect(server, &W::vmixTogglePlayList, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, togglePlayList()); });
    connect(server, &W::vmixApplyTransition, this,
            [this](QHttpResponse *r, int n) { sendApiAnswer(r, applyTransition(n)); });
    connect(server, &W::vmixSetPreview, this,
            [this](QHttpResponse *r, const QString &name) { sendApiAnswer(r, setPreview(name)); });
}

ApiAnswer VMixApiHandler::status() const
{
    return ApiAnswer::okay(m_vmix->statusJson());
}

ApiAnswer VMixApiHandler::settings() const
{
    return ApiAnswer::okay(m_vmix->settingsJson());
}

ApiAnswer VMixApiHandler::saveReconnect(const QString &ip, int port, const QString &id,
                                        const QString &pwd)
{
    m_vmix->setConnection(ip, port, id, pwd);
    if (m_settings) {
        m_settings->setVmixIp(ip);
        m_settings->setVmixPort(port);
        m_settings->setVmixId(id);
        m_settings->setVmixPwd(pwd);
    }
    return stored(m_settings, QStringLiteral("The vMix connection settings"));
}

ApiAnswer VMixApiHandler::setSourceVolume(const QString &sourceName, double volume)
{
    m_vmix->setVolume(finiteOr(volume, VMixProtocol::kMinVolume), sourceName);
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::toggleSourceMuted(const QString &sourceName)
{
    m_vmix->toggleInputAudio(sourceName);
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::setMasterVolume(double volume)
{
    m_vmix->setMasterVolume(finiteOr(volume, VMixProtocol::kMinVolume));
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::toggleMasterMuted()
{
    m_vmix->toggleMasterAudio();
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::toggleStreaming()
{
    m_vmix->startStopStreaming();
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::toggleRecording()
{
    m_vmix->startStopRecording();
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::togglePlayList()
{
    m_vmix->togglePlayList();
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::applyTransition(int transition)
{
    m_vmix->applyTransition(transition);
    return ApiAnswer::okay();
}

ApiAnswer VMixApiHandler::setPreview(const QString &sourceName)
{
    m_vmix->setPreviewInput(sourceName);
    return ApiAnswer::okay();
}
