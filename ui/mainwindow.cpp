#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "applog.h"
#include "appsettings.h"
#include "corvantaapp.h"
#include "helpwindows.h"
#include "pantiltlimitdlg.h"
#include "placeholderwindow.h"
#include "storagepaths.h"
#include "theme.h"

#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QSignalBlocker>

#include <cstdio>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcUi, "corvanta.ui")

namespace {

constexpr int kCameraButtons = 8;
// With the pan/tilt lock on, pan and tilt share one index; the tilt list of a
// network camera has 20 entries, so the shared index stops at 19.
constexpr int kLockedSpeedIndexMax = 19;
constexpr int kLockSpeedIndex = 6;
constexpr int kMaxSpeedEntries = 256;

const QLatin1String kNoDeviceName("Device Name");
const QLatin1String kNoSerialNumber("Serial Number");
const QLatin1String kUnconnected("Unconnected");

CorvantaApp *app()
{
    return CorvantaApp::instance();
}

QString positionText(const char *name, const uint8_t *digits)
{
    return QString::asprintf("%s:%x%x%x%x", name, digits[0], digits[1], digits[2], digits[3]);
}

} // namespace

AppSettings *MainWindow::settings()
{
    return app() ? app()->settings() : nullptr;
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Corvanta App") + QStringLiteral(" - ") +
                   QStringLiteral("v1.4.1"));
    setStyleSheet(Theme::mainWindowStyleSheet());
    for (QPushButton *b : cameraButtons())
        b->setStyleSheet(Theme::cameraButtonStyle());
    for (QPushButton *b :
         {ui->MoveTop, ui->MoveBottom, ui->MoveLeft, ui->MoveRight, ui->angleUpLeft,
          ui->angleUpRight, ui->angleDownLeft, ui->angleDownRight, ui->MoveHome, ui->ZoomIn,
          ui->ZoomOut, ui->focusIn, ui->focusOut, ui->tvBtn})
        Theme::dimWhenDisabled(b);

    wireMotionButtons();

    // Speed lists hold the single entry "0" until a camera connects; the
    // preset and exposure widgets are wired and filled right after them.
    fillSpeedCombo(ui->panSpeed, {});
    fillSpeedCombo(ui->tiltSpeed, {});
    fillSpeedCombo(ui->zoomSpeed, {});
    fillSpeedCombo(ui->focusSpeed, {});
    setupPresetWidgets();
    setupExposureWidgets();

    wireMenus();
    createStatusLabels();
    refreshCameraButtons();
    cameraConnected = false;
    currentCamera = nullptr;

    // Owned windows, all non-modal.
    m_helpWin = new HelpWin(this);
    m_helpWin->setModal(false);
    m_helpWin->setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    m_previewWindow = new PlaceholderWindow(
        QStringLiteral("Preview"), QStringLiteral("The live preview is not available yet."), this);
    connect(m_previewWindow, &PlaceholderWindow::closed, this, &MainWindow::previewWindowClosed);
    m_boundingBoxWindow =
        new PlaceholderWindow(QStringLiteral("Image Preview Map"),
                              QStringLiteral("The image preview map is not available yet."), this);

    // The window starts compact.
    applyCompactView();
}

MainWindow::~MainWindow()
{
    delete m_boundingBoxWindow;
    delete m_previewWindow;
    delete m_helpWin;
}

bool MainWindow::writeLog(const QString &line)
{
    return AppLog::append(line);
}

QList<QPushButton *> MainWindow::cameraButtons() const
{
    return {ui->connectCam1, ui->connectCam2, ui->connectCam3, ui->connectCam4,
            ui->connectCam5, ui->connectCam6, ui->connectCam7, ui->connectCam8};
}

