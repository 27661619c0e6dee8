#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "boundingboxsettings.h"
#include "cameracontrol.h"
#include "presetsettingdlg.h"
#include "previewwin.h"

#include <QAction>
#include <QSignalBlocker>

namespace {

constexpr Qt::WindowFlags kOwnedWindowFlags =
    Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

} // namespace

void MainWindow::setupPreviewWindows(std::unique_ptr<MediaPlayer> player)
{
    m_previewWindow = player ? new PreviewWin(std::move(player), this) : new PreviewWin(this);
    m_previewWindow->setModal(false);
    m_previewWindow->setWindowFlags(kOwnedWindowFlags);
    m_previewWindow->setDockHost(centralWidget());
    AppSettings *s = settings();
    m_previewWindow->setSnapshotFolderSource([s]() { return s ? s->snapshotPath() : QString(); });
    // The node the camera's own control session opened, never a name match:
    // two identical cameras share a name, and drivers cut names to 31 bytes.
    m_previewWindow->setCaptureDeviceLookup([this](const QString &id) {
        CameraWrapper *camera = currentCamera();
        return camera && camera->getCameraId() == id ? camera->captureDevicePath() : QString();
    });
    connect(m_previewWindow, &PreviewWin::closed, this, &MainWindow::previewWindowClosed);
    // The preview asks only while it plays, which it does only while its
    // camera is connected; the layer drives the selected camera.
    connect(m_previewWindow, &PreviewWin::homeRequested, m_control, &CameraControl::moveHome);
    connect(m_previewWindow, &PreviewWin::presetRequested, m_control, [this](int cameraPreset) {
        // A map box recalls the position alone: no stored exposure belongs
        // to the map's presets.
        m_control->recallPresetPosition(cameraPreset);
    });

    m_boundingBoxWindow = new BoundingBoxSettings(settings(), m_previewWindow, this);
    m_boundingBoxWindow->setModal(false);
    m_boundingBoxWindow->setWindowFlags(kOwnedWindowFlags);
    connect(m_boundingBoxWindow, &BoundingBoxSettings::storePresetRequested, m_control,
            [this](int cameraPreset) { m_control->storePresetPosition(cameraPreset, false); });

    m_presetSettingDlg = new PresetSettingDlg(settings(), this);
    m_presetSettingDlg->setModal(false);
    m_presetSettingDlg->setWindowFlags(kOwnedWindowFlags);
    PresetSettingDlg *d = m_presetSettingDlg;
    connect(d, &PresetSettingDlg::setPreset, this, &MainWindow::presetSettingDlgSet);
    connect(d, &PresetSettingDlg::recallPreset, this, &MainWindow::presetSettingDlgRecall);
    connect(d, &PresetSettingDlg::clearImage, this, &MainWindow::presetSettingDlgClearImage);
    connect(d, &PresetSettingDlg::clearPreset, this, &MainWindow::presetSettingDlgClearPreset);
    connect(d, &PresetSettingDlg::moveUpPress, this, &MainWindow::presetSettingDlgMoveUpPress);
    connect(d, &PresetSettingDlg::moveDownPress, this, &MainWindow::presetSettingDlgMoveDownPress);
    connect(d, &PresetSettingDlg::moveLeftPress, this, &MainWindow::presetSettingDlgMoveLeftPress);
    connect(d, &PresetSettingDlg::moveRightPress, this,
            &MainWindow::presetSettingDlgMoveRightPress);
    connect(d, &PresetSettingDlg::zoomInPress, this, &MainWindow::presetSettingDlgZoomInPress);
    connect(d, &PresetSettingDlg::zoomOutPress, this, &MainWindow::presetSettingDlgZoomOutPress);
    connect(d, &PresetSettingDlg::moveHome, this, &MainWindow::presetSettingDlgMoveHome);
    connect(d, &PresetSettingDlg::moveUpRelease, this, &MainWindow::presetSettingDlgMoveUpRelease);
    connect(d, &PresetSettingDlg::moveDownRelease, this,
            &MainWindow::presetSettingDlgMoveDownRelease);
    connect(d, &PresetSettingDlg::moveLeftRelease, this,
            &MainWindow::presetSettingDlgMoveLeftRelease);
    connect(d, &PresetSettingDlg::moveRightRelease, this,
            &MainWindow::presetSettingDlgMoveRightRelease);
    connect(d, &PresetSettingDlg::zoomInRelease, this, &MainWindow::presetSettingDlgZoomInRelease);
    connect(d, &PresetSettingDlg::zoomOutRelease, this,
            &MainWindow::presetSettingDlgZoomOutRelease);

    // Emitted while the old cameras are still alive: a held pad button's
    // release still reaches its camera, and the preview stops first.
    connect(m_control, &CameraControl::aboutToReleaseCameras, this,
            &MainWindow::previewReleaseCamera);
    previewFollowCamera(currentCamera());
}

void MainWindow::previewFollowCamera(CameraWrapper *camera)
{
    if (!camera) {
        previewReleaseCamera();
        return;
    }
    const int type = camera->getCameraType();
    const QString id = camera->getCameraId();
    const bool connected = m_control->isConnected();
    m_presetSettingDlg->setCamera(type, id);
    m_previewWindow->setSource(type, id);
    if (type == CameraWrapper::NetworkCamera)
        m_previewWindow->setStreamAddresses(camera->streamAddress(1), camera->streamAddress(2));
    // A camera without snapshots of its own takes preset thumbnails from here.
    camera->setFrameSource([preview = QPointer<PreviewWin>(m_previewWindow)] {
        return preview && preview->isPlaying() ? preview->currentFrame() : QImage();
    });
    m_previewWindow->setConnected(connected);
    m_boundingBoxWindow->setCamera(type, id, connected);
}

void MainWindow::previewReleaseCamera()
{
    m_presetSettingDlg->setCamera(-1, QString());
    m_previewWindow->setConnected(false);
    m_previewWindow->setSource(-1, QString());
    m_boundingBoxWindow->setCamera(-1, QString(), false);
}

void MainWindow::previewCameraConnected()
{
    previewFollowCamera(currentCamera());
    if (previewClosed)
        return;
    if (!ui->actionPreviewWindow->isChecked()) {
        const QSignalBlocker blocker(ui->actionPreviewWindow);
        ui->actionPreviewWindow->setChecked(true);
        showPreview();
    }
    // A reconnection restarts the stream.
    m_previewWindow->onStopBtnClicked();
    m_previewWindow->onStartBtnClicked();
}

void MainWindow::startPreviewIfIdle()
{
    if (m_control->isConnected() && !m_previewWindow->isPlaying())
        m_previewWindow->onStartBtnClicked();
}

void MainWindow::previewShowMainStream()
{
    if (!m_previewWindow->isPlaying() || m_previewWindow->isFirstStreamChecked())
        return;
    m_previewWindow->setFirstStreamChecked(true);
    m_previewWindow->onStreamChanged();
}
