#include "cameracontrol.h"

#include "applog.h"
#include "appsettings.h"
#include "cameralist.h"
#include "camerawrapper.h"
#include "exposurereplay.h"
#include "ipcamera.h"

Q_LOGGING_CATEGORY(lcControl, "corvanta.control")

namespace {

const QLatin1String kConnectedState("Connected");

} // namespace

CameraControl::CameraControl(AppSettings *settings, QObject *parent)
    : QObject(parent), m_settings(settings)
{
    m_replay =
        new ExposureReplay([this](QObject *camera, int presetNum,
                                  int stage) { return runExposureStage(camera, presetNum, stage); },
                           this);
}

CameraControl::~CameraControl()
{
    stopAll();
    m_replay->cancel();
    const QList<QPointer<CameraWrapper>> cameras = m_cameras;
    m_cameras.clear();
    m_current = nullptr;
    for (const QPointer<CameraWrapper> &camera : cameras)
        delete camera.data();
}

// --- Camera list ---

void CameraControl::setCameras(const QList<CameraWrapper *> &cameras)
{
    for (CameraWrapper *camera : cameras) {
        if (!camera)
            continue;
        m_cameras.append(camera);
        wireCamera(camera);
        camera->setAutoReconnect(m_autoReconnect);
    }
    emit camerasChanged();
}

void CameraControl::setAutoReconnect(bool on)
{
    m_autoReconnect = on;
    for (const QPointer<CameraWrapper> &camera : qAsConst(m_cameras)) {
        if (camera)
            camera->setAutoReconnect(on);
    }
}

void CameraControl::wireCamera(CameraWrapper *camera)
{
    connect(camera, &CameraWrapper::clientConnected, this, &CameraControl::onCameraConnected);
    connect(camera, &CameraWrapper::clientDisconnected, this, &CameraControl::onCameraDisconnected);
    connect(camera, &CameraWrapper::clientStateChanged, this, &CameraControl::onCameraStateChanged);
    connect(camera, &CameraWrapper::clientError, this, &CameraControl::cameraError);
    connect(camera, &CameraWrapper::clientStatusUpdated, this, [this] {
        if (isCurrent(sender()))
            emit statusUpdated();
    });
    connect(camera, &CameraWrapper::clientReadOneCycle, this, [this] {
        if (isCurrent(sender()))
            emit readOneCycle();
    });
    connect(camera, &CameraWrapper::clientFinishDownload, this, [this](int presetNum) {
        // A snapshot belongs to the preset of the camera that took it; only
        // the selected camera's thumbnails are shown.
        if (isCurrent(sender()))
            emit downloadFinished(presetNum);
    });
    connect(camera, &CameraWrapper::clientFinishGetName, this, [this] {
        if (isCurrent(sender()))
            emit nameGetFinished();
    });
    connect(camera, &CameraWrapper::repliesStaleChanged, this, [this](bool stale) {
        if (isCurrent(sender()))
            emit repliesStaleChanged(stale);
    });
}

void CameraControl::releaseCameras()
{
    stopAll();
    m_replay->cancel();
    if (m_current)
        m_current->disconnectCamera();
    emit aboutToReleaseCameras();
    const bool hadSelection = m_current || m_currentIndex >= 0;
    m_current = nullptr;
    m_currentIndex = -1;
    m_connected = false;
    // A released camera is never connected again: what it is owed is lost.
    m_owedStops.clear();
    const QList<QPointer<CameraWrapper>> cameras = m_cameras;
    m_cameras.clear();
    for (const QPointer<CameraWrapper> &camera : cameras) {
        if (!camera)
            continue;
        // Nothing of a released camera reaches the listeners any more.
        disconnect(camera.data(), nullptr, this, nullptr);
        camera->deleteLater();
    }
    if (hadSelection)
        emit currentCameraChanged(nullptr, -1);
}

