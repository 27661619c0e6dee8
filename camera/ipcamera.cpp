#include "ipcamera.h"

namespace {
constexpr double kStepsPerDegree = 14.4;
}

IPCamera::IPCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName)
    : CameraWrapper(NetworkCamera, cameraId, cameraName, deviceName)
{
    panSpeedRange = {1, 24, 5};
    tiltSpeedRange = {1, 20, 5};
    zoomSpeedRange = {1, 7, 5};
    focusSpeedRange = {1, 7, 5};
}

IPCamera::~IPCamera() = default;

int IPCamera::panLeftToDegree(int position)
{
    return static_cast<int>((65535 - position) / kStepsPerDegree);
}

int IPCamera::panRightToDegree(int position)
{
    return static_cast<int>(position / kStepsPerDegree);
}

int IPCamera::tiltUpToDegree(int position)
{
    return static_cast<int>(position / kStepsPerDegree);
}

int IPCamera::tiltDownToDegree(int position)
{
    return static_cast<int>((65535 - position) / kStepsPerDegree);
}