void MainWindow::wireMotionButtons()
{
    connect(ui->MoveTop, &QPushButton::pressed, this, &MainWindow::onMoveTop);
    connect(ui->MoveBottom, &QPushButton::pressed, this, &MainWindow::onMoveBottom);
    connect(ui->MoveLeft, &QPushButton::pressed, this, &MainWindow::onMoveLeft);
    connect(ui->MoveRight, &QPushButton::pressed, this, &MainWindow::onMoveRight);
    connect(ui->angleUpLeft, &QPushButton::pressed, this, &MainWindow::onAngleUpLeft);
    connect(ui->angleUpRight, &QPushButton::pressed, this, &MainWindow::onAngleUpRight);
    connect(ui->angleDownRight, &QPushButton::pressed, this, &MainWindow::onAngleDownRight);
    connect(ui->angleDownLeft, &QPushButton::pressed, this, &MainWindow::onAngleDownLeft);
    for (QPushButton *b :
         {ui->MoveTop, ui->MoveBottom, ui->MoveLeft, ui->MoveRight, ui->angleUpLeft,
          ui->angleUpRight, ui->angleDownRight, ui->angleDownLeft})
        connect(b, &QPushButton::released, this, &MainWindow::onStopMoving);
    connect(ui->MoveHome, &QPushButton::pressed, this, &MainWindow::onMoveHome);
    connect(ui->ZoomIn, &QPushButton::pressed, this, &MainWindow::onZoomIn);
    connect(ui->ZoomOut, &QPushButton::pressed, this, &MainWindow::onZoomOut);
    connect(ui->ZoomIn, &QPushButton::released, this, &MainWindow::onStopZooming);
    connect(ui->ZoomOut, &QPushButton::released, this, &MainWindow::onStopZooming);
    connect(ui->focusIn, &QPushButton::pressed, this, &MainWindow::onFocusIn);
    connect(ui->focusOut, &QPushButton::pressed, this, &MainWindow::onFocusOut);
    connect(ui->focusIn, &QPushButton::released, this, &MainWindow::onStopFocusing);
    connect(ui->focusOut, &QPushButton::released, this, &MainWindow::onStopFocusing);

    connect(ui->lockFocus, &QCheckBox::pressed, this, &MainWindow::onFocusLockClicked);
    connect(ui->autoFocus, &QCheckBox::clicked, this, &MainWindow::onAutoFocusChanged);
    connect(ui->panTiltLock, &QCheckBox::stateChanged, this, &MainWindow::onPanTiltLockClicked);
    connect(ui->panSpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onPanSpeedChanged);
    connect(ui->tiltSpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onTiltSpeedChanged);
    connect(ui->zoomSpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onZoomSpeedChanged);
    connect(ui->focusSpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onFocusSpeedChanged);

    connect(ui->connectCam1, &QPushButton::clicked, this, &MainWindow::onCam1Clicked);
    connect(ui->connectCam2, &QPushButton::clicked, this, &MainWindow::onCam2Clicked);
    connect(ui->connectCam3, &QPushButton::clicked, this, &MainWindow::onCam3Clicked);
    connect(ui->connectCam4, &QPushButton::clicked, this, &MainWindow::onCam4Clicked);
    connect(ui->connectCam5, &QPushButton::clicked, this, &MainWindow::onCam5Clicked);
    connect(ui->connectCam6, &QPushButton::clicked, this, &MainWindow::onCam6Clicked);
    connect(ui->connectCam7, &QPushButton::clicked, this, &MainWindow::onCam7Clicked);
    connect(ui->connectCam8, &QPushButton::clicked, this, &MainWindow::onCam8Clicked);

    connect(ui->tvBtn, &QPushButton::clicked, this, &MainWindow::onPreviewWindowBtnClicked);
}

void MainWindow::wireMenus()
{
    connect(ui->actionMultiCameras, &QAction::triggered, this, &MainWindow::onMultiCameraClicked);
    connect(ui->actionJoyStick, &QAction::triggered, this, &MainWindow::onJoyStickClicked);
    connect(ui->actionPanTiltLimitSetting, &QAction::triggered, this,
            &MainWindow::onPanTiltLimitSettingClicked);
    connect(ui->actionSnapshotPath, &QAction::triggered, this, &MainWindow::onSnapshotPathClicked);
    connect(ui->actionWebServerSetting, &QAction::triggered, this,
            &MainWindow::onWebServerSettingsClicked);
    connect(ui->actionPresetSetting, &QAction::triggered, this,
            &MainWindow::onPresetSettingDlgClicked);
    connect(ui->actionExit, &QAction::triggered, this, &MainWindow::onExitClicked);
    connect(ui->actionCompactMode, &QAction::triggered, this, &MainWindow::onCompactViewClicked);
    connect(ui->actionAdvancedMode, &QAction::triggered, this, &MainWindow::onAdvancedViewClicked);
    connect(ui->actionStatusBar, &QAction::triggered, this, &MainWindow::onStatusBarToggle);
    connect(ui->actionPreviewWindow, &QAction::triggered, this,
            &MainWindow::onPreviewWindowClicked);
    connect(ui->actionBoundingBoxSetting, &QAction::triggered, this,
            &MainWindow::onBoudingSettingClicked);
    connect(ui->actionAboutUs, &QAction::triggered, this, &MainWindow::onAboutUsClicked);
    connect(ui->actionXboxHelp, &QAction::triggered, this, &MainWindow::onXboxHelpClicked);
    connect(ui->actionHotKeyHelp, &QAction::triggered, this, &MainWindow::onHotkeyHelpClicked);
    connect(ui->actionHelp, &QAction::triggered, this, &MainWindow::onHelpClicked);
}

