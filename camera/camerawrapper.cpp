#include "camerawrapper.h"

Q_LOGGING_CATEGORY(lcCamera, "corvanta.camera")

CameraWrapper::CameraWrapper(int cameraType, const QString &cameraId, const QString &cameraName,
                             const QString &deviceName)
    : QObject(nullptr), cameraType(cameraType), cameraId(cameraId), cameraName(cameraName),
      deviceName(deviceName), serialNumber(QStringLiteral("xx00000000"))
{
}

CameraWrapper::~CameraWrapper() = default;

void CameraWrapper::downloadSnapshot(int) {}
int CameraWrapper::getCameraType()
{
    return cameraType;
}
QString CameraWrapper::getCameraId()
{
    return cameraId;
}
QString CameraWrapper::getCameraName()
{
    return cameraName;
}
QString CameraWrapper::getDeviceName()
{
    return deviceName;
}
QString CameraWrapper::getSerialNumber()
{
    return serialNumber;
}
SpeedRange CameraWrapper::getPanSpeedRange()
{
    return panSpeedRange;
}
SpeedRange CameraWrapper::getTiltSpeedRange()
{
    return tiltSpeedRange;
}
SpeedRange CameraWrapper::getZoomSpeedRange()
{
    return zoomSpeedRange;
}
SpeedRange CameraWrapper::getFocusSpeedRange()
{
    return focusSpeedRange;
}
void CameraWrapper::connectCamera() {}
void CameraWrapper::disconnectCamera() {}
void CameraWrapper::moveUp(int, int) {}
void CameraWrapper::moveLeft(int, int) {}
void CameraWrapper::moveDown(int, int) {}
void CameraWrapper::moveRight(int, int) {}
void CameraWrapper::moveStop(int, int) {}
void CameraWrapper::zoomStop() {}
void CameraWrapper::moveHome() {}
void CameraWrapper::zoomIn(int) {}
void CameraWrapper::zoomOut(int) {}
void CameraWrapper::moveUpLeft(int, int) {}
void CameraWrapper::moveUpRight(int, int) {}
void CameraWrapper::moveDownRight(int, int) {}
void CameraWrapper::moveDownLeft(int, int) {}
void CameraWrapper::setAutoFocus(bool) {}
void CameraWrapper::focusIn(int) {}
void CameraWrapper::focusOut(int) {}
void CameraWrapper::focusStop() {}
void CameraWrapper::setPreset(int) {}
void CameraWrapper::callPreset(int) {}
void CameraWrapper::setIris(int) {}
void CameraWrapper::setShutter(int) {}
void CameraWrapper::setBright(int) {}
void CameraWrapper::brightUp() {}
void CameraWrapper::brightDown() {}
void CameraWrapper::setAeMode(int) {}
void CameraWrapper::setWBMode(int) {}
void CameraWrapper::queryZoomPos() {}
void CameraWrapper::queryFocusPos() {}
void CameraWrapper::queryFocusMode() {}
void CameraWrapper::queryShutter() {}
void CameraWrapper::queryIris() {}
void CameraWrapper::queryBright() {}
void CameraWrapper::queryPanTiltPos() {}
void CameraWrapper::queryLuminance() {}
void CameraWrapper::queryContrast() {}
void CameraWrapper::queryHue() {}
void CameraWrapper::queryAeMode() {}
void CameraWrapper::queryWBMode() {}
void CameraWrapper::setLuminance(int) {}
void CameraWrapper::setContrast(int) {}
void CameraWrapper::setHue(int) {}
void CameraWrapper::onePushTrigger() {}
void CameraWrapper::osdMenu() {}
void CameraWrapper::osdEnter() {}
void CameraWrapper::osdBack() {}
void CameraWrapper::setImageFlip(bool) {}
void CameraWrapper::setImageMirror(bool) {}
void CameraWrapper::setPresetSpeed(int) {}
void CameraWrapper::setUpRightLimit(int, int) {}
void CameraWrapper::setDownLeftLimit(int, int) {}
void CameraWrapper::setFocusLock(bool) {}
int CameraWrapper::panLeftToDegree(int)
{
    return 0;
}
int CameraWrapper::panRightToDegree(int)
{
    return 0;
}
int CameraWrapper::tiltUpToDegree(int)
{
    return 0;
}
int CameraWrapper::tiltDownToDegree(int)
{
    return 0;
}
void CameraWrapper::setMotionSync(bool) {}
void CameraWrapper::clearPreset(int) {}

QString CameraWrapper::streamAddress(int stream)
{
    if (cameraType != NetworkCamera)
        return QString();
    return QStringLiteral("rtsp://") + cameraId + QLatin1Char('/') + QString::number(stream);
}
