#include "mainwindow.h"
#include "literaltext.h"
#include "ui_mainwindow.h"

#include "applog.h"
#include "appsettings.h"
#include "boundingboxsettings.h"
#include "cameracontrol.h"
#include "helpwindows.h"
#include "messagepresenter.h"
#include "multicameras.h"
#include "pantiltlimitdlg.h"
#include "presetsettingdlg.h"
#include "previewwin.h"
#include "storagepaths.h"
#include "theme.h"
#include "usbcamerabackend.h"

#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>

#include <cstdio>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcUi, "corvanta.ui")

namespace {

constexpr int kCameraButtons = 8;

const QLatin1String kNoDeviceName("Device Name");
const QLatin1String kNoSerialNumber("Serial Number");
const QLatin1String kUnconnected("Unconnected");
const QLatin1String kRepliesStale("Not Responding");

QString positionText(const char *name, const uint8_t *digits)
{
    return QString::asprintf("%s:%x%x%x%x", name, digits[0], digits[1], digits[2], digits[3]);
}

} // namespace

MainWindow::MainWindow(AppSettings *settings, CameraControl *control, MessagePresenter *messages,
                       QWidget *parent, std::unique_ptr<MediaPlayer> previewPlayer)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_settings(settings), m_control(control),
      m_messages(messages ? messages : new MessagePresenter(this))
{
    Q_ASSERT(m_control);
    ui->setupUi(this);
    previewClosed = !(m_settings && m_settings->previewOnLaunch());
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
    syncSpeedWidgets();
    setupPresetWidgets();
    setupExposureWidgets();

    wireMenus();
    createStatusLabels();
    refreshCameraButtons();

    m_messages->setParentWidget(this);
    // A box may open under a held button and take its release.
    connect(m_messages, &MessagePresenter::aboutToShow, m_control, &CameraControl::stopAll);

    // Camera signals arrive queued: never inside a camera's socket handler
    // or teardown; each slot re-checks the layer's state when it runs.
    connect(m_control, &CameraControl::connected, this, &MainWindow::onCameraConnected,
            Qt::QueuedConnection);
    connect(m_control, &CameraControl::disconnected, this, &MainWindow::onCameraDisconnected,
            Qt::QueuedConnection);
    connect(m_control, &CameraControl::statusUpdated, this, &MainWindow::onCameraStatusUpdated,
            Qt::QueuedConnection);
    connect(m_control, &CameraControl::stateChanged, this, &MainWindow::onCameraStateChanged,
            Qt::QueuedConnection);
    connect(m_control, &CameraControl::readOneCycle, this, &MainWindow::onCameraReadOneCycle,
            Qt::QueuedConnection);
    connect(m_control, &CameraControl::downloadFinished, this,
            &MainWindow::onCameraDownloadFinished, Qt::QueuedConnection);
    connect(m_control, &CameraControl::nameGetFinished, this, &MainWindow::onCameraNameGetFinished,
            Qt::QueuedConnection);
    connect(m_control, &CameraControl::repliesStaleChanged, this,
            &MainWindow::onRepliesStaleChanged, Qt::QueuedConnection);
    // Emitted by the layer's own operations (selection, rebuild, timers) or
    // after its state is final: widgets only, direct.
    connect(m_control, &CameraControl::currentCameraChanged, this,
            &MainWindow::onCurrentCameraChanged);
    connect(m_control, &CameraControl::camerasChanged, this, &MainWindow::refreshCameraButtons);
    connect(m_control, &CameraControl::speedsChanged, this, &MainWindow::syncSpeedWidgets);
    connect(m_control, &CameraControl::exposureStageDue, this,
            &MainWindow::applyExposureStageValue);

    // Owned windows, all non-modal.
    m_helpWin = new HelpWin(this);
    m_helpWin->setModal(false);
    m_helpWin->setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setupPreviewWindows(std::move(previewPlayer));

    setupHotkeys();

    // The window starts compact.
    applyCompactView();
}

MainWindow::~MainWindow()
{
    // The map overlays the preview: it goes first. The preview stops its
    // player before its widgets go.
    delete m_boundingBoxWindow;
    delete m_previewWindow;
    delete m_helpWin;
    delete m_presetSettingDlg;
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
    const bool autoReconnect = settings() && settings()->autoReconnect();
    ui->actionAutoReconnect->setChecked(autoReconnect);
    m_control->setAutoReconnect(autoReconnect);
    connect(ui->actionAutoReconnect, &QAction::toggled, this, &MainWindow::onAutoReconnectToggled);
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
        label->setTextFormat(Qt::PlainText); // device names come from the camera
        label->setObjectName(QString::fromLatin1(s.name));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ui->statusBar->addPermanentWidget(label, s.stretch);
        *s.label = label;
    }
}