void MainWindow::createStatusLabels()
{
    struct StatusLabel
    {
        QLabel **label;
        const char *name;
        const char *text;
        int stretch;
    };
    const StatusLabel labels[] = {
        {&m_panLabel, "panStatus", "Pan", 1},
        {&m_tiltLabel, "tiltStatus", "Tilt", 1},
        {&m_zoomLabel, "zoomStatus", "Zoom", 1},
        {&m_focusLabel, "focusStatus", "Focus", 1},
        {&m_shutterLabel, "shutterStatus", "Shutter", 1},
        {&m_irisLabel, "irisStatus", "Iris", 1},
        {&m_brightLabel, "brightStatus", "Bright", 1},
        {&m_deviceNameLabel, "deviceNameStatus", "Device Name", 2},
        {&m_serialNumberLabel, "serialNumberStatus", "Serial Number", 1},
        {&m_connectionLabel, "connectionStatus", "Disconnected", 1},
    };
    for (const StatusLabel &s : labels) {
        auto *label = new QLabel(QString::fromLatin1(s.text), ui->statusBar);
        label->setObjectName(QString::fromLatin1(s.name));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ui->statusBar->addPermanentWidget(label, s.stretch);
        *s.label = label;
    }
}

// --- Camera selection ---

void MainWindow::refreshCameraButtons()
{
    if (!app())
        return;
    const QList<CameraWrapper *> cams = app()->cameras();
    const QList<QPushButton *> buttons = cameraButtons();
    for (int i = 0; i < kCameraButtons && i < cams.size(); ++i)
        buttons[i]->setText(cams[i]->getCameraName().left(10));
}

void MainWindow::selectCamera(int index)
{
    stopExposureReplay();
    const QList<QPushButton *> buttons = cameraButtons();
    if (index < 0 || index >= kCameraButtons || !app())
        return;
    const QList<CameraWrapper *> cams = app()->cameras();
    if (index >= cams.size())
        return;

    for (QPushButton *b : buttons)
        b->setStyleSheet(Theme::cameraButtonStyle());
    buttons[index]->setStyleSheet(Theme::selectedCameraButtonStyle());

    CameraWrapper *cam = cams[index];
    if (currentCamera && currentCamera != cam) {
        currentCamera->disconnectCamera();
        // The new camera is not connected until it reports so; nothing may be
        // sent to it before (a network camera keeps no clientDisconnected of
        // its own to clear the flag).
        cameraConnected = false;
        uiSyncState = 2;
    }
    qCDebug(lcUi) << "selecting camera" << index + 1 << cam->getCameraId();
    currentCamera = cam;
    // The camera list can be rebuilt from elsewhere (web interface): never keep
    // a pointer to a released camera.
    connect(cam, &QObject::destroyed, this, &MainWindow::onCameraObjectDestroyed,
            Qt::UniqueConnection);
    refreshPresetButtons();
    cam->connectCamera();
}

void MainWindow::onCam1Clicked()
{
    selectCamera(0);
}
void MainWindow::onCam2Clicked()
{
    selectCamera(1);
}
void MainWindow::onCam3Clicked()
{
    selectCamera(2);
}
void MainWindow::onCam4Clicked()
{
    selectCamera(3);
}
void MainWindow::onCam5Clicked()
{
    selectCamera(4);
}
void MainWindow::onCam6Clicked()
{
    selectCamera(5);
}
void MainWindow::onCam7Clicked()
{
    selectCamera(6);
}
void MainWindow::onCam8Clicked()
{
    selectCamera(7);
}

