#pragma once

#include "camerawrapper.h"

// A network PTZ camera: VISCA over TCP port 5678, device configuration and
// snapshots over HTTP port 80.
class IPCamera : public CameraWrapper
{
    Q_OBJECT
public:
    IPCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName);
    ~IPCamera() override;

public slots:
    // Degrees from a 16-bit position, truncated toward zero (14.4 steps per degree).
    int panLeftToDegree(int position) override;
    int panRightToDegree(int position) override;
    int tiltUpToDegree(int position) override;
    int tiltDownToDegree(int position) override;
};