// --- Camera selection ---

void MainWindow::refreshCameraButtons()
{
    const QList<CameraWrapper *> cams = m_control->cameras();
    const QList<QPushButton *> buttons = cameraButtons();
    for (int i = 0; i < kCameraButtons && i < cams.size(); ++i) {
        if (cams[i])
            buttons[i]->setText(LiteralText::forButton(cams[i]->getCameraName().left(10)));
    }
}

CameraWrapper *MainWindow::currentCamera() const
{
    return m_control->camera();
}

bool MainWindow::cameraConnected() const
{
    return m_control->isConnected();
}

void MainWindow::selectCamera(int index)
{
    // A pad button held in the preset dialog gets its release (to the camera
    // it moves) before the selection moves on.
    if (index != m_control->currentIndex())
        m_presetSettingDlg->setCamera(-1, QString());
    if (!m_control->selectCamera(index))
        previewFollowCamera(currentCamera());
}

void MainWindow::onCurrentCameraChanged(CameraWrapper *camera, int index)
{
    previewFollowCamera(camera);
    const QList<QPushButton *> buttons = cameraButtons();
    for (QPushButton *b : buttons)
        b->setStyleSheet(Theme::cameraButtonStyle());
    if (index >= 0 && index < buttons.size())
        buttons[index]->setStyleSheet(Theme::selectedCameraButtonStyle());
    // The previous camera's read-outs never stand for the new one.
    resetStatusReadouts();
    onRepliesStaleChanged();
    if (!camera) {
        markDisconnected();
        return;
    }
    // The previous camera's "Connected" never stands for one still opening
    // (or one that cannot be opened).
    if (!m_control->isConnected())
        m_connectionLabel->setText(kUnconnected);
    uiSyncState = 2;
    ui->focusIn->setEnabled(false);
    ui->focusOut->setEnabled(false);
    refreshPresetButtons();
}

void MainWindow::resetStatusReadouts()
{
    m_panLabel->setText(QStringLiteral("Pan"));
    m_tiltLabel->setText(QStringLiteral("Tilt"));
    m_zoomLabel->setText(QStringLiteral("Zoom"));
    m_focusLabel->setText(QStringLiteral("Focus"));
    m_shutterLabel->setText(QStringLiteral("Shutter"));
    m_irisLabel->setText(QStringLiteral("Iris"));
    m_brightLabel->setText(QStringLiteral("Bright"));
    m_deviceNameLabel->setText(kNoDeviceName);
    m_serialNumberLabel->setText(kNoSerialNumber);
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
    for (int v : CameraControl::speedValuesFor(range.min, range.max))
        combo->addItem(QString::number(v));
    combo->setCurrentIndex(combo->findText(QString::number(range.defaultValue)));
}

void MainWindow::syncSpeedWidgets()
{
    const struct
    {
        QComboBox *combo;
        CameraControl::Axis axis;
    } lists[] = {{ui->panSpeed, CameraControl::Pan},
                 {ui->tiltSpeed, CameraControl::Tilt},
                 {ui->zoomSpeed, CameraControl::Zoom},
                 {ui->focusSpeed, CameraControl::Focus}};
    for (const auto &l : lists) {
        const QSignalBlocker blocker(l.combo);
        const QList<int> values = m_control->speedValues(l.axis);
        bool same = l.combo->count() == values.size();
        for (int i = 0; same && i < values.size(); ++i)
            same = l.combo->itemText(i) == QString::number(values[i]);
        if (!same) {
            l.combo->clear();
            for (int v : values)
                l.combo->addItem(QString::number(v));
        }
        l.combo->setCurrentIndex(m_control->speedIndex(l.axis));
    }
    const QSignalBlocker blocker(ui->panTiltLock);
    ui->panTiltLock->setChecked(m_control->panTiltLocked());
}

void MainWindow::applyCameraControlSettings()
{
    syncSpeedWidgets();
}

// --- Camera signals ---

void MainWindow::onCameraConnected()
{
    // Queued: the camera may have been switched or lost meanwhile.
    if (!m_control->canDrive())
        return;
    ui->focusIn->setEnabled(false);
    ui->focusOut->setEnabled(false);
    uiSyncState = 0;
    applyCameraControlSettings();
    previewCameraConnected();
    m_connectionLabel->setText(QStringLiteral("Connected"));
    m_deviceNameLabel->setText(currentCamera()->getDeviceName());
    m_serialNumberLabel->setText(currentCamera()->getSerialNumber());
}

