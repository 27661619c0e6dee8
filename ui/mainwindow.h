#pragma once

#include "camerawrapper.h"
#include "mediaplayer.h"

#include <QLoggingCategory>
#include <QMainWindow>

#include <functional>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcUi)

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;
class AppSettings;
class CameraControl;
class HelpWin;
class JoystickWrapper;
class QJoysticks;
class QKeyEvent;
class MessagePresenter;
class BoundingBoxSettings;
class PresetSettingDlg;
class PreviewWin;

namespace Ui {
class MainWindow;
}

// The operator's control panel: widgets and thin adapters over the control
// layer. Every control path acts through CameraControl on its selected camera
// and only while it can be driven; the window mirrors the layer's state
// (selection, speeds, connection) in its widgets. Camera signals arrive from
// the layer queued, so no slot here runs inside a camera's socket handler.
// Messages go through the MessagePresenter and never block. Main thread only.
//
// The form (mainwindow.ui) holds the camera selection, the motion buttons, the
// empty group box `presetGroup` (filled in code by the preset part) and, in
// `rightPanel`, the speed options and the empty `exposurePanel` (filled in code
// by the exposure part). The preset and exposure parts live in
// mainwindow_presets.cpp and mainwindow_exposure.cpp.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // settings and control must outlive the window; messages may be null
    // (the window then keeps a presenter of its own). previewPlayer plays the
    // live preview (null: the GStreamer player).
    MainWindow(AppSettings *settings, CameraControl *control, MessagePresenter *messages = nullptr,
               QWidget *parent = nullptr, std::unique_ptr<MediaPlayer> previewPlayer = nullptr);
    ~MainWindow() override;

    CameraControl *control() const { return m_control; }
    MessagePresenter *messages() const { return m_messages; }

    // Appends one line to app.log; false when the file cannot be opened.
    bool writeLog(const QString &line);

    // Selects camera `index` (0-7) through the control layer.
    void selectCamera(int index);
    // Camera buttons show the first 10 characters of each camera's name.
    void refreshCameraButtons();
    // Fills `combo` with the decimal texts of CameraControl::speedValuesFor
    // (range) and selects the entry whose text is range.defaultValue.
    static void fillSpeedCombo(QComboBox *combo, const SpeedRange &range);
    // Speed lists and pan/tilt lock of the current camera (kept by the
    // control layer) shown in the speed widgets.
    void applyCameraControlSettings();
    // Status-bar texts from the current camera's status record; performs the
    // one-time copy into the widgets while uiSyncState is 1.
    void updateStatus();
    // Rebuilds the camera list from the settings (after the camera
    // configuration changed): the window ends with no camera selected.
    void rebuildCameraList();
    // Called when the operator closes the preview window.
    void previewWindowClosed();

    bool isAdvancedView() const { return m_advancedView; }

    // The owned non-modal windows: live preview, image preview map, preset
    // setting dialog.
    PreviewWin *previewWindow() const { return m_previewWindow; }
    BoundingBoxSettings *boundingBoxWindow() const { return m_boundingBoxWindow; }
    PresetSettingDlg *presetSettingDialog() const { return m_presetSettingDlg; }

    // --- Remote (web API) side of the panel ---
    // Memory button n (1-9) shows `name`; other n change nothing.
    void setMemoryButtonText(int n, const QString &name);
    // The auto-focus check box shows `on` (without sending anything); the
    // manual focus buttons are enabled when it is off.
    void showAutoFocus(bool on);
    // Settings -> Web Server Setting runs `opener` (the dialog needs the
    // application's server and clients, which the window does not hold).
    void setWebServerSettingsOpener(std::function<void()> opener)
    {
        m_openWebServerSettings = std::move(opener);
    }

    // --- Tally (mainwindow_tally.cpp) ---
    // Settings -> Tally Setting runs `opener`. Call once.
    void setTallySettingsOpener(std::function<void()> opener);
    // Camera button `index` (0-7) shows `state` ("program", "preview"; any
    // other text: plain); its text and object name stay as they are.
    void setCameraTally(int index, const QString &state);
    // `text` in the status bar (label `statusMessage`, left of the read-outs)
    // for `ms`; a hidden status bar is shown for that long.
    void showStatusMessage(const QString &text, int ms = 5000);

    // Game controller input: creates the window's JoystickWrapper over
    // `layer` (the process's one joystick layer, owned by the caller, alive
    // as long as the window) and connects it to the motion, zoom, focus,
    // preset, image-step and on-screen-menu slots. Call once.
    void setJoysticks(QJoysticks *layer);
    JoystickWrapper *joystickWrapper() const { return m_joystick; }

    // --- Window state shared with the other parts of the program ---
    // The selected camera (nullptr when none or gone) and whether it is
    // connected: read from the control layer.
    CameraWrapper *currentCamera() const;
    bool cameraConnected() const;
    // The next memory button stores a preset instead of recalling it.
    bool presetMode = false;
    // Set when a preset snapshot has been downloaded; cleared by its reader.
    bool imageDownloaded = false;
    // The operator has the preview closed: a connection does not open it.
    bool previewClosed = true;
    // 2 idle (start, after the one-time copy, after a disconnection);
    // 0 connected, first poll cycle running; 1 first cycle done, the next
    // status update copies the camera's values into the widgets. While it is 1
    // the value-carrying widgets send nothing to the camera.
    int uiSyncState = 2;

