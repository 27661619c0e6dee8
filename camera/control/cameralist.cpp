#include "cameralist.h"

#include "appsettings.h"
#include "camerawrapper.h"
#include "ipcamera.h"
#include "usbcamera.h"

int loadCameraList(const AppSettings &settings, QList<CameraWrapper *> &cameras)
{
    const QList<CameraSlot> entries = settings.cameraSlots();
    for (const CameraSlot &slot : entries) {
        if (slot.type == CameraWrapper::UsbCamera) {
            cameras.append(new USBCamera(slot.id, slot.name, slot.deviceName));
        } else {
            auto *camera = new IPCamera(slot.id, slot.name, slot.deviceName);
            camera->setLinkConfig(slot.link.value_or(CameraLinkConfig()));
            cameras.append(camera);
        }
    }
    return 0;
}

void saveCameraList(AppSettings &settings, const QList<CameraWrapper *> &cameras)
{
    QList<CameraSlot> entries;
    for (CameraWrapper *cam : cameras) {
        CameraSlot entry{cam->getCameraType(), cam->getCameraId(), cam->getCameraName(),
                         cam->getDeviceName(), std::nullopt};
        if (auto *ip = qobject_cast<IPCamera *>(cam))
            entry.link = ip->linkConfig();
        entries.append(entry);
    }
    settings.saveCameraSlots(entries);
}