void MainWindow::onSwitchCamera(int cameraNum)
{
    if (cameraNum >= 1 && cameraNum <= 4)
        selectCamera(cameraNum - 1);
}

void MainWindow::fillSpeedCombo(QComboBox *combo, const SpeedRange &range)
{
    // Programmatic refill: the speed slots must not store the transient
    // indices of a half-built list.
    const QSignalBlocker blocker(combo);
    combo->clear();
    int first = range.min;
    if (range.max > 0 && range.min == 0)
        first = 1;
    else if (range.max == 0)
        first = 0;
    // A camera reports its own ranges; a list never grows past what a speed
    // byte can carry.
    for (qint64 v = first; v <= range.max && combo->count() < kMaxSpeedEntries; ++v)
        combo->addItem(QString::number(v));
    combo->setCurrentIndex(combo->findText(QString::number(range.defaultValue)));
}

void MainWindow::applyCameraControlSettings()
{
    AppSettings *s = settings();
    if (!currentCamera || !s)
        return;
    const QString id = currentCamera->getCameraId();
    // Stored indices are read before anything is refilled or re-selected.
    const int panIndex = s->panSpeedIndex(id);
    const int tiltIndex = s->tiltSpeedIndex(id);
    const int zoomIndex = s->zoomSpeedIndex(id);
    const int focusIndex = s->focusSpeedIndex(id);

    {
        const QSignalBlocker blocker(ui->panTiltLock);
        ui->panTiltLock->setChecked(s->panTiltLocked(id));
    }
    fillSpeedCombo(ui->panSpeed, currentCamera->getPanSpeedRange());
    fillSpeedCombo(ui->tiltSpeed, currentCamera->getTiltSpeedRange());
    fillSpeedCombo(ui->zoomSpeed, currentCamera->getZoomSpeedRange());
    fillSpeedCombo(ui->focusSpeed, currentCamera->getFocusSpeedRange());

    // The settings file is untrusted: an index outside the list selects the
    // nearest entry rather than none.
    const auto select = [](QComboBox *combo, int index) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(qBound(0, index, combo->count() - 1));
    };
    select(ui->panSpeed, panIndex);
    select(ui->tiltSpeed, tiltIndex);
    select(ui->zoomSpeed, zoomIndex);
    select(ui->focusSpeed, focusIndex);
    // Run the speed slots once each, pan first, as selecting the entries one
    // after the other would: they align pan and tilt under the lock (the tilt
    // selection last) and store the indices in effect.
    onPanSpeedChanged(ui->panSpeed->currentIndex());
    select(ui->tiltSpeed, tiltIndex);
    onTiltSpeedChanged(ui->tiltSpeed->currentIndex());
    onZoomSpeedChanged(ui->zoomSpeed->currentIndex());
    onFocusSpeedChanged(ui->focusSpeed->currentIndex());
}

// --- Camera signals ---

void MainWindow::onCameraConnected()
{
    auto *from = qobject_cast<CameraWrapper *>(sender());
    if (from && from != currentCamera) {
        // A camera the operator has moved away from finished connecting late:
        // only the selected camera stays connected.
        from->disconnectCamera();
        return;
    }
    writeLog(AppLog::connectedLine());
    cameraConnected = true;
    ui->focusIn->setEnabled(false);
    ui->focusOut->setEnabled(false);
    uiSyncState = 0;
    applyCameraControlSettings();
    if (!previewClosed && !ui->actionPreviewWindow->isChecked())
        ui->actionPreviewWindow->trigger();
    m_connectionLabel->setText(QStringLiteral("Connected"));
    if (currentCamera) {
        m_deviceNameLabel->setText(currentCamera->getDeviceName());
        m_serialNumberLabel->setText(currentCamera->getSerialNumber());
    }
}

void MainWindow::onCameraDisconnected()
{
    writeLog(AppLog::disconnectedLine());
    auto *from = qobject_cast<CameraWrapper *>(sender());
    if (from && currentCamera && from != currentCamera)
        return; // a camera that is not the selected one; the selection stays
    markDisconnected();
}