signals:
    void cameraImageDownloaded(int presetNum);

public slots:
    void onCam1Clicked();
    void onCam2Clicked();
    void onCam3Clicked();
    void onCam4Clicked();
    void onCam5Clicked();
    void onCam6Clicked();
    void onCam7Clicked();
    void onCam8Clicked();
    void onStopMoving();
    void onStopZooming();
    void onStopFocusing();
    void autoFocusClick();
    void onMoveTop();
    void onMoveLeft();
    void onMoveBottom();
    void onMoveRight();
    void onMoveHome();
    void onZoomIn();
    void onZoomOut();
    void onFocusIn();
    void onFocusOut();
    void onAngleUpLeft();
    void onAngleUpRight();
    void onAngleDownRight();
    void onAngleDownLeft();
    void onAutoFocusChanged();
    void onPanTiltLockClicked();
    void onPanSpeedChanged(int index);
    void onTiltSpeedChanged(int index);
    void onZoomSpeedChanged(int index);
    void onFocusSpeedChanged(int index);
    void onFocusLockClicked();
    void onSwitchCamera(int cameraNum);

    // Camera signals (connected by the application object for all cameras).
    void onCameraConnected();
    void onCameraDisconnected();
    void onCameraStatusUpdated();
    void onCameraStateChanged(QString stateStr);
    void onCameraReadOneCycle();
    void onCameraNameGetFinished();
    // The selected camera's replies stopped or came back (re-read from the
    // layer: the signal arrives queued).
    void onRepliesStaleChanged();
    // Settings menu: stored, then applied to every camera.
    void onAutoReconnectToggled(bool on);

    // Menus and views.
    void onMultiCameraClicked();
    void onJoyStickClicked();
    void onPanTiltLimitSettingClicked();
    void onSnapshotPathClicked();
    void onWebServerSettingsClicked();
    void onPresetSettingDlgClicked();
    void onExitClicked();
    void onCompactViewClicked();
    void onAdvancedViewClicked();
    void onStatusBarToggle();
    void onPreviewWindowClicked();
    void onPreviewWindowBtnClicked();
    void onBoudingSettingClicked();
    void onAboutUsClicked();
    void onXboxHelpClicked();
    void onHotkeyHelpClicked();
    void onHelpClicked();

    // --- Presets ---
    // Memory buttons 1-9: recall, or store in store mode (a name dialog
    // follows; the window is back in recall mode afterwards).
    void onMem1Clicked();
    void onMem2Clicked();
    void onMem3Clicked();
    void onMem4Clicked();
    void onMem5Clicked();
    void onMem6Clicked();
    void onMem7Clicked();
    void onMem8Clicked();
    void onMem9Clicked();
    void onPresetModeSet();
    void onRecallModeSet();
    // Recalls presetNum on the connected camera, then replays the exposure
    // stored with it.
    void onCallPreset(int presetNum);
    // Sends the preset recall speed (list index 0-23 = speed 1-24).
    void onSetPresetSpeedBtnClicked();
    // A snapshot of presetNum has been saved: thumbnail of mem1-mem6 reloaded.
    void onCameraDownloadFinished(int presetNum);
    // Actions of the preset setting dialog.
    void presetSettingDlgSet(int n, QString presetText);
    void presetSettingDlgRecall(int n);
    void presetSettingDlgClearImage(int n);
    void presetSettingDlgClearPreset(int n);
    void presetSettingDlgMoveUpPress();
    void presetSettingDlgMoveDownPress();
    void presetSettingDlgMoveLeftPress();
    void presetSettingDlgMoveRightPress();
    void presetSettingDlgZoomInPress();
    void presetSettingDlgZoomOutPress();
    void presetSettingDlgMoveHome();
    void presetSettingDlgMoveUpRelease();
    void presetSettingDlgMoveDownRelease();
    void presetSettingDlgMoveLeftRelease();
    void presetSettingDlgMoveRightRelease();
    void presetSettingDlgZoomInRelease();
    void presetSettingDlgZoomOutRelease();
    // Stores the name of preset n of the current camera and, with
    // storeExposure checked, the eight exposure, image and white-balance
    // values of the panel.
    void savePreset(int n, const QString &name);
    // Empty name and all eight stored exposure values 0 for preset n.
    void clearPresetSettings(int n);
    // Replays the exposure stored with presetNum on the current camera from
    // stage `step` (normally 0) on, one stage per replay interval. The replay
    // stops when storeExposure is unchecked, the camera disconnects or
    // another camera is selected.
    void applyStoredExposure(int presetNum, int step = 0);
    // Interval between two replay stages; 500 ms unless changed (tests).
    void setExposureReplayInterval(int ms);

    // --- Exposure, image and colour ---
    void onAeModeSelected(int index);
    void onShutterComboChanged(int index);
    void onIrisComboChanged(int index);
    void onBrightComboChanged(int index);
    void onWBModeSelected(int index);
    void onShutterUpClicked();
    void onShutterDownClicked();
    void onIrisUpClicked();
    void onIrisDownClicked();
    void onBrightUpClicked();
    void onBrightDownClicked();
    void onLuminanceSliderMoved(int pos);
    void onContrastSliderMoved(int pos);
    void onHueSliderMoved(int pos);
    // Joystick image steps: every third call (counted across the three)
    // moves its slider by one, clamped to 0-14.
    void onLuminanceChangeTriggered(bool increase);
    void onContrastChangeTriggered(bool increase);
    void onHueChangeTriggered(bool increase);
    void onLowLightBtnClicked();
    void onSportsDayBtnClicked();
    void onSportsNightBtnClicked();
    void onOnePushTriggerBtnClicked();
    void onOsdMenuClicked();
    void onOsdEnterClicked();
    void onOsdBackClicked();
    void onImageFlip();
    void onImageMirror();
    void onMotionSyncOnClicked();
    void onMotionSyncOffClicked();

