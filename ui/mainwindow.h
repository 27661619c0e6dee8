#pragma once

#include "camerawrapper.h"

#include <QLoggingCategory>
#include <QMainWindow>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcUi)

class QComboBox;
class QLabel;
class QPushButton;
class HelpWin;
class PlaceholderWindow;

namespace Ui {
class MainWindow;
}

// The operator's control panel. Every control path (buttons, hotkeys, game
// controller, dialogs, web API) acts on `currentCamera`, and only while
// `cameraConnected` is set; without a connected camera those actions do
// nothing. Main thread only.
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
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Appends one line to app.log; false when the file cannot be opened.
    bool writeLog(const QString &line);

    // Selects camera `index` (0-7) of the application's list: disconnects the
    // previous camera if it is another object, then asks camera `index` to
    // connect (again, if it is already the current one).
    void selectCamera(int index);
    // Camera buttons show the first 10 characters of each camera's name.
    void refreshCameraButtons();
    // Fills `combo` with the decimal texts first..max, where first is 1 when
    // min is 0 and max > 0, 0 when max is 0, else min; selects the entry whose
    // text is range.defaultValue (none if absent).
    static void fillSpeedCombo(QComboBox *combo, const SpeedRange &range);
    // Speed lists and pan/tilt lock of the current camera from its ranges and
    // its stored per-camera indices.
    void applyCameraControlSettings();
    // Status-bar texts from the current camera's status record; performs the
    // one-time copy into the widgets while uiSyncState is 1.
    void updateStatus();
    // Rebuilds the application's camera list from the settings (after the
    // camera configuration changed). The old camera objects are released, so
    // the window ends disconnected with no camera selected.
    void rebuildCameraList();
    // Called when the operator closes the preview window.
    void previewWindowClosed();

    bool isAdvancedView() const { return m_advancedView; }

    // --- Window state shared with the other parts of the program ---
    CameraWrapper *currentCamera = nullptr;
    bool cameraConnected = false;
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
    void onCameraDownloadFinished(int presetNum);

    // --- Exposure, image and colour ---

protected:
    bool event(QEvent *e) override;

private slots:
    void onCameraObjectDestroyed(QObject *camera);

private:
    void wireMotionButtons();
    void wireMenus();
    void createStatusLabels();
    void applyCompactView();
    void showPreview();
    void markDisconnected();
    // A camera is selected and connected: control paths may act on it.
    bool canDrive() const;
    int comboValue(const QComboBox *combo) const;
    QList<QPushButton *> cameraButtons() const;

    std::unique_ptr<Ui::MainWindow> ui;
    bool m_advancedView = true;

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

    HelpWin *m_helpWin = nullptr;
    // Stand-ins for the live preview and the image preview map window.
    PlaceholderWindow *m_previewWindow = nullptr;
    PlaceholderWindow *m_boundingBoxWindow = nullptr;

    // --- Presets ---
    // Builds and wires the preset widgets inside presetGroup (construction).
    void setupPresetWidgets();
    // Names and thumbnails of the memory buttons for the current camera.
    void refreshPresetButtons();

    // --- Exposure, image and colour ---
    // Builds, wires and fills the widgets inside exposurePanel (construction).
    void setupExposureWidgets();
    // Iris, shutter and bright status texts; while uiSyncState is 1 also loads
    // the camera's exposure, image and white-balance values into the widgets.
    void updateExposureStatus();
    // Cancels a running replay of exposure values stored with a preset.
    void stopExposureReplay();
};
