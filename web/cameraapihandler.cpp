#include "cameraapihandler.h"

#include "appsettings.h"
#include "cameracontrol.h"
#include "camerawrapper.h"
#include "httpserverwrapper.h"
#include "untrustedjson.h"

#include <QJsonArray>
#include <QJsonDocument>

using qhttp::server::QHttpResponse;

namespace {

int clampToRange(int value, const SpeedRange &range)
{
    return qMax(range.min, qMin(range.max, value));
}

// What to answer after settings were changed: OK once they are on disk.
ApiAnswer stored(AppSettings *settings, const QString &what)
{
    if (!settings || settings->commit())
        return ApiAnswer::okay();
    return ApiAnswer::failed(
        QStringLiteral("%1 could not be saved: the settings file cannot be written.").arg(what));
}

} // namespace

CameraApiHandler::CameraApiHandler(CameraControl *control, AppSettings *settings,
                                   CameraApiPanel *panel, std::function<QStringList()> usbDevices,
                                   QObject *parent)
    : QObject(parent), m_control(control), m_settings(settings), m_panel(panel),
      m_usbDevices(std::move(usbDevices))
{
    connect(m_control, &CameraControl::downloadFinished, this,
            [this](int) { m_imageDownloaded = true; });
}

void CameraApiHandler::attach(HttpServerWrapper *server)
{
    using W = HttpServerWrapper;
    connect(server, &W::getCameraSettings, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, cameraSettings()); });
    connect(server, &W::getCurrentCamInfo, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, currentCamInfo()); });
    connect(server, &W::saveCameraSettings, this, [this](QHttpResponse *r, const QString &list) {
        sendApiAnswer(r, saveCameraSettings(list));
    });
    connect(server, &W::setPreset, this,
            [this](QHttpResponse *r, const QString &name, int n, bool) {
                sendApiAnswer(r, setPreset(name, n));
            });
    connect(server, &W::recallPreset, this, [this](QHttpResponse *r, int n, int speed) {
        sendApiAnswer(r, recallPreset(n, speed));
    });
    connect(server, &W::connectCam, this,
            [this](QHttpResponse *r, int n) { sendApiAnswer(r, connectCam(n)); });
    connect(server, &W::controlCam, this,
            [this](QHttpResponse *r, int method, int pan, int tilt, int zoom, int focus) {
                sendApiAnswer(r, control(method, pan, tilt, zoom, focus));
            });
    connect(server, &W::stopControl, this,
            [this](QHttpResponse *r, int method) { sendApiAnswer(r, stopControl(method)); });
    connect(server, &W::focusAuto, this,
            [this](QHttpResponse *r, bool on) { sendApiAnswer(r, focusAuto(on)); });
    connect(server, &W::checkImageDownloaded, this,
            [this](QHttpResponse *r) { sendApiAnswer(r, checkImageDownloaded()); });
}

ApiAnswer CameraApiHandler::cameraSettings() const
{
    QJsonArray usb;
    if (m_usbDevices) {
        for (const QString &name : m_usbDevices())
            usb.append(name);
    }
    QJsonArray list;
    const QList<CameraWrapper *> cams = m_control->cameras();
    for (int i = 0; i < CameraControl::kCameraSlots && i < cams.size(); ++i) {
        CameraWrapper *cam = cams.at(i);
        if (!cam)
            continue;
        list.append(QJsonObject{{QStringLiteral("isUsbCam"), cam->getCameraType() == 1},
                                {QStringLiteral("camId"), cam->getCameraId()},
                                {QStringLiteral("camName"), cam->getCameraName()}});
    }
    return ApiAnswer::okay(
        {{QStringLiteral("usbDevices"), usb}, {QStringLiteral("camList"), list}});
}

ApiAnswer CameraApiHandler::currentCamInfo() const
{
    QJsonObject o;
    QJsonArray presets;
    CameraWrapper *cam = m_control->camera();
    if (!cam) {
        for (int n = 1; n <= 9; ++n)
            presets.append(QStringLiteral("Preset%1").arg(n));
        o.insert(QStringLiteral("camIndex"), -1);
        o.insert(QStringLiteral("camId"), QString());
        o.insert(QStringLiteral("focusAuto"), false);
    } else {
        const QString id = cam->getCameraId();
        for (int n = 1; n <= 9; ++n)
            presets.append(m_settings ? m_settings->presetName(id, n) : QString::number(n));
        o.insert(QStringLiteral("camIndex"), qMax(0, m_control->currentIndex()));
        o.insert(QStringLiteral("camId"), id);
        o.insert(QStringLiteral("focusAuto"), cam->status().autoFocus);
    }
    o.insert(QStringLiteral("presets"), presets);
    return ApiAnswer::okay(o);
}

bool CameraApiHandler::parseCameraList(const QString &camListJson, QList<Entry> *entries)
{
    QString text = camListJson;
    text.replace(QLatin1String("%5B"), QLatin1String("["));
    text.replace(QLatin1String("%5D"), QLatin1String("]"));
    text.replace(QLatin1String("%3A"), QLatin1String(":"));
    text.replace(QLatin1String("%2C"), QLatin1String(","));
    const std::optional<QJsonDocument> doc = UntrustedJson::parse(text.toUtf8());
    const QJsonArray array = doc ? doc->array() : QJsonArray();
    if (array.size() != CameraControl::kCameraSlots)
        return false;
    QList<Entry> parsed;
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        if (!v.isObject() || !o.contains(QLatin1String("camId")) ||
            !o.contains(QLatin1String("isUsb")) || !o.contains(QLatin1String("name")))
            return false;
        parsed.append({o.value(QLatin1String("isUsb")) == QJsonValue(true),
                       o.value(QLatin1String("camId")).toString(),
                       o.value(QLatin1String("name")).toString()});
    }
    *entries = parsed;
    return true;
}

