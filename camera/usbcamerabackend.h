#pragma once

#include "camerawrapper.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// One USB camera session: the control operations a USB camera offers. A fresh
// instance is connected to nothing. Results of type long are negative on
// failure (also every motion call while no device is open); a control the
// device lacks does nothing and reports success (0).
// Speeds are magnitudes; each is clamped to its axis's speed range. Positions
// are raw device units (pan/tilt signed, e.g. arc seconds) and are only ever
// handed back to the same device. Main thread only.
class UsbCameraDevice
{
public:
    virtual ~UsbCameraDevice() = default;

    // Opens the device listed under `id` (see UsbCameraBackend::listDevices).
    virtual bool connectDevice(const QString &id) = 0;
    // Opens again the device this session opened last, found by its USB bus
    // position (bus info) or, without one, by its device node; never by its
    // name, which two identical cameras share. False when it is not attached.
    virtual bool reopenDevice() = 0;
    // Stops every motion the session started, then closes the device.
    virtual void disconnectDevice() = 0;
    virtual long checkOSDMenu() = 0;

    // Speed ranges as magnitudes: {1, max, default} for an axis that can
    // move, {0, 0, 0} for one that cannot.
    virtual SpeedRange getPanCtrlRanges() = 0;
    virtual SpeedRange getTiltCtrlRanges() = 0;
    virtual SpeedRange getZoomCtrlRanges() = 0;
    virtual SpeedRange getFocusCtrlRanges() = 0;

    // Each start keeps the axis moving until its stop.
    virtual long movePanOneLeft(int speed) = 0;
    virtual long movePanOneRight(int speed) = 0;
    virtual long moveTiltOneTop(int speed) = 0;
    virtual long moveTiltOneBottom(int speed) = 0;
    virtual long stopMoving() = 0; // pan and tilt
    virtual long zoomOneIn(int speed) = 0;
    virtual long zoomOneOut(int speed) = 0;
    virtual long stopZooming() = 0;
    virtual long focusOneIn(int speed) = 0; // towards near
    virtual long focusOneOut(int speed) = 0;
    virtual long stopFocusing() = 0;
    virtual long moveHome() = 0;
    // Absolute move in the units getPan/getTilt/getZoom return.
    virtual long moveAbsPTZ(int pan, int tilt, int zoom) = 0;
    virtual long setAutoFocus(bool on) = 0;

    // Current state, read from the device now; 0 (false) for a control the
    // device lacks, empty when the read failed.
    virtual std::optional<bool> getAutoFocus() = 0;
    virtual std::optional<long> getPan() = 0;
    virtual std::optional<long> getTilt() = 0;
    virtual std::optional<long> getZoom() = 0;
    virtual std::optional<long> getFocus() = 0;

    // The open device has gone away (unplugged: a call failed with ENODEV or
    // EIO). The session then sends nothing more; every call fails until
    // reopenDevice() or connectDevice() succeeds.
    virtual bool deviceLost() const = 0;
    // Asks the open device now whether it is still there; false when no
    // device is open or it is gone (deviceLost() then).
    virtual bool checkDevice() = 0;
    // Capture node of the device opened last ("/dev/video0"): what the live
    // preview plays for this camera. Empty before the first open.
    virtual QString devicePath() const = 0;
};

// Finds attached USB cameras and opens sessions on them. A camera's id is the
// device's own (card) name, made unique among the attached devices by a
// " (2)", " (3)" ... suffix in listing order, with "/" and "\\" replaced by
// "_": ids go into settings keys and file names. Main thread only.
class UsbCameraBackend
{
public:
    virtual ~UsbCameraBackend() = default;

    // Ids of the attached cameras, in the platform's device order.
    virtual QStringList listDevices() = 0;
    // Capture device node of an attached camera ("/dev/video0"); empty when
    // no attached camera has that id.
    virtual QString devicePath(const QString &id) = 0;
    virtual std::unique_ptr<UsbCameraDevice> createDevice() = 0;

    // The platform's backend (V4L2 on /dev/video*), alive until process exit.
    static UsbCameraBackend *system();
    // system()->listDevices() / system()->devicePath(id).
    static QStringList deviceNames();
    static QString systemDevicePath(const QString &id);
};

// Ids for devices named `cardNames` (in listing order), as described above;
// an empty or blank name becomes "USB Camera".
QStringList uniqueUsbCameraIds(const QStringList &cardNames);
