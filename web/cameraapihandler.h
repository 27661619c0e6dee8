#pragma once

#include "apianswer.h"

#include <QObject>
#include <QStringList>

#include <functional>

class AppSettings;
class CameraControl;
class HttpServerWrapper;

// The window-side state the camera API shares with the desktop panel. The
// panel implements it (or an adapter over it); nothing here is a widget.
class CameraApiPanel
{
public:
    virtual ~CameraApiPanel() = default;
    // Memory button n (1-9) shows `name`.
    virtual void setPresetButtonText(int n, const QString &name) = 0;
    // Stores the name of preset n of the selected camera and, when the panel
    // stores exposure with presets, its exposure, image and colour values.
    virtual void savePreset(int n, const QString &name) = 0;
    // The one-time copy of camera values into the widgets is running.
    virtual bool isSyncingFromCamera() const = 0;
    // The auto-focus check box shows `on`; manual focus buttons enabled when
    // it is off.
    virtual void showAutoFocus(bool on) = 0;
};

// The "/cam/..." routes. Every operation acts through the control layer on
// its selected camera, only while it can be driven, and returns its answer.
// Values from the network are clamped before they reach a camera: pan and
// tilt speeds to the selected camera's ranges, zoom and focus speeds to 0-7,
// the preset recall speed to 0-23; preset numbers outside 0-254 are ignored
// (still answered OK). An operation the live-camera protection refuses is
// answered "FAILED" with the refusal text. Nothing here waits for the
// operator. Main thread only.
class CameraApiHandler : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxPresetNumber = 254;
    static constexpr int kMaxZoomFocusSpeed = 7;
    static constexpr int kMaxPresetSpeedIndex = 23;

    // control and settings must outlive the handler; panel may be null
    // (headless: no button texts, no exposure stored with presets). usbDevices lists the USB video
    // devices for "/cam/settings".
    CameraApiHandler(CameraControl *control, AppSettings *settings, CameraApiPanel *panel,
                     std::function<QStringList()> usbDevices, QObject *parent = nullptr);

    void setPanel(CameraApiPanel *panel) { m_panel = panel; }
    // Answers the server's "/cam/..." signals with the operations below.
    void attach(HttpServerWrapper *server);

    // "/cam/settings": "usbDevices", "camList" [{"isUsbCam", "camId", "camName"}].
    ApiAnswer cameraSettings() const;
    // "/cam/getCurrentCamInfo": "camIndex", "presets" (9 names), "camId",
    // "focusAuto".
    ApiAnswer currentCamInfo() const;
    // "/cam/saveSettings": eight {"camId", "isUsb", "name"}; anything else is
    // "Wrong camera settings!" and changes nothing. Otherwise stores the list
    // and rebuilds the cameras (no camera selected afterwards).
    ApiAnswer saveCameraSettings(const QString &camListJson);
    ApiAnswer setPreset(const QString &presetName, int presetNum);
    ApiAnswer recallPreset(int presetNum, int presetSpeed);
    // camNum 0-7 selects and connects that camera; other values do nothing.
    ApiAnswer connectCam(int camNum);
    // controlMethod 0 right, 1 left, 2 up, 3 down, 4 home, 5 focus near,
    // 6 focus far, 7 zoom tele, 8 zoom wide; others do nothing.
    ApiAnswer control(int controlMethod, int panSpeed, int tiltSpeed, int zoomSpeed,
                      int focusSpeed);
    // 0-3 stop pan/tilt, 5-6 stop focus, 7-8 stop zoom; others do nothing.
    ApiAnswer stopControl(int controlMethod);
    ApiAnswer focusAuto(bool on);
    // "downloaded": a preset snapshot of the selected camera finished since
    // the last poll (each finished download is reported to one poll).
    ApiAnswer checkImageDownloaded();

    // Parses the camera list of "/cam/saveSettings" (after undoing the four
    // escapes "%5B" "%5D" "%3A" "%2C"); false when it is not eight complete
    // entries.
    struct Entry
    {
        bool isUsb = false;
        QString id;
        QString name;
    };
    static bool parseCameraList(const QString &camListJson, QList<Entry> *entries);

private:
    static bool validPreset(int n) { return n >= 0 && n <= kMaxPresetNumber; }
    // After an operation did not run: "FAILED" with the guard's text when
    // the live-camera protection refused it (a CameraControl::Guarded),
    // else "OK" as before.
    ApiAnswer refusedOrOkay(int guarded) const;

    CameraControl *m_control;
    AppSettings *m_settings;
    CameraApiPanel *m_panel;
    std::function<QStringList()> m_usbDevices;
    bool m_imageDownloaded = false;
};