void MainWindow::onCameraDisconnected()
{
    // Queued: a camera selected and connected since keeps its state.
    if (m_control->canDrive())
        return;
    markDisconnected();
}

void MainWindow::markDisconnected()
{
    ui->focusIn->setEnabled(false);
    ui->focusOut->setEnabled(false);
    uiSyncState = 2;
    m_connectionLabel->setText(kUnconnected);
    m_deviceNameLabel->setText(kNoDeviceName);
    m_serialNumberLabel->setText(kNoSerialNumber);
}

void MainWindow::onCameraStatusUpdated()
{
    updateStatus();
}

void MainWindow::updateStatus()
{
    CameraWrapper *camera = currentCamera();
    if (!camera)
        return;
    const CameraStatus &st = camera->status();
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
    if (currentCamera())
        m_connectionLabel->setText(stateStr);
}

void MainWindow::onRepliesStaleChanged()
{
    const bool stale = m_control->repliesStale();
    if (stale == m_showingStale)
        return;
    m_showingStale = stale;
    if (stale) {
        m_textBeforeStale = m_connectionLabel->text();
        m_connectionLabel->setText(kRepliesStale);
    } else if (m_connectionLabel->text() == kRepliesStale) {
        m_connectionLabel->setText(m_textBeforeStale);
    }
}

void MainWindow::onAutoReconnectToggled(bool on)
{
    if (settings())
        settings()->setAutoReconnect(on);
    m_control->setAutoReconnect(on);
}

void MainWindow::onCameraReadOneCycle()
{
    if (canDrive() && uiSyncState == 0)
        uiSyncState = 1;
}

void MainWindow::onCameraNameGetFinished()
{
    if (!canDrive())
        return;
    m_deviceNameLabel->setText(currentCamera()->getDeviceName());
    m_serialNumberLabel->setText(currentCamera()->getSerialNumber());
}

// --- Motion ---

bool MainWindow::canDrive() const
{
    return m_control->canDrive();
}

void MainWindow::onMoveTop()
{
    m_control->move(CameraControl::Up);
}

void MainWindow::onMoveBottom()
{
    m_control->move(CameraControl::Down);
}

void MainWindow::onMoveLeft()
{
    m_control->move(CameraControl::Left);
}

void MainWindow::onMoveRight()
{
    m_control->move(CameraControl::Right);
}

void MainWindow::onAngleUpLeft()
{
    m_control->move(CameraControl::UpLeft);
}

void MainWindow::onAngleUpRight()
{
    m_control->move(CameraControl::UpRight);
}

void MainWindow::onAngleDownRight()
{
    m_control->move(CameraControl::DownRight);
}

void MainWindow::onAngleDownLeft()
{
    m_control->move(CameraControl::DownLeft);
}

void MainWindow::onStopMoving()
{
    m_control->stopMove(0, 0);
}

void MainWindow::onMoveHome()
{
    m_control->moveHome();
}

void MainWindow::onZoomIn()
{
    m_control->zoomIn();
}

void MainWindow::onZoomOut()
{
    m_control->zoomOut();
}

void MainWindow::onStopZooming()
{
    m_control->stopZoom();
}

void MainWindow::onFocusIn()
{
    m_control->focusIn();
}

void MainWindow::onFocusOut()
{
    m_control->focusOut();
}

void MainWindow::onStopFocusing()
{
    m_control->stopFocus();
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
    m_control->send([on](CameraWrapper &c) { c.setAutoFocus(on); });
}

void MainWindow::onFocusLockClicked()
{
    if (!canDrive())
        return;
    // Runs on press, so the box still shows the state before the press.
    if (ui->lockFocus->isChecked()) {
        m_control->send([](CameraWrapper &c) { c.setFocusLock(false); });
        ui->autoFocus->setEnabled(true);
        const bool manual = !currentCamera()->status().autoFocus;
        ui->focusIn->setEnabled(manual);
        ui->focusOut->setEnabled(manual);
    } else {
        m_control->send([](CameraWrapper &c) { c.setFocusLock(true); });
        ui->autoFocus->setEnabled(false);
        ui->focusIn->setEnabled(false);
        ui->focusOut->setEnabled(false);
    }
}

