#pragma once

#include <QList>

class AppSettings;
class CameraWrapper;

// The stored camera list (`cameraslist`) as camera objects.

// Appends one camera object per stored entry, at most
// AppSettings::kMaxCameras, to `cameras`; the caller owns them. Returns 0.
int loadCameraList(const AppSettings &settings, QList<CameraWrapper *> &cameras);

// Writes `cameras` as the stored list, slot 1 first, a network camera with
// its link.
void saveCameraList(AppSettings &settings, const QList<CameraWrapper *> &cameras);