void CameraControl::rebuildCameras()
{
    releaseCameras();
    QList<CameraWrapper *> list;
    if (m_settings)
        loadCameraList(*m_settings, list);
    while (list.size() < kCameraSlots) {
        const int slot = list.size() + 1;
        list.append(new IPCamera(QStringLiteral("0.0.0.0"),
                                 QStringLiteral("Camera") + QString::number(slot),
                                 QStringLiteral("0.0.0.0")));
    }
    setCameras(list);
}

QList<CameraWrapper *> CameraControl::cameras() const
{
    QList<CameraWrapper *> list;
    list.reserve(m_cameras.size());
    for (const QPointer<CameraWrapper> &camera : m_cameras)
        list.append(camera.data());
    return list;
}

CameraWrapper *CameraControl::cameraAt(int index) const
{
    if (index < 0 || index >= m_cameras.size())
        return nullptr;
    return m_cameras.at(index).data();
}

// --- Selection ---

bool CameraControl::selectCamera(int index)
{
    if (index < 0 || index >= kCameraSlots)
        return false;
    CameraWrapper *next = cameraAt(index);
    if (!next)
        return false;
    // Motions end on the camera they were sent to before it is let go.
    stopAll();
    m_replay->cancel();
    CameraWrapper *previous = m_current.data();
    qCDebug(lcControl) << "selecting camera" << index + 1 << next->getCameraId();
    m_current = next;
    m_currentIndex = index;
    if (previous && previous != next) {
        // Nothing may be sent to the new camera before it reports its
        // connection. The previous camera is no longer current when it
        // reports its disconnection (a USB camera does so at once).
        m_connected = false;
        previous->disconnectCamera();
    }
    emit currentCameraChanged(next, index);
    next->connectCamera();
    return true;
}

void CameraControl::clearSelection()
{
    stopAll();
    m_replay->cancel();
    CameraWrapper *previous = m_current.data();
    const bool hadSelection = previous || m_currentIndex >= 0;
    m_current = nullptr;
    m_currentIndex = -1;
    m_connected = false;
    if (previous)
        previous->disconnectCamera();
    if (hadSelection)
        emit currentCameraChanged(nullptr, -1);
}

bool CameraControl::isCurrent(QObject *from) const
{
    return from && m_current && from == m_current.data();
}

bool CameraControl::send(const std::function<void(CameraWrapper &)> &op)
{
    if (!canDrive() || !op)
        return false;
    op(*m_current);
    return true;
}

void CameraControl::onCameraConnected()
{
    auto *from = qobject_cast<CameraWrapper *>(sender());
    // The link is back (also on a camera the selection has left): what it
    // is owed goes before anything else.
    if (from)
        sendOwedStops(from);
    if (from && !isCurrent(from)) {
        // A camera the operator has moved away from finished connecting late:
        // only the selected camera stays connected.
        from->disconnectCamera();
        return;
    }
    AppLog::append(AppLog::connectedLine());
    m_connected = true;
    applyCameraControlSettings();
    emit connected();
}

void CameraControl::onCameraDisconnected()
{
    AppLog::append(AppLog::disconnectedLine());
    if (!isCurrent(sender()))
        return; // a camera that is not the selected one; the selection stays
    stopAll();
    m_replay->cancel();
    m_connected = false;
    m_current = nullptr;
    m_currentIndex = -1;
    emit currentCameraChanged(nullptr, -1);
    emit disconnected();
}

void CameraControl::onCameraStateChanged(const QString &state)
{
    if (!isCurrent(sender()))
        return;
    // A replay never resumes on a reopened socket.
    if (state != kConnectedState)
        m_replay->cancel();
    emit stateChanged(state);
}

// --- Speeds ---

QList<int> CameraControl::speedValuesFor(int min, int max)
{
    int first = min;
    if (max > 0 && min == 0)
        first = 1;
    else if (max == 0)
        first = 0;
    QList<int> values;
    for (qint64 v = first; v <= max && values.size() < kMaxSpeedEntries; ++v)
        values.append(int(v));
    return values;
}