void MainWindow::markDisconnected()
{
    stopExposureReplay();
    cameraConnected = false;
    ui->focusIn->setEnabled(false);
    ui->focusOut->setEnabled(false);
    currentCamera = nullptr;
    uiSyncState = 2;
    m_connectionLabel->setText(kUnconnected);
    m_deviceNameLabel->setText(kNoDeviceName);
    m_serialNumberLabel->setText(kNoSerialNumber);
}

void MainWindow::onCameraObjectDestroyed(QObject *camera)
{
    if (camera != currentCamera)
        return;
    for (QPushButton *b : cameraButtons())
        b->setStyleSheet(Theme::cameraButtonStyle());
    markDisconnected();
    refreshCameraButtons();
}

void MainWindow::onCameraStatusUpdated()
{
    auto *from = qobject_cast<CameraWrapper *>(sender());
    if (from && from != currentCamera)
        return;
    updateStatus();
}

void MainWindow::updateStatus()
{
    if (!currentCamera)
        return;
    const CameraStatus &st = currentCamera->status();
    m_panLabel->setText(positionText("Pan", st.panTiltPos));
    m_tiltLabel->setText(positionText("Tilt", st.panTiltPos + 4));
    m_zoomLabel->setText(positionText("Zoom", st.zoomPos));
    m_focusLabel->setText(positionText("Focus", st.focusPos));
    updateExposureStatus();
    if (uiSyncState == 1) {
        const QSignalBlocker blocker(ui->autoFocus);
        ui->autoFocus->setChecked(st.autoFocus);
        ui->focusIn->setEnabled(!st.autoFocus);
        ui->focusOut->setEnabled(!st.autoFocus);
        uiSyncState = 2;
    }
}

void MainWindow::onCameraStateChanged(QString stateStr)
{
    auto *from = qobject_cast<CameraWrapper *>(sender());
    if (from && from != currentCamera)
        return;
    m_connectionLabel->setText(stateStr);
}

void MainWindow::onCameraReadOneCycle()
{
    auto *from = qobject_cast<CameraWrapper *>(sender());
    if (from && from != currentCamera)
        return;
    if (uiSyncState == 0)
        uiSyncState = 1;
}

void MainWindow::onCameraNameGetFinished()
{
    if (!canDrive())
        return;
    m_deviceNameLabel->setText(currentCamera->getDeviceName());
    m_serialNumberLabel->setText(currentCamera->getSerialNumber());
}

// --- Motion ---

int MainWindow::comboValue(const QComboBox *combo) const
{
    return combo->currentText().toInt();
}

bool MainWindow::canDrive() const
{
    return cameraConnected && currentCamera;
}

void MainWindow::onMoveTop()
{
    if (!canDrive())
        return;
    currentCamera->moveUp(0, comboValue(ui->tiltSpeed));
}

void MainWindow::onMoveBottom()
{
    if (!canDrive())
        return;
    currentCamera->moveDown(0, comboValue(ui->tiltSpeed));
}

void MainWindow::onMoveLeft()
{
    if (!canDrive())
        return;
    currentCamera->moveLeft(comboValue(ui->panSpeed), 0);
}

void MainWindow::onMoveRight()
{
    if (!canDrive())
        return;
    currentCamera->moveRight(comboValue(ui->panSpeed), 0);
}

void MainWindow::onAngleUpLeft()
{
    if (!canDrive())
        return;
    currentCamera->moveUpLeft(comboValue(ui->panSpeed), comboValue(ui->tiltSpeed));
}

void MainWindow::onAngleUpRight()
{
    if (!canDrive())
        return;
    currentCamera->moveUpRight(comboValue(ui->panSpeed), comboValue(ui->tiltSpeed));
}

void MainWindow::onAngleDownRight()
{
    if (!canDrive())
        return;
    currentCamera->moveDownRight(comboValue(ui->panSpeed), comboValue(ui->tiltSpeed));
}

void MainWindow::onAngleDownLeft()
{
    if (!canDrive())
        return;
    currentCamera->moveDownLeft(comboValue(ui->panSpeed), comboValue(ui->tiltSpeed));
}

void MainWindow::onStopMoving()
{
    if (!canDrive())
        return;
    currentCamera->moveStop(0, 0);
}

void MainWindow::onMoveHome()
{
    if (!canDrive())
        return;
    currentCamera->moveHome();
}