ApiAnswer CameraApiHandler::saveCameraSettings(const QString &camListJson)
{
    QList<Entry> entries;
    if (!parseCameraList(camListJson, &entries) || !m_settings)
        return ApiAnswer::failed(QStringLiteral("Wrong camera settings!"));
    QList<CameraSlot> slotList;
    for (const Entry &e : entries)
        slotList.append(CameraSlot{e.isUsb ? 1 : 0, e.id, e.name, e.id, std::nullopt});
    m_settings->saveCameraSlots(slotList);
    // Stops and disconnects the selected camera, lets every holder go and
    // leaves no camera selected; the panel relabels its buttons on
    // camerasChanged.
    m_control->rebuildCameras();
    return stored(m_settings, QStringLiteral("The camera list"));
}

ApiAnswer CameraApiHandler::setPreset(const QString &presetName, int presetNum)
{
    if (!validPreset(presetNum) || !m_control->canDrive())
        return ApiAnswer::okay();
    const QString id = m_control->camera()->getCameraId();
    m_control->storePresetPosition(presetNum, true);
    if (m_panel) {
        if (presetNum >= 1 && presetNum <= 9)
            m_panel->setPresetButtonText(presetNum, presetName);
        m_panel->savePreset(presetNum, presetName);
    } else {
        m_control->savePresetSettings(id, presetNum, presetName, nullptr);
    }
    return stored(m_settings, QStringLiteral("The preset name"));
}

ApiAnswer CameraApiHandler::recallPreset(int presetNum, int presetSpeed)
{
    if (!validPreset(presetNum))
        return ApiAnswer::okay();
    const int speed = qBound(0, presetSpeed, kMaxPresetSpeedIndex);
    m_control->send([speed](CameraWrapper &c) { c.setPresetSpeed(speed); });
    if (!m_control->recallPreset(presetNum))
        return refusedOrOkay(CameraControl::GuardedRecall);
    return ApiAnswer::okay();
}

ApiAnswer CameraApiHandler::refusedOrOkay(int guarded) const
{
    const QString why = m_control->refusal(CameraControl::Guarded(guarded));
    return why.isEmpty() ? ApiAnswer::okay() : ApiAnswer::failed(why);
}

ApiAnswer CameraApiHandler::connectCam(int camNum)
{
    if (camNum >= 0 && camNum < CameraControl::kCameraSlots)
        m_control->selectCamera(camNum);
    return ApiAnswer::okay();
}

ApiAnswer CameraApiHandler::control(int controlMethod, int panSpeed, int tiltSpeed, int zoomSpeed,
                                    int focusSpeed)
{
    CameraWrapper *cam = m_control->camera();
    if (!cam || !m_control->canDrive())
        return ApiAnswer::okay();
    const int pan = clampToRange(panSpeed, cam->getPanSpeedRange());
    const int tilt = clampToRange(tiltSpeed, cam->getTiltSpeedRange());
    const int zoom = qBound(0, zoomSpeed, kMaxZoomFocusSpeed);
    const int focus = qBound(0, focusSpeed, kMaxZoomFocusSpeed);
    bool ran = true;
    switch (controlMethod) {
    case 0:
        ran = m_control->move(CameraControl::Right, pan, 0);
        break;
    case 1:
        ran = m_control->move(CameraControl::Left, pan, 0);
        break;
    case 2:
        ran = m_control->move(CameraControl::Up, 0, tilt);
        break;
    case 3:
        ran = m_control->move(CameraControl::Down, 0, tilt);
        break;
    case 4:
        ran = m_control->moveHome();
        break;
    case 5:
        ran = m_control->focusIn(focus);
        break;
    case 6:
        ran = m_control->focusOut(focus);
        break;
    case 7:
        ran = m_control->zoomIn(zoom);
        break;
    case 8:
        ran = m_control->zoomOut(zoom);
        break;
    default:
        break;
    }
    return ran ? ApiAnswer::okay() : refusedOrOkay(CameraControl::GuardedMove);
}

ApiAnswer CameraApiHandler::stopControl(int controlMethod)
{
    if (controlMethod >= 0 && controlMethod <= 3)
        m_control->stopMove();
    else if (controlMethod == 5 || controlMethod == 6)
        m_control->stopFocus();
    else if (controlMethod == 7 || controlMethod == 8)
        m_control->stopZoom();
    return ApiAnswer::okay();
}

ApiAnswer CameraApiHandler::focusAuto(bool on)
{
    if (!m_control->canDrive() || (m_panel && m_panel->isSyncingFromCamera()))
        return ApiAnswer::okay();
    if (m_panel)
        m_panel->showAutoFocus(on);
    m_control->send([on](CameraWrapper &c) { c.setAutoFocus(on); });
    return ApiAnswer::okay();
}

ApiAnswer CameraApiHandler::checkImageDownloaded()
{
    const bool downloaded = m_imageDownloaded;
    m_imageDownloaded = false;
    return ApiAnswer::okay({{QStringLiteral("downloaded"), downloaded}});
}