void MainWindow::onPanSpeedChanged(int index)
{
    m_control->setSpeedIndex(CameraControl::Pan, index);
    syncSpeedWidgets();
}

void MainWindow::onTiltSpeedChanged(int index)
{
    m_control->setSpeedIndex(CameraControl::Tilt, index);
    syncSpeedWidgets();
}

void MainWindow::onZoomSpeedChanged(int index)
{
    m_control->setSpeedIndex(CameraControl::Zoom, index);
}

void MainWindow::onFocusSpeedChanged(int index)
{
    m_control->setSpeedIndex(CameraControl::Focus, index);
}

void MainWindow::onPanTiltLockClicked()
{
    m_control->setPanTiltLocked(ui->panTiltLock->isChecked());
    syncSpeedWidgets();
}

// --- Menus, views and owned windows ---

void MainWindow::rebuildCameraList()
{
    // A held pad button of the preset dialog is released first (see
    // selectCamera).
    m_presetSettingDlg->setCamera(-1, QString());
    m_control->rebuildCameras();
}

void MainWindow::onMultiCameraClicked()
{
    // A dialog takes the operator's attention: nothing keeps moving under it.
    m_control->stopAll();
    // The dialog copies the cameras' values at construction and keeps no
    // camera, so a rebuild elsewhere during its event loop is harmless. The
    // rebuild itself runs after the dialog's loop has ended.
    MultiCameras dialog(settings(), m_control->cameras(), UsbCameraBackend::deviceNames());
    if (dialog.exec() != QDialog::Accepted)
        return;
    rebuildCameraList();
}

void MainWindow::onPanTiltLimitSettingClicked()
{
    if (!canDrive()) {
        m_messages->show(QStringLiteral("No camera connected"));
        return;
    }
    m_control->stopAll();
    // The dialog runs its own event loop, in which the camera list may be
    // rebuilt (configuration, web API) or the camera switched: it closes
    // then, and it holds its camera guarded.
    QPointer<PanTiltLimitDlg> dialog =
        new PanTiltLimitDlg(this, currentCamera(), settings(), m_control);
    connect(m_control, &CameraControl::aboutToReleaseCameras, dialog.data(), &QDialog::reject);
    connect(m_control, &CameraControl::currentCameraChanged, dialog.data(), &QDialog::reject);
    dialog->exec();
    delete dialog.data();
}

void MainWindow::onSnapshotPathClicked()
{
    AppSettings *s = settings();
    if (!s)
        return;
    m_control->stopAll();
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
    if (m_openWebServerSettings)
        m_openWebServerSettings();
}

void MainWindow::onPresetSettingDlgClicked()
{
    m_presetSettingDlg->show();
    m_presetSettingDlg->raise();
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
    m_advancedView = false;
    fitToContent();
}

void MainWindow::fitToContent()
{
    // Hidden and shown widgets change their layouts' hints only once the
    // layouts are activated; the status bar's layout included. Then the
    // window takes its content's size (it may shrink as well as grow).
    for (QWidget *wdg : {static_cast<QWidget *>(ui->statusBar), centralWidget()}) {
        if (QLayout *l = wdg->layout()) {
            l->invalidate();
            l->activate();
        }
    }
    layout()->invalidate();
    layout()->activate();
    resize(sizeHint().expandedTo(minimumSizeHint()));
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
    m_advancedView = true;
    fitToContent();
}

void MainWindow::onStatusBarToggle()
{
    ui->statusBar->setVisible(ui->actionStatusBar->isChecked());
}

void MainWindow::showPreview()
{
    if (m_previewWindow->isSnapChecked()) {
        m_previewWindow->show();
        fitToContent();
    } else {
        m_previewWindow->showMaximized();
    }
    previewClosed = false;
}

void MainWindow::onPreviewWindowClicked()
{
    if (ui->actionPreviewWindow->isChecked()) {
        showPreview();
        startPreviewIfIdle();
    } else {
        // Closing stops the stream and reports back (previewWindowClosed).
        m_previewWindow->close();
        m_previewWindow->onStopBtnClicked();
        if (m_previewWindow->isSnapChecked())
            fitToContent();
        previewClosed = true;
    }
}

void MainWindow::onPreviewWindowBtnClicked()
{
    if (ui->actionPreviewWindow->isChecked())
        return;
    showPreview();
    startPreviewIfIdle();
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
    // The preview's overlay layers follow the window.
    if (e->type() == QEvent::Move && m_previewWindow)
        m_previewWindow->boundingBoxSizeMove();
    return QMainWindow::event(e);
}
