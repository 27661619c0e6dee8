#include "usbcamera.h"

#include "storagepaths.h"
#include "usbcamerabackend.h"

#include <QSettings>
#include <QTimer>

namespace {

constexpr int kPollIntervalMs = 500;
constexpr int kReconnectIntervalMs = 1000;

void storePosition(uint8_t *bytes, long value)
{
    const int32_t v = int32_t(value);
    int32_t divisor = 1 << 24;
    for (int k = 0; k < 4; ++k, divisor >>= 8)
        bytes[k] = uint8_t((v / divisor) & 0xFF);
}

} // namespace

USBCamera::USBCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName,
                     UsbCameraBackend *backend)
    : CameraWrapper(UsbCamera, cameraId, cameraName, deviceName),
      m_library((backend ? backend : UsbCameraBackend::system())->createDevice()),
      m_presetFile(std::make_unique<QSettings>(
          Storage::userFolder() + QStringLiteral("/uvc-presets.ini"), QSettings::IniFormat)),
      m_pollTimer(new QTimer(this)), m_reconnectTimer(new QTimer(this))
{
    m_pollTimer->setInterval(kPollIntervalMs);
    connect(m_pollTimer, &QTimer::timeout, this, &USBCamera::onTimer);
    m_reconnectTimer->setInterval(kReconnectIntervalMs);
    connect(m_reconnectTimer, &QTimer::timeout, this, &USBCamera::tryReconnect);
}

USBCamera::~USBCamera()
{
    qCDebug(lcCamera) << "delete usb";
    // Still a complete USBCamera here: listeners of clientDisconnected may
    // call back into it.
    disconnectCamera();
}

void USBCamera::setPollInterval(int ms)
{
    m_pollTimer->setInterval(ms);
}

void USBCamera::setAutoReconnect(bool on)
{
    m_autoReconnect = on;
    if (!on)
        m_reconnectTimer->stop();
    else if (m_wanted && !m_connected)
        m_reconnectTimer->start();
}

void USBCamera::setReconnectInterval(int ms)
{
    m_reconnectTimer->setInterval(ms);
}

bool USBCamera::isReconnecting() const
{
    return m_reconnectTimer->isActive();
}

QString USBCamera::captureDevicePath() const
{
    return m_connected ? m_library->devicePath() : QString();
}

void USBCamera::connectCamera()
{
    m_wanted = true;
    const bool wasConnected = m_connected;
    if (m_connected) {
        if (m_library->checkDevice())
            return;
        // The handle is dead (unplugged since the last call): close it
        // quietly and open the device again; the selection stays.
        qCWarning(lcCamera) << "USB camera gone, reopening" << cameraId;
        m_connected = false;
        m_pollTimer->stop();
        m_pollIndex = 0;
        m_library->disconnectDevice();
    }
    m_reconnectTimer->stop();
    if (openSession(true)) {
        finishConnect();
        return;
    }
    if (wasConnected)
        emit clientStateChanged(QStringLiteral("Unconnected"));
    if (m_autoReconnect) {
        m_reconnectTimer->start();
    } else if (wasConnected) {
        m_wanted = false;
        emit clientDisconnected();
    }
}

bool USBCamera::openSession(bool byIdToo)
{
    // A device this camera had open is found again by where it is attached:
    // another camera of the same model may carry its name (id) by now.
    if (m_opened && m_library->reopenDevice())
        return true;
    if (!byIdToo || !m_library->connectDevice(cameraId))
        return false;
    m_opened = true;
    return true;
}

void USBCamera::finishConnect()
{
    m_library->checkOSDMenu();
    panSpeedRange = m_library->getPanCtrlRanges();
    tiltSpeedRange = m_library->getTiltCtrlRanges();
    zoomSpeedRange = m_library->getZoomCtrlRanges();
    focusSpeedRange = m_library->getFocusCtrlRanges();
    m_connected = true;
    m_pollIndex = 0;
    m_pollTimer->start();
    qCDebug(lcCamera) << "camera connected" << cameraId << m_library->devicePath();
    emit clientConnected();
}

void USBCamera::tryReconnect()
{
    if (!m_wanted || m_connected) {
        m_reconnectTimer->stop();
        return;
    }
    if (!openSession(false))
        return;
    m_reconnectTimer->stop();
    qCDebug(lcCamera) << "reconnecting ended" << cameraId;
    finishConnect();
}

bool USBCamera::deviceGone()
{
    if (!m_library->deviceLost())
        return false;
    if (!m_connected)
        return true;
    qCWarning(lcCamera) << "USB camera disconnected" << cameraId;
    m_connected = false;
    m_pollTimer->stop();
    m_pollIndex = 0;
    m_library->disconnectDevice(); // closes the dead handle; nothing is sent
    emit clientStateChanged(QStringLiteral("Unconnected"));
    if (m_autoReconnect && m_wanted) {
        qCDebug(lcCamera) << "reconnecting pending..." << cameraId;
        m_reconnectTimer->start();
        return true;
    }
    m_wanted = false;
    emit clientDisconnected();
    return true;
}

void USBCamera::check(long result)
{
    if (result < 0)
        qCWarning(lcCamera) << "UVC Control Failed";
    deviceGone();
}

void USBCamera::disconnectCamera()
{
    m_wanted = false;
    m_reconnectTimer->stop();
    if (!m_connected)
        return;
    m_connected = false;
    m_pollTimer->stop();
    m_pollIndex = 0;
    stopAll();
    m_library->disconnectDevice();
    emit clientDisconnected();
}

void USBCamera::stopAll()
{
    check(m_library->stopMoving());
    check(m_library->stopZooming());
    check(m_library->stopFocusing());
}