protected:
    bool event(QEvent *e) override;

private:
    // Selection changed in the layer: button styles, preset buttons, and
    // status-bar read-outs reset until the new camera reports.
    void onCurrentCameraChanged(CameraWrapper *camera, int index);
    // Speed lists, selections and the lock from the layer (signals blocked).
    void syncSpeedWidgets();
    void applyExposureStageValue(int stage, int value);
    void wireMotionButtons();
    void wireMenus();
    void createStatusLabels();
    void applyCompactView();
    // Resizes the window to its content's size hint after a view change.
    void fitToContent();
    void showPreview();
    void markDisconnected();
    void resetStatusReadouts();
    // A camera is selected and connected: control paths may act on it.
    bool canDrive() const;
    QList<QPushButton *> cameraButtons() const;
    AppSettings *settings() const { return m_settings; }

    // --- Keyboard hotkeys and game controller (mainwindow_input.cpp) ---
    class HotkeyFilter;
    // Installs the hotkey filter (construction).
    void setupHotkeys();
    // W/A/S/D/Q/E and F1-F9 while "is hotkey available": true when the event
    // is a hotkey and has been taken (auto-repeats included).
    bool handleHotkey(const QKeyEvent *e, bool pressed);
    // The key of a taken press is really up: stop, or recall for F1-F9.
    void actOnHotkeyRelease(int key);
    HotkeyFilter *m_hotkeyFilter = nullptr;
    QJoysticks *m_joysticks = nullptr;
    JoystickWrapper *m_joystick = nullptr;

    std::unique_ptr<Ui::MainWindow> ui;
    AppSettings *m_settings;
    CameraControl *m_control;
    MessagePresenter *m_messages;
    bool m_advancedView = true;
    std::function<void()> m_openWebServerSettings;
    std::function<void()> m_openTallySettings;
    QLabel *m_statusMessage = nullptr;
    QTimer *m_statusMessageTimer = nullptr;
    // The status bar is shown only for a message.
    bool m_statusBarForMessage = false;

    // Status-bar labels (object names panStatus ... connectionStatus).
    QLabel *m_panLabel = nullptr;
    QLabel *m_tiltLabel = nullptr;
    QLabel *m_zoomLabel = nullptr;
    QLabel *m_focusLabel = nullptr;
    QLabel *m_shutterLabel = nullptr;
    QLabel *m_irisLabel = nullptr;
    QLabel *m_brightLabel = nullptr;
    QLabel *m_deviceNameLabel = nullptr;
    QLabel *m_serialNumberLabel = nullptr;
    QLabel *m_connectionLabel = nullptr;
    // Connection text hidden while the stale text is shown.
    QString m_textBeforeStale;
    bool m_showingStale = false;

    HelpWin *m_helpWin = nullptr;

    // --- Preview, image preview map and preset setting dialog ---
    // (mainwindow_preview.cpp) They know cameras only by type and id, handed
    // to them from the layer's selection and connection signals.
    // Creates and wires the three windows (construction).
    void setupPreviewWindows(std::unique_ptr<MediaPlayer> player);
    // The selection changed: the windows take the new camera (or none); a
    // different camera stops the preview.
    void previewFollowCamera(CameraWrapper *camera);
    // The windows let go of every camera (the list is being released).
    void previewReleaseCamera();
    // The selected camera connected: the windows learn it, and unless the
    // operator has the preview closed it is shown and restarted.
    void previewCameraConnected();
    // Starts the stream when a camera is connected and it is not playing.
    void startPreviewIfIdle();
    // The camera draws its on-screen menu on stream 1 only: a preview playing
    // stream 2 switches to stream 1.
    void previewShowMainStream();
    PreviewWin *m_previewWindow = nullptr;
    BoundingBoxSettings *m_boundingBoxWindow = nullptr;
    PresetSettingDlg *m_presetSettingDlg = nullptr;

    // --- Presets ---
    // Builds and wires the preset widgets inside presetGroup (construction).
    void setupPresetWidgets();
    // Names and thumbnails of the memory buttons for the current camera.
    void refreshPresetButtons();
    void memoryButtonClicked(int n);
    void presetSettingDlgMoveRelease();
    QRadioButton *m_presetModeRadio = nullptr;
    QRadioButton *m_recallModeRadio = nullptr;
    QPushButton *m_memButtons[9] = {};
    QCheckBox *m_storeExposure = nullptr;
    QComboBox *m_presetSpeed = nullptr;
    QPushButton *m_applyPresetSpeedBtn = nullptr;

    // --- Exposure, image and colour ---
    // Builds, wires and fills the widgets inside exposurePanel (construction).
    void setupExposureWidgets();
    // Iris, shutter and bright status texts; while uiSyncState is 1 also loads
    // the camera's exposure, image and white-balance values into the widgets.
    void updateExposureStatus();
    // Cancels a running replay of exposure values stored with a preset.
    void stopExposureReplay();
    // A camera is connected and the one-time sync is not running.
    bool canSendExposure() const;
    // Enables the shutter, iris and bright controls for an AE mode list index.
    void applyAeModeEnabling(int index);
    void stepImageSlider(QSlider *slider, bool increase);
    // AE mode "Manual", then the shutter and iris list indices.
    void applyScene(int shutterIndex, int irisIndex);
    QComboBox *m_aeModeSelect = nullptr;
    QComboBox *m_shutterCombo = nullptr;
    QComboBox *m_irisCombo = nullptr;
    QComboBox *m_brightCombo = nullptr;
    QComboBox *m_wbCombo = nullptr;
    QPushButton *m_shutterUp = nullptr;
    QPushButton *m_shutterDown = nullptr;
    QPushButton *m_irisUp = nullptr;
    QPushButton *m_irisDown = nullptr;
    QPushButton *m_brightUp = nullptr;
    QPushButton *m_brightDown = nullptr;
    QPushButton *m_onePushTriggerBtn = nullptr;
    QPushButton *m_imgFlipBtn = nullptr;
    QPushButton *m_imgMirrorBtn = nullptr;
    QSlider *m_luminanceSlider = nullptr;
    QSlider *m_contrastSlider = nullptr;
    QSlider *m_hueSlider = nullptr;
    // Calls of the three joystick image step slots, modulo 3.
    int m_imageStepCounter = 0;
};