void MainWindow::onZoomIn()
{
    if (!canDrive())
        return;
    currentCamera->zoomIn(comboValue(ui->zoomSpeed));
}

void MainWindow::onZoomOut()
{
    if (!canDrive())
        return;
    currentCamera->zoomOut(comboValue(ui->zoomSpeed));
}

void MainWindow::onStopZooming()
{
    if (!canDrive())
        return;
    currentCamera->zoomStop();
}

void MainWindow::onFocusIn()
{
    if (!canDrive())
        return;
    currentCamera->focusIn(comboValue(ui->focusSpeed));
}

void MainWindow::onFocusOut()
{
    if (!canDrive())
        return;
    currentCamera->focusOut(comboValue(ui->focusSpeed));
}

void MainWindow::onStopFocusing()
{
    if (!canDrive())
        return;
    currentCamera->focusStop();
}

// --- Focus and speed ---

void MainWindow::autoFocusClick()
{
    ui->autoFocus->click();
}

void MainWindow::onAutoFocusChanged()
{
    const bool on = ui->autoFocus->isChecked();
    if (!canDrive() || uiSyncState == 1)
        return;
    ui->focusIn->setEnabled(!on);
    ui->focusOut->setEnabled(!on);
    currentCamera->setAutoFocus(on);
}

void MainWindow::onFocusLockClicked()
{
    if (!canDrive())
        return;
    // Runs on press, so the box still shows the state before the press.
    if (ui->lockFocus->isChecked()) {
        currentCamera->setFocusLock(false);
        ui->autoFocus->setEnabled(true);
        const bool manual = !currentCamera->status().autoFocus;
        ui->focusIn->setEnabled(manual);
        ui->focusOut->setEnabled(manual);
    } else {
        currentCamera->setFocusLock(true);
        ui->autoFocus->setEnabled(false);
        ui->focusIn->setEnabled(false);
        ui->focusOut->setEnabled(false);
    }
}

int MainWindow::lockedSpeedIndex(int index) const
{
    // Both lists must hold the shared index, also for a camera whose lists are
    // shorter than a network camera's.
    const int last = qMin(ui->panSpeed->count(), ui->tiltSpeed->count()) - 1;
    return qMin(qMin(index, kLockedSpeedIndexMax), last);
}

void MainWindow::onPanSpeedChanged(int index)
{
    if (ui->panTiltLock->isChecked()) {
        index = lockedSpeedIndex(index);
        if (index < 0)
            return;
        ui->panSpeed->setCurrentIndex(index);
        ui->tiltSpeed->setCurrentIndex(index);
    }
    if (canDrive() && settings())
        settings()->setPanSpeedIndex(currentCamera->getCameraId(), index);
}

void MainWindow::onTiltSpeedChanged(int index)
{
    if (ui->panTiltLock->isChecked()) {
        const int shared = lockedSpeedIndex(index);
        if (shared < 0)
            return;
        ui->panSpeed->setCurrentIndex(shared);
        if (shared != index) {
            ui->tiltSpeed->setCurrentIndex(shared); // stores through this slot
            return;
        }
    }
    if (canDrive() && settings())
        settings()->setTiltSpeedIndex(currentCamera->getCameraId(), index);
}

void MainWindow::onZoomSpeedChanged(int index)
{
    if (canDrive() && settings())
        settings()->setZoomSpeedIndex(currentCamera->getCameraId(), index);
}

void MainWindow::onFocusSpeedChanged(int index)
{
    if (canDrive() && settings())
        settings()->setFocusSpeedIndex(currentCamera->getCameraId(), index);
}

void MainWindow::onPanTiltLockClicked()
{
    const bool locked = ui->panTiltLock->isChecked();
    if (locked) {
        const int shared = lockedSpeedIndex(kLockSpeedIndex);
        ui->panSpeed->setCurrentIndex(shared);
        ui->tiltSpeed->setCurrentIndex(shared);
    }
    if (canDrive() && settings())
        settings()->setPanTiltLocked(currentCamera->getCameraId(), locked);
}

// --- Menus, views and owned windows ---

