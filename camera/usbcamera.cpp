#include "usbcamera.h"

USBCamera::USBCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName)
    : CameraWrapper(UsbCamera, cameraId, cameraName, deviceName)
{
}

USBCamera::~USBCamera()
{
    qCDebug(lcCamera) << "delete usb";
}