int CameraControl::speed(Axis axis) const
{
    const SpeedList &list = m_speeds[axis];
    return list.values.value(list.index, 0);
}

int CameraControl::lockedSpeedIndex(int index) const
{
    // Both lists must hold the shared index, also for a camera whose lists
    // are shorter than a network camera's.
    const int last = qMin(m_speeds[Pan].values.size(), m_speeds[Tilt].values.size()) - 1;
    return qMin(qMin(index, kLockedSpeedIndexMax), last);
}

void CameraControl::storeSpeedIndex(Axis axis)
{
    if (!canDrive() || !m_settings)
        return;
    const QString id = m_current->getCameraId();
    const int index = m_speeds[axis].index;
    switch (axis) {
    case Pan:
        m_settings->setPanSpeedIndex(id, index);
        break;
    case Tilt:
        m_settings->setTiltSpeedIndex(id, index);
        break;
    case Zoom:
        m_settings->setZoomSpeedIndex(id, index);
        break;
    case Focus:
        m_settings->setFocusSpeedIndex(id, index);
        break;
    }
}

void CameraControl::setSpeedIndex(Axis axis, int index)
{
    if (axis < Pan || axis > Focus)
        return;
    if (m_panTiltLocked && (axis == Pan || axis == Tilt)) {
        const int shared = lockedSpeedIndex(index);
        if (shared < 0)
            return;
        m_speeds[Pan].index = shared;
        m_speeds[Tilt].index = shared;
        storeSpeedIndex(Pan);
        storeSpeedIndex(Tilt);
    } else {
        const int last = m_speeds[axis].values.size() - 1;
        if (index < 0 || last < 0)
            return;
        m_speeds[axis].index = qMin(index, last);
        storeSpeedIndex(axis);
    }
    emit speedsChanged();
}

void CameraControl::setPanTiltLocked(bool locked)
{
    m_panTiltLocked = locked;
    if (locked) {
        const int shared = lockedSpeedIndex(kLockSpeedIndex);
        if (shared >= 0) {
            m_speeds[Pan].index = shared;
            m_speeds[Tilt].index = shared;
            storeSpeedIndex(Pan);
            storeSpeedIndex(Tilt);
        }
    }
    if (canDrive() && m_settings)
        m_settings->setPanTiltLocked(m_current->getCameraId(), locked);
    emit speedsChanged();
}

void CameraControl::applyCameraControlSettings()
{
    if (!m_current)
        return;
    CameraWrapper *cam = m_current.data();
    const QString id = cam->getCameraId();
    // Stored indices are read before anything is re-selected (selecting
    // stores again).
    const int pan = m_settings ? m_settings->panSpeedIndex(id) : 0;
    const int tilt = m_settings ? m_settings->tiltSpeedIndex(id) : 0;
    const int zoom = m_settings ? m_settings->zoomSpeedIndex(id) : 0;
    const int focus = m_settings ? m_settings->focusSpeedIndex(id) : 0;
    m_panTiltLocked = m_settings ? m_settings->panTiltLocked(id) : true;

    const SpeedRange ranges[4] = {cam->getPanSpeedRange(), cam->getTiltSpeedRange(),
                                  cam->getZoomSpeedRange(), cam->getFocusSpeedRange()};
    for (int axis = Pan; axis <= Focus; ++axis) {
        m_speeds[axis].values = speedValuesFor(ranges[axis].min, ranges[axis].max);
        m_speeds[axis].index = 0;
    }
    // The settings file is untrusted: an index outside the list selects the
    // nearest entry. Pan first, then tilt: under the lock both end on the
    // (clamped) tilt index.
    const auto clampTo = [this](Axis axis, int index) {
        return qBound(0, index, qMax(0, int(m_speeds[axis].values.size()) - 1));
    };
    setSpeedIndex(Pan, clampTo(Pan, pan));
    setSpeedIndex(Tilt, clampTo(Tilt, tilt));
    setSpeedIndex(Zoom, clampTo(Zoom, zoom));
    setSpeedIndex(Focus, clampTo(Focus, focus));
    emit speedsChanged();
}

