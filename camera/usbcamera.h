#pragma once

#include "camerawrapper.h"

// A USB camera driven through a camera-control library. Only motion, zoom,
// focus, home and presets apply to it; every exposure, colour, on-screen menu,
// limit and snapshot operation keeps the base class's empty behaviour.
class USBCamera : public CameraWrapper
{
    Q_OBJECT
public:
    USBCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName);
    ~USBCamera() override;
};