void USBCamera::moveUp(int, int tiltSpeed)
{
    check(m_library->moveTiltOneTop(tiltSpeed));
}

void USBCamera::moveLeft(int panSpeed, int)
{
    check(m_library->movePanOneLeft(panSpeed));
}

void USBCamera::moveDown(int, int tiltSpeed)
{
    check(m_library->moveTiltOneBottom(tiltSpeed));
}

void USBCamera::moveRight(int panSpeed, int)
{
    check(m_library->movePanOneRight(panSpeed));
}

void USBCamera::moveStop(int, int)
{
    check(m_library->stopMoving());
}

void USBCamera::zoomStop()
{
    check(m_library->stopZooming());
}

void USBCamera::moveHome()
{
    check(m_library->moveHome());
}

void USBCamera::zoomIn(int speed)
{
    check(m_library->zoomOneIn(speed));
}

void USBCamera::zoomOut(int speed)
{
    check(m_library->zoomOneOut(speed));
}

void USBCamera::moveUpLeft(int panSpeed, int tiltSpeed)
{
    check(m_library->moveTiltOneTop(tiltSpeed));
    check(m_library->movePanOneLeft(panSpeed));
}

void USBCamera::moveUpRight(int panSpeed, int tiltSpeed)
{
    check(m_library->moveTiltOneTop(tiltSpeed));
    check(m_library->movePanOneRight(panSpeed));
}

void USBCamera::moveDownRight(int panSpeed, int tiltSpeed)
{
    check(m_library->moveTiltOneBottom(tiltSpeed));
    check(m_library->movePanOneRight(panSpeed));
}

void USBCamera::moveDownLeft(int panSpeed, int tiltSpeed)
{
    check(m_library->moveTiltOneBottom(tiltSpeed));
    check(m_library->movePanOneLeft(panSpeed));
}

void USBCamera::setAutoFocus(bool on)
{
    check(m_library->setAutoFocus(on));
}

void USBCamera::focusIn(int speed)
{
    check(m_library->focusOneIn(speed));
}

void USBCamera::focusOut(int speed)
{
    check(m_library->focusOneOut(speed));
}

void USBCamera::focusStop()
{
    check(m_library->stopFocusing());
}

QString USBCamera::presetKey(int presetNum, const char *axis) const
{
    // A "/" or "\\" would make QSettings read the key as a group path; device
    // ids never hold one, but the id may come from a hand-edited settings file.
    QString id = cameraId;
    id.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return id + QString::number(presetNum) + QLatin1Char('_') + QLatin1String(axis);
}

void USBCamera::setPreset(int presetNum)
{
    const std::optional<long> pan = m_library->getPan();
    const std::optional<long> tilt = m_library->getTilt();
    const std::optional<long> zoom = m_library->getZoom();
    if (!pan || !tilt || !zoom) {
        // A preset keeps its last good position rather than one never read.
        qCWarning(lcCamera) << "preset" << presetNum << "not stored: position unknown" << cameraId;
        deviceGone();
        emit clientError(QStringLiteral("The preset was not stored: the position of the USB "
                                        "camera could not be read. Check its cable and try "
                                        "again."));
        return;
    }
    m_presetFile->setValue(presetKey(presetNum, "pan"), qint64(*pan));
    m_presetFile->setValue(presetKey(presetNum, "tilt"), qint64(*tilt));
    m_presetFile->setValue(presetKey(presetNum, "zoom"), qint64(*zoom));
}

void USBCamera::callPreset(int presetNum)
{
    const int pan = m_presetFile->value(presetKey(presetNum, "pan"), 0).toInt();
    const int tilt = m_presetFile->value(presetKey(presetNum, "tilt"), 0).toInt();
    const int zoom = m_presetFile->value(presetKey(presetNum, "zoom"), 0).toInt();
    check(m_library->moveAbsPTZ(pan, tilt, zoom));
}

void USBCamera::queryZoomPos()
{
    const std::optional<long> zoom = m_library->getZoom();
    if (deviceGone() || !zoom)
        return;
    storePosition(m_status.zoomPos, *zoom);
    emit clientStatusUpdated();
}

void USBCamera::queryFocusPos()
{
    const std::optional<long> focus = m_library->getFocus();
    if (deviceGone() || !focus)
        return;
    storePosition(m_status.focusPos, *focus);
    emit clientStatusUpdated();
}

void USBCamera::queryFocusMode()
{
    const std::optional<bool> autoFocus = m_library->getAutoFocus();
    if (deviceGone() || !autoFocus)
        return;
    m_status.autoFocus = *autoFocus;
    emit clientStatusUpdated();
}

void USBCamera::queryPanTiltPos()
{
    const std::optional<long> pan = m_library->getPan();
    const std::optional<long> tilt = pan ? m_library->getTilt() : std::nullopt;
    if (deviceGone() || !pan || !tilt)
        return;
    storePosition(m_status.panTiltPos, *pan);
    storePosition(m_status.panTiltPos + 4, *tilt);
    emit clientStatusUpdated();
}

void USBCamera::queryWBMode()
{
    emit clientReadOneCycle();
}

void USBCamera::onTimer()
{
    // The network camera's cycle: zoom, focus, focus mode, shutter, iris,
    // bright, pan/tilt, luminance, contrast, hue, AE mode, white balance.
    switch (m_pollIndex) {
    case 0:
        queryZoomPos();
        break;
    case 1:
        queryFocusPos();
        break;
    case 2:
        queryFocusMode();
        break;
    case 6:
        queryPanTiltPos();
        break;
    case 11:
        queryWBMode();
        break;
    default:
        break;
    }
    m_pollIndex = (m_pollIndex + 1) % 12;
}