// --- Motion ---

bool CameraControl::startMove(CameraWrapper *cam, Direction direction, int panSpeed, int tiltSpeed)
{
    // A move that replaces a running one on another camera must not leave
    // that camera running.
    if (m_moveTarget && m_moveTarget != cam) {
        CameraWrapper *previous = m_moveTarget.data();
        m_moveTarget = nullptr;
        deliverStop(previous, Pan, 0, 0);
    }
    m_moveTarget = cam;
    switch (direction) {
    case Up:
        cam->moveUp(panSpeed, tiltSpeed);
        break;
    case Down:
        cam->moveDown(panSpeed, tiltSpeed);
        break;
    case Left:
        cam->moveLeft(panSpeed, tiltSpeed);
        break;
    case Right:
        cam->moveRight(panSpeed, tiltSpeed);
        break;
    case UpLeft:
        cam->moveUpLeft(panSpeed, tiltSpeed);
        break;
    case UpRight:
        cam->moveUpRight(panSpeed, tiltSpeed);
        break;
    case DownLeft:
        cam->moveDownLeft(panSpeed, tiltSpeed);
        break;
    case DownRight:
        cam->moveDownRight(panSpeed, tiltSpeed);
        break;
    }
    return true;
}

bool CameraControl::move(Direction direction)
{
    int pan = speed(Pan);
    int tilt = speed(Tilt);
    if (direction == Up || direction == Down)
        pan = 0;
    else if (direction == Left || direction == Right)
        tilt = 0;
    return move(direction, pan, tilt);
}

bool CameraControl::move(Direction direction, int panSpeed, int tiltSpeed)
{
    if (!canDrive() || refuse(GuardedMove))
        return false;
    return startMove(m_current.data(), direction, panSpeed, tiltSpeed);
}

bool CameraControl::stopMove(int panSpeed, int tiltSpeed)
{
    return stopAxis(Pan, m_moveTarget, panSpeed, tiltSpeed);
}

bool CameraControl::moveHome()
{
    if (canDrive() && refuse(GuardedMove))
        return false;
    return send([](CameraWrapper &c) { c.moveHome(); });
}

bool CameraControl::startLens(Axis axis, void (CameraWrapper::*op)(int), int speed)
{
    if (!canDrive() || refuse(GuardedMove))
        return false;
    QPointer<CameraWrapper> &target = axis == Zoom ? m_zoomTarget : m_focusTarget;
    if (target && target != m_current) {
        CameraWrapper *previous = target.data();
        target = nullptr;
        deliverStop(previous, axis, 0, 0);
    }
    target = m_current;
    (m_current.data()->*op)(speed);
    return true;
}

bool CameraControl::zoomIn()
{
    return zoomIn(speed(Zoom));
}

bool CameraControl::zoomOut()
{
    return zoomOut(speed(Zoom));
}

bool CameraControl::zoomIn(int speed)
{
    return startLens(Zoom, &CameraWrapper::zoomIn, speed);
}

bool CameraControl::zoomOut(int speed)
{
    return startLens(Zoom, &CameraWrapper::zoomOut, speed);
}

bool CameraControl::stopZoom()
{
    return stopAxis(Zoom, m_zoomTarget, 0, 0);
}

bool CameraControl::focusIn()
{
    return focusIn(speed(Focus));
}

bool CameraControl::focusOut()
{
    return focusOut(speed(Focus));
}

bool CameraControl::focusIn(int speed)
{
    return startLens(Focus, &CameraWrapper::focusIn, speed);
}

bool CameraControl::focusOut(int speed)
{
    return startLens(Focus, &CameraWrapper::focusOut, speed);
}

bool CameraControl::stopFocus()
{
    return stopAxis(Focus, m_focusTarget, 0, 0);
}

