#include "usbcamera.h"

#include "storagepaths.h"
#include "usbcamerabackend.h"

#include <QSettings>
#include <QTimer>

namespace {

constexpr int kPollIntervalMs = 500;

// Logs a failed control call; results below 0 are failures.
void check(long result)
{
    if (result < 0)
        qCWarning(lcCamera) << "UVC Control Failed";
}

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
      m_pollTimer(new QTimer(this))
{
    m_pollTimer->setInterval(kPollIntervalMs);
    connect(m_pollTimer, &QTimer::timeout, this, &USBCamera::onTimer);
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

void USBCamera::connectCamera()
{
    if (m_connected)
        return;
    if (!m_library->connectDevice(cameraId)) {
        disconnectCamera();
        return;
    }
    m_library->checkOSDMenu();
    panSpeedRange = m_library->getPanCtrlRanges();
    tiltSpeedRange = m_library->getTiltCtrlRanges();
    zoomSpeedRange = m_library->getZoomCtrlRanges();
    focusSpeedRange = m_library->getFocusCtrlRanges();
    m_connected = true;
    m_pollIndex = 0;
    m_pollTimer->start();
    emit clientConnected();
}

void USBCamera::disconnectCamera()
{
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
    const long pan = m_library->getPan();
    const long tilt = m_library->getTilt();
    const long zoom = m_library->getZoom();
    m_presetFile->setValue(presetKey(presetNum, "pan"), qint64(pan));
    m_presetFile->setValue(presetKey(presetNum, "tilt"), qint64(tilt));
    m_presetFile->setValue(presetKey(presetNum, "zoom"), qint64(zoom));
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
    storePosition(m_status.zoomPos, m_library->getZoom());
    emit clientStatusUpdated();
}

void USBCamera::queryFocusPos()
{
    storePosition(m_status.focusPos, m_library->getFocus());
    emit clientStatusUpdated();
}

void USBCamera::queryFocusMode()
{
    m_status.autoFocus = m_library->getAutoFocus();
    emit clientStatusUpdated();
}

void USBCamera::queryPanTiltPos()
{
    storePosition(m_status.panTiltPos, m_library->getPan());
    storePosition(m_status.panTiltPos + 4, m_library->getTilt());
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
