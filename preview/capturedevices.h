#pragma once

#include <QString>

// The V4L2 device node ("/dev/videoN") whose card name equals `cameraId`, or
// an empty string. Of the nodes a camera exposes, the one with index 0 (the
// picture, not the metadata) is chosen. `sysfsRoot` is the video4linux class
// folder; tests point it at a fake tree.
QString findCaptureDevice(const QString &cameraId,
                          const QString &sysfsRoot = QStringLiteral("/sys/class/video4linux"));