bool CameraControl::stopAxis(Axis axis, QPointer<CameraWrapper> &target, int panSpeed,
                             int tiltSpeed)
{
    // The target is cleared before the stop: a stop that re-enters (a camera
    // emitting from inside its write) finds nothing left to stop twice.
    CameraWrapper *camera = target.data();
    target = nullptr;
    if (!camera) {
        if (!canDrive())
            return false;
        camera = m_current.data();
    }
    deliverStop(camera, axis, panSpeed, tiltSpeed);
    return true;
}

void CameraControl::stopAll()
{
    if (m_moveTarget)
        stopAxis(Pan, m_moveTarget, 0, 0);
    if (m_zoomTarget)
        stopAxis(Zoom, m_zoomTarget, 0, 0);
    if (m_focusTarget)
        stopAxis(Focus, m_focusTarget, 0, 0);
}

void CameraControl::writeStop(CameraWrapper *camera, Axis axis, int panSpeed, int tiltSpeed)
{
    switch (axis) {
    case Pan:
    case Tilt:
        camera->moveStop(panSpeed, tiltSpeed);
        break;
    case Zoom:
        camera->zoomStop();
        break;
    case Focus:
        camera->focusStop();
        break;
    }
}

void CameraControl::deliverStop(CameraWrapper *camera, Axis axis, int panSpeed, int tiltSpeed)
{
    if (camera->canSendCommands()) {
        writeStop(camera, axis, panSpeed, tiltSpeed);
        return;
    }
    qCWarning(lcControl) << "link down: stop owed to" << camera->getCameraId() << "axis" << axis;
    for (OwedStop &owed : m_owedStops) {
        if (owed.camera == camera && owed.axis == axis) {
            owed.panSpeed = panSpeed;
            owed.tiltSpeed = tiltSpeed;
            return;
        }
    }
    m_owedStops.append({camera, axis, panSpeed, tiltSpeed});
}

void CameraControl::sendOwedStops(CameraWrapper *camera)
{
    if (m_owedStops.isEmpty() || !camera->canSendCommands())
        return;
    QList<OwedStop> due;
    for (auto it = m_owedStops.begin(); it != m_owedStops.end();) {
        if (it->camera.isNull() || it->camera == camera) {
            if (it->camera)
                due.append(*it);
            it = m_owedStops.erase(it);
        } else {
            ++it;
        }
    }
    for (const OwedStop &owed : qAsConst(due)) {
        qCDebug(lcControl) << "sending owed stop to" << camera->getCameraId() << "axis"
                           << owed.axis;
        writeStop(camera, owed.axis, owed.panSpeed, owed.tiltSpeed);
    }
}

int CameraControl::owedStops(const CameraWrapper *camera) const
{
    int n = 0;
    for (const OwedStop &owed : m_owedStops) {
        if (owed.camera && owed.camera.data() == camera)
            ++n;
    }
    return n;
}

// --- Presets ---

bool CameraControl::recallPreset(int n)
{
    if (!canDrive() || refuse(GuardedRecall))
        return false;
    m_current->callPreset(n);
    m_replay->start(m_current.data(), n, 0);
    return true;
}

bool CameraControl::recallPresetPosition(int n)
{
    if (!canDrive() || refuse(GuardedRecall))
        return false;
    m_current->callPreset(n);
    return true;
}

// --- Protection ---

QString CameraControl::refusal(Guarded what) const
{
    if (!m_guard || !m_current)
        return QString();
    return m_guard(m_currentIndex, what);
}

bool CameraControl::refuse(Guarded what)
{
    const QString message = refusal(what);
    if (message.isEmpty())
        return false;
    qCDebug(lcControl) << message;
    emit refused(message);
    return true;
}

bool CameraControl::replayStoredExposure(int n, int firstStage)
{
    if (!canDrive())
        return false;
    m_replay->start(m_current.data(), n, firstStage);
    return true;
}