void MainWindow::rebuildCameraList()
{
    stopExposureReplay();
    // The old camera objects are about to be released: close the selected
    // one's connection first so nothing stays open behind the new list.
    if (currentCamera)
        currentCamera->disconnectCamera();
    if (app()) {
        app()->createCameras();
        app()->connectCameraSignals();
    }
    refreshCameraButtons();
    for (QPushButton *b : cameraButtons())
        b->setStyleSheet(Theme::cameraButtonStyle());
    markDisconnected();
}

void MainWindow::onMultiCameraClicked()
{
    // Opens the camera configuration dialog once it exists; on acceptance it
    // calls rebuildCameraList().
}

void MainWindow::onJoyStickClicked()
{
    // Opens the additional input (game controller) dialog once it exists.
}

void MainWindow::onPanTiltLimitSettingClicked()
{
    if (!canDrive()) {
        if (app())
            app()->onCameraError(QStringLiteral("No camera connected"));
        return;
    }
    PanTiltLimitDlg dialog(this, currentCamera, settings());
    dialog.exec();
}

void MainWindow::onSnapshotPathClicked()
{
    AppSettings *s = settings();
    if (!s)
        return;
    QString start = s->snapshotPath();
    if (start.isEmpty())
        start = Storage::downloadsFolder();
    QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Choose a path to save snapshot"), start,
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        chosen = start;
    s->setSnapshotPath(chosen);
}

void MainWindow::onWebServerSettingsClicked()
{
    // Opens the web server settings dialog once it exists.
}

void MainWindow::onPresetSettingDlgClicked()
{
    // Shows the preset setting dialog once it exists.
}

void MainWindow::onExitClicked()
{
    // The process ends at once, without the destructors; settings still waiting
    // in the store's deferred write-back are written first.
    if (settings())
        settings()->sync();
    std::fflush(nullptr);
    std::_Exit(0);
}

void MainWindow::applyCompactView()
{
    if (!m_advancedView)
        return;
    ui->rightPanel->hide();
    for (QLabel *l : {m_panLabel, m_tiltLabel, m_zoomLabel, m_focusLabel, m_shutterLabel,
                      m_irisLabel, m_brightLabel})
        l->hide();
    centralWidget()->layout()->activate();
    adjustSize();
    m_advancedView = false;
}

void MainWindow::onCompactViewClicked()
{
    applyCompactView();
}

void MainWindow::onAdvancedViewClicked()
{
    if (m_advancedView)
        return;
    ui->rightPanel->show();
    for (QLabel *l : {m_panLabel, m_tiltLabel, m_zoomLabel, m_focusLabel, m_shutterLabel,
                      m_irisLabel, m_brightLabel})
        l->show();
    centralWidget()->layout()->activate();
    adjustSize();
    m_advancedView = true;
}

void MainWindow::onStatusBarToggle()
{
    ui->statusBar->setVisible(ui->actionStatusBar->isChecked());
}

void MainWindow::showPreview()
{
    m_previewWindow->showMaximized();
    previewClosed = false;
}

void MainWindow::onPreviewWindowClicked()
{
    if (ui->actionPreviewWindow->isChecked()) {
        showPreview();
    } else {
        m_previewWindow->close();
        previewClosed = true;
    }
}

void MainWindow::onPreviewWindowBtnClicked()
{
    if (ui->actionPreviewWindow->isChecked())
        return;
    showPreview();
    const QSignalBlocker blocker(ui->actionPreviewWindow);
    ui->actionPreviewWindow->setChecked(true);
}

void MainWindow::previewWindowClosed()
{
    const QSignalBlocker blocker(ui->actionPreviewWindow);
    ui->actionPreviewWindow->setChecked(false);
    previewClosed = true;
}

void MainWindow::onBoudingSettingClicked()
{
    m_boundingBoxWindow->show();
    m_boundingBoxWindow->raise();
}

void MainWindow::onAboutUsClicked()
{
    AboutUs dialog;
    dialog.exec();
}

void MainWindow::onXboxHelpClicked()
{
    XBoxHelp dialog;
    dialog.exec();
}

void MainWindow::onHotkeyHelpClicked()
{
    HotkeyHelp dialog;
    dialog.exec();
}

void MainWindow::onHelpClicked()
{
    m_helpWin->show();
    m_helpWin->raise();
}

bool MainWindow::event(QEvent *e)
{
    // Move events will let the docked live preview follow the window; the
    // stand-in preview has no overlay to move.
    return QMainWindow::event(e);
}
