#pragma once

#include "usbcamerabackend.h"

#include <QString>
#include <QStringList>

#include <memory>

// The device-access boundary of the V4L2 backend: the system implementation
// maps straight onto open(2)/close(2)/ioctl(2) on /dev/video*; tests put a
// scripted device table behind it.
class V4l2DeviceIo
{
public:
    virtual ~V4l2DeviceIo() = default;
    // Candidate device nodes in listing order (/dev/video0, /dev/video1, ...).
    virtual QStringList nodes() = 0;
    // A file descriptor, or -1.
    virtual int open(const QString &path) = 0;
    virtual void close(int fd) = 0;
    // 0 on success, else minus the error number (-ENODEV: the device is gone).
    virtual int ioctl(int fd, unsigned long request, void *arg) = 0;

    static std::shared_ptr<V4l2DeviceIo> system();
};

// USB cameras through V4L2 camera controls, read and written with
// VIDIOC_G_EXT_CTRLS / VIDIOC_S_EXT_CTRLS (camera class); pan and tilt that
// change together go in one write. Motion uses the signed speed controls
// (PAN_SPEED, TILT_SPEED, ZOOM_CONTINUOUS; 0 stops); an axis without one is
// stepped through its absolute control (focus: FOCUS_RELATIVE steps, else
// FOCUS_ABSOLUTE) every stepInterval ms until stopped; stopping a stepped
// absolute axis writes the position read back from the device as its target,
// so the camera stops where it is rather than at a target that ran ahead.
// Positions are the *_ABSOLUTE controls, home is PAN_RESET/TILT_RESET (else
// the absolute defaults), auto focus is FOCUS_AUTO. Only nodes that capture
// video are listed. A call failing with ENODEV or EIO marks the device lost.
class V4l2Backend : public UsbCameraBackend
{
public:
    explicit V4l2Backend(std::shared_ptr<V4l2DeviceIo> io);

    QStringList listDevices() override;
    QString devicePath(const QString &id) override;
    std::unique_ptr<UsbCameraDevice> createDevice() override;

    // Period of absolute/relative stepping; 100 ms unless changed (tests).
    void setStepInterval(int ms) { m_stepInterval = ms; }

    // Speed range of an axis moved in steps: a full traverse takes
    // kStepTicksAtMax ticks at the top speed.
    static constexpr int kStepSpeedMax = 7;
    static constexpr int kStepSpeedDefault = 4;
    static constexpr int kStepTicksAtMax = 30;

private:
    std::shared_ptr<V4l2DeviceIo> m_io;
    int m_stepInterval = 100;
};