bool CameraControl::storePresetPosition(int n, bool snapshot)
{
    if (!canDrive())
        return false;
    if (snapshot)
        m_current->downloadSnapshot(n);
    m_current->setPreset(n);
    return true;
}

bool CameraControl::clearPreset(int n)
{
    if (!canDrive())
        return false;
    m_current->clearPreset(n);
    clearPresetSettings(m_current->getCameraId(), n);
    return true;
}

void CameraControl::savePresetSettings(const QString &cameraId, int n, const QString &name,
                                       const PresetExposure *exposure)
{
    if (!m_settings)
        return;
    m_settings->setPresetName(cameraId, n, name);
    if (!exposure)
        return;
    m_settings->setPresetAeMode(cameraId, n, exposure->aeMode);
    m_settings->setPresetShutterSpeed(cameraId, n, exposure->shutter);
    m_settings->setPresetIris(cameraId, n, exposure->iris);
    m_settings->setPresetBrightness(cameraId, n, exposure->bright);
    m_settings->setPresetLuminance(cameraId, n, exposure->luminance);
    m_settings->setPresetContrast(cameraId, n, exposure->contrast);
    m_settings->setPresetHue(cameraId, n, exposure->hue);
    m_settings->setPresetWbMode(cameraId, n, exposure->wbMode);
}

void CameraControl::clearPresetSettings(const QString &cameraId, int n)
{
    const PresetExposure zero{0, 0, 0, 0, 0, 0, 0, 0};
    savePresetSettings(cameraId, n, QString(), &zero);
}

PresetExposure CameraControl::storedExposure(const QString &cameraId, int n) const
{
    PresetExposure v;
    if (!m_settings)
        return v;
    v.aeMode = m_settings->presetAeMode(cameraId, n);
    v.shutter = m_settings->presetShutterSpeed(cameraId, n);
    v.iris = m_settings->presetIris(cameraId, n);
    v.bright = m_settings->presetBrightness(cameraId, n);
    v.luminance = m_settings->presetLuminance(cameraId, n);
    v.contrast = m_settings->presetContrast(cameraId, n);
    v.hue = m_settings->presetHue(cameraId, n);
    v.wbMode = m_settings->presetWbMode(cameraId, n);
    return v;
}

bool CameraControl::exposureStageValue(const PresetExposure &v, int stage, int *value)
{
    // AE mode list indices: 0 Auto, 1 Manual, 2 SAE, 3 AAE, 4 Brightness.
    int out = 0;
    bool applies = true;
    switch (stage) {
    case StageAeMode:
        out = v.aeMode;
        break;
    case StageShutter:
        applies = v.aeMode == 1 || v.aeMode == 2;
        out = v.shutter;
        break;
    case StageIris:
        applies = v.aeMode == 1 || v.aeMode == 3;
        out = v.iris;
        break;
    case StageBright:
        applies = v.aeMode == 4;
        out = v.bright;
        break;
    case StageLuminance:
        out = v.luminance;
        break;
    case StageContrast:
        out = v.contrast;
        break;
    case StageHue:
        out = v.hue;
        break;
    case StageWbMode:
        out = v.wbMode;
        break;
    default:
        return false;
    }
    if (applies && value)
        *value = out;
    return applies;
}

bool CameraControl::runExposureStage(QObject *camera, int presetNum, int stage)
{
    // Never apply one camera's stored values to another, nor to a camera that
    // is no longer connected; each stage reads the option and the values
    // afresh.
    if (!camera || camera != m_current.data() || !canDrive() || !m_storeExposure)
        return false;
    int value = 0;
    if (exposureStageValue(storedExposure(m_current->getCameraId(), presetNum), stage, &value))
        emit exposureStageDue(stage, value);
    return true;
}

void CameraControl::setExposureReplayInterval(int ms)
{
    m_replay->setStageInterval(ms);
}

void CameraControl::stopExposureReplay()
{
    m_replay->cancel();
}

int CameraControl::runningReplays() const
{
    return m_replay->runningChains();
}
