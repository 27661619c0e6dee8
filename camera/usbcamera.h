#pragma once

#include "camerawrapper.h"

#include <memory>

class QSettings;
class QTimer;
class UsbCameraBackend;
class UsbCameraDevice;

// A USB camera driven through a UsbCameraDevice session. Only motion, zoom,
// focus, auto focus, home and presets apply to it; every exposure, colour,
// on-screen menu, limit and snapshot operation keeps the base class's empty
// behaviour.
//
// The camera id names the device to open (UsbCameraBackend::listDevices).
// Presets are emulated: the raw pan, tilt and zoom positions are stored in
// uvc-presets.ini (per-user folder) under the top-level keys id + n + "_pan",
// "_tilt" and "_zoom" (id "USB Cam", preset 2: "USB Cam2_pan"); a preset never
// stored recalls to (0, 0, 0). Speed ranges come from the device on each
// successful connect. While connected, onTimer runs every 500 ms through the
// 12-step poll cycle of the network camera; steps 0, 1, 2 and 6 read zoom,
// focus, focus mode and pan/tilt (each emitting clientStatusUpdated), step 11
// emits clientReadOneCycle. Positions are stored in the status record as
// base-256 bytes, byte k = low 8 bits of v / 256^(3 - k) (truncating), most
// significant first; a position that could not be read leaves its bytes as
// they were and emits nothing (it is unknown, not 0). A failed control call
// logs "UVC Control Failed". Disconnecting (also by destruction) first stops
// pan/tilt, zoom and focus.
//
// Storing a preset reads pan, tilt and zoom from the device at that moment;
// when any of them cannot be read nothing is stored (the preset keeps its
// earlier position) and clientError explains why.
//
// A device that goes away (a call fails with ENODEV or EIO, see
// UsbCameraDevice::deviceLost) ends the connection: polling stops, the dead
// handle is closed and clientStateChanged("Unconnected") is emitted. Without
// auto reconnect the camera then emits clientDisconnected and is opened again
// only by the next connectCamera. With auto reconnect, while it is wanted
// (connectCamera called, disconnectCamera not since), it looks for the same
// device (USB bus position, else device node; never the name, which another
// camera of the model may carry by now) every reconnect interval and on its
// return connects as if newly selected (clientConnected), as a network camera
// does after a dropped link; a failed connectCamera is retried the same way.
// connectCamera, also on a connection whose device is gone, opens the device
// it had open before where that is attached, else the one listed under the
// camera id. Main thread only.
class USBCamera : public CameraWrapper
{
    Q_OBJECT
public:
    // `backend` must outlive the camera; null means UsbCameraBackend::system().
    USBCamera(const QString &cameraId, const QString &cameraName, const QString &deviceName,
              UsbCameraBackend *backend = nullptr);
    // Emits clientDisconnected first when still connected.
    ~USBCamera() override;

    bool isConnected() const { return m_connected; }
    // Only an open device takes commands: a stop given while the device is
    // gone is owed by the control layer until the camera connects again.
    bool canSendCommands() const override { return m_connected; }
    // Poll period in ms (500 unless changed; tests).
    void setPollInterval(int ms);
    void setAutoReconnect(bool on) override;
    bool autoReconnect() const { return m_autoReconnect; }
    // Period of the search for a lost device in ms (1000 unless changed; tests).
    void setReconnectInterval(int ms);
    bool isReconnecting() const;
    QString captureDevicePath() const override;

public slots:
    void connectCamera() override;
    void disconnectCamera() override;
    void moveUp(int panSpeed, int tiltSpeed) override;
    void moveLeft(int panSpeed, int tiltSpeed) override;
    void moveDown(int panSpeed, int tiltSpeed) override;
    void moveRight(int panSpeed, int tiltSpeed) override;
    void moveStop(int panSpeed, int tiltSpeed) override;
    void zoomStop() override;
    void moveHome() override;
    void zoomIn(int speed) override;
    void zoomOut(int speed) override;
    void moveUpLeft(int panSpeed, int tiltSpeed) override;
    void moveUpRight(int panSpeed, int tiltSpeed) override;
    void moveDownRight(int panSpeed, int tiltSpeed) override;
    void moveDownLeft(int panSpeed, int tiltSpeed) override;
    void setAutoFocus(bool on) override;
    void focusIn(int speed) override;
    void focusOut(int speed) override;
    void focusStop() override;
    void setPreset(int presetNum) override;
    void callPreset(int presetNum) override;
    void queryZoomPos() override;
    void queryFocusPos() override;
    void queryFocusMode() override;
    void queryPanTiltPos() override;
    void queryWBMode() override;

    void onTimer();

private:
    QString presetKey(int presetNum, const char *axis) const;
    void stopAll();
    // Logs a failed control call and handles a device that went away.
    void check(long result);
    // True (after ending the connection) when the device has gone away.
    bool deviceGone();
    // The device opened before (found by its USB port or node), else, with
    // byIdToo, the one listed under the camera id.
    bool openSession(bool byIdToo);
    void finishConnect();
    void tryReconnect();

    std::unique_ptr<UsbCameraDevice> m_library;
    std::unique_ptr<QSettings> m_presetFile;
    QTimer *m_pollTimer;
    QTimer *m_reconnectTimer;
    int m_pollIndex = 0;
    bool m_connected = false;
    bool m_wanted = false; // connectCamera called, disconnectCamera not since
    bool m_autoReconnect = false;
    bool m_opened = false; // the session has opened a device before
};
