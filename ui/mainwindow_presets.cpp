#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "storagepaths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int kMemoryButtons = 9;
// Only memory buttons 1-6 carry a thumbnail (and request a snapshot on store).
constexpr int kThumbnailButtons = 6;
constexpr int kPresetSpeedEntries = 24;

bool isMemoryPreset(int n)
{
    return n >= 1 && n <= kMemoryButtons;
}

bool hasThumbnail(int n)
{
    return n >= 1 && n <= kThumbnailButtons;
}

QString plainMemoryStyle()
{
    return QStringLiteral("QPushButton{\n\theight : 40px;\n}");
}

QString thumbnailStyle(const QString &path)
{
    return QStringLiteral("QPushButton{\n\theight : 40px;\n\timage : url('") + path +
           QStringLiteral("');\n}");
}

} // namespace

void MainWindow::setupPresetWidgets()
{
    auto *layout = new QVBoxLayout(ui->presetGroup);

    auto *modeRow = new QHBoxLayout;
    m_presetModeRadio = new QRadioButton(QStringLiteral("Set"), ui->presetGroup);
    m_presetModeRadio->setObjectName(QStringLiteral("presetMode"));
    m_recallModeRadio = new QRadioButton(QStringLiteral("Recall"), ui->presetGroup);
    m_recallModeRadio->setObjectName(QStringLiteral("recallMode"));
    m_recallModeRadio->setChecked(true);
    modeRow->addWidget(m_presetModeRadio);
    modeRow->addWidget(m_recallModeRadio);
    modeRow->addStretch();
    layout->addLayout(modeRow);

    // mem1 mem2 mem3 / mem4 mem5 mem6 over a row mem7 mem8 mem9.
    auto *grid = new QGridLayout;
    for (int i = 0; i < kMemoryButtons; ++i) {
        auto *button = new QPushButton(QString::number(i + 1), ui->presetGroup);
        button->setObjectName(QStringLiteral("mem%1").arg(i + 1));
        button->setFocusPolicy(Qt::NoFocus);
        if (hasThumbnail(i + 1))
            button->setStyleSheet(plainMemoryStyle());
        grid->addWidget(button, i / 3, i % 3);
        m_memButtons[i] = button;
    }
    layout->addLayout(grid);

    m_storeExposure = new QCheckBox(QStringLiteral("Store exposure settings with each PTZ preset"),
                                    ui->presetGroup);
    m_storeExposure->setObjectName(QStringLiteral("storeExposure"));
    layout->addWidget(m_storeExposure);

    auto *speedRow = new QHBoxLayout;
    m_presetSpeed = new QComboBox(ui->presetGroup);
    m_presetSpeed->setObjectName(QStringLiteral("presetSpeed"));
    for (int speed = 1; speed <= kPresetSpeedEntries; ++speed)
        m_presetSpeed->addItem(QString::number(speed));
    m_presetSpeed->setCurrentIndex(0);
    m_applyPresetSpeedBtn = new QPushButton(QStringLiteral("Apply"), ui->presetGroup);
    m_applyPresetSpeedBtn->setObjectName(QStringLiteral("applyPresetSpeedBtn"));
    speedRow->addWidget(m_presetSpeed);
    speedRow->addWidget(m_applyPresetSpeedBtn);
    speedRow->addStretch();
    layout->addLayout(speedRow);

    connect(m_presetModeRadio, &QRadioButton::clicked, this, &MainWindow::onPresetModeSet);
    connect(m_recallModeRadio, &QRadioButton::clicked, this, &MainWindow::onRecallModeSet);
    connect(m_memButtons[0], &QPushButton::clicked, this, &MainWindow::onMem1Clicked);
    connect(m_memButtons[1], &QPushButton::clicked, this, &MainWindow::onMem2Clicked);
    connect(m_memButtons[2], &QPushButton::clicked, this, &MainWindow::onMem3Clicked);
    connect(m_memButtons[3], &QPushButton::clicked, this, &MainWindow::onMem4Clicked);
    connect(m_memButtons[4], &QPushButton::clicked, this, &MainWindow::onMem5Clicked);
    connect(m_memButtons[5], &QPushButton::clicked, this, &MainWindow::onMem6Clicked);
    connect(m_memButtons[6], &QPushButton::clicked, this, &MainWindow::onMem7Clicked);
    connect(m_memButtons[7], &QPushButton::clicked, this, &MainWindow::onMem8Clicked);
    connect(m_memButtons[8], &QPushButton::clicked, this, &MainWindow::onMem9Clicked);
    connect(m_applyPresetSpeedBtn, &QPushButton::clicked, this,
            &MainWindow::onSetPresetSpeedBtnClicked);
}

void MainWindow::onPresetModeSet()
{
    if (cameraConnected)
        presetMode = true;
}

void MainWindow::onRecallModeSet()
{
    if (cameraConnected)
        presetMode = false;
}

void MainWindow::onMem1Clicked()
{
    memoryButtonClicked(1);
}
void MainWindow::onMem2Clicked()
{
    memoryButtonClicked(2);
}
void MainWindow::onMem3Clicked()
{
    memoryButtonClicked(3);
}
void MainWindow::onMem4Clicked()
{
    memoryButtonClicked(4);
}
void MainWindow::onMem5Clicked()
{
    memoryButtonClicked(5);
}
void MainWindow::onMem6Clicked()
{
    memoryButtonClicked(6);
}
void MainWindow::onMem7Clicked()
{
    memoryButtonClicked(7);
}
void MainWindow::onMem8Clicked()
{
    memoryButtonClicked(8);
}
void MainWindow::onMem9Clicked()
{
    memoryButtonClicked(9);
}

void MainWindow::memoryButtonClicked(int n)
{
    if (!canDrive() || !isMemoryPreset(n))
        return;
    if (!presetMode) {
        onCallPreset(n);
        return;
    }

    // The name dialog runs a nested event loop in which the camera can be
    // switched or the camera list rebuilt: keep track of the camera the
    // position was stored on.
    const QPointer<CameraWrapper> camera = currentCamera;
    const QString cameraId = camera->getCameraId();
    if (hasThumbnail(n))
        camera->downloadSnapshot(n);
    camera->setPreset(n);

    QPushButton *button = m_memButtons[n - 1];
    const QString current = button->text();
    bool ok = false;
    const QString entered = QInputDialog::getText(nullptr, QStringLiteral("Corvanta"),
                                                  QStringLiteral("Preset #%1 Name:").arg(n),
                                                  QLineEdit::Normal, current, &ok);
    const QString name = (!ok || entered.isEmpty()) ? current : entered;

    // The name (and exposure) belong to the camera the position was stored
    // on; after a switch only its name can still be kept.
    if (camera && camera == currentCamera) {
        button->setText(name);
        savePreset(n, name);
    } else if (AppSettings *s = settings()) {
        s->setPresetName(cameraId, n, name);
    }

    presetMode = false;
    m_recallModeRadio->setChecked(true);
}

void MainWindow::savePreset(int n, const QString &name)
{
    AppSettings *s = settings();
    if (!s || !currentCamera)
        return;
    const QString id = currentCamera->getCameraId();
    s->setPresetName(id, n, name);
    if (!m_storeExposure->isChecked())
        return;
    s->setPresetAeMode(id, n, m_aeModeSelect->currentIndex());
    s->setPresetShutterSpeed(id, n, m_shutterCombo->currentIndex());
    s->setPresetIris(id, n, m_irisCombo->currentIndex());
    s->setPresetBrightness(id, n, m_brightCombo->currentIndex());
    s->setPresetLuminance(id, n, m_luminanceSlider->value());
    s->setPresetContrast(id, n, m_contrastSlider->value());
    s->setPresetHue(id, n, m_hueSlider->value());
    s->setPresetWbMode(id, n, m_wbCombo->currentIndex());
}

void MainWindow::clearPresetSettings(int n)
{
    AppSettings *s = settings();
    if (!s || !currentCamera)
        return;
    const QString id = currentCamera->getCameraId();
    s->setPresetName(id, n, QString());
    s->setPresetAeMode(id, n, 0);
    s->setPresetShutterSpeed(id, n, 0);
    s->setPresetIris(id, n, 0);
    s->setPresetBrightness(id, n, 0);
    s->setPresetLuminance(id, n, 0);
    s->setPresetContrast(id, n, 0);
    s->setPresetHue(id, n, 0);
    s->setPresetWbMode(id, n, 0);
}

void MainWindow::refreshPresetButtons()
{
    if (!currentCamera)
        return;
    AppSettings *s = settings();
    const QString id = currentCamera->getCameraId();
    for (int n = 1; n <= kMemoryButtons; ++n) {
        QPushButton *button = m_memButtons[n - 1];
        button->setText(s ? s->presetName(id, n) : QString::number(n));
        if (hasThumbnail(n))
            button->setStyleSheet(thumbnailStyle(Storage::snapshotPath(id, n)));
    }
}

void MainWindow::onCameraDownloadFinished(int presetNum)
{
    imageDownloaded = true;
    // A download that finishes after the operator moved to another camera
    // belongs to that other camera's thumbnail file.
    auto *from = qobject_cast<CameraWrapper *>(sender());
    if (hasThumbnail(presetNum) && currentCamera && (!from || from == currentCamera))
        m_memButtons[presetNum - 1]->setStyleSheet(
            thumbnailStyle(Storage::snapshotPath(currentCamera->getCameraId(), presetNum)));
    emit cameraImageDownloaded(presetNum);
}

void MainWindow::onSetPresetSpeedBtnClicked()
{
    if (canDrive())
        currentCamera->setPresetSpeed(m_presetSpeed->currentIndex());
}

void MainWindow::onCallPreset(int presetNum)
{
    if (!canDrive())
        return;
    currentCamera->callPreset(presetNum);
    applyStoredExposure(presetNum, 0);
}

// --- Preset setting dialog ---

void MainWindow::presetSettingDlgSet(int n, QString presetText)
{
    if (!canDrive())
        return;
    currentCamera->downloadSnapshot(n);
    currentCamera->setPreset(n);
    if (isMemoryPreset(n))
        m_memButtons[n - 1]->setText(presetText);
    savePreset(n, presetText);
}

void MainWindow::presetSettingDlgRecall(int n)
{
    onCallPreset(n);
}

void MainWindow::presetSettingDlgClearImage(int n)
{
    if (!canDrive())
        return;
    // The camera id is part of the file name; a path that leaves the
    // downloads folder is never deleted.
    const QString path = QDir::cleanPath(Storage::snapshotPath(currentCamera->getCameraId(), n));
    if (QFileInfo(path).absolutePath() != QDir::cleanPath(Storage::downloadsFolder())) {
        qCWarning(lcUi) << "thumbnail outside the downloads folder not deleted";
        return;
    }
    QFile::remove(path);
}

void MainWindow::presetSettingDlgClearPreset(int n)
{
    if (!canDrive())
        return;
    currentCamera->clearPreset(n);
    clearPresetSettings(n);
}

void MainWindow::presetSettingDlgMoveUpPress()
{
    onMoveTop();
}

void MainWindow::presetSettingDlgMoveDownPress()
{
    onMoveBottom();
}

void MainWindow::presetSettingDlgMoveLeftPress()
{
    onMoveLeft();
}

void MainWindow::presetSettingDlgMoveRightPress()
{
    onMoveRight();
}

void MainWindow::presetSettingDlgZoomInPress()
{
    onZoomIn();
}

void MainWindow::presetSettingDlgZoomOutPress()
{
    onZoomOut();
}

void MainWindow::presetSettingDlgMoveHome()
{
    onMoveHome();
}

void MainWindow::presetSettingDlgMoveRelease()
{
    if (!canDrive())
        return;
    currentCamera->moveStop(comboValue(ui->panSpeed), comboValue(ui->tiltSpeed));
}

void MainWindow::presetSettingDlgMoveUpRelease()
{
    presetSettingDlgMoveRelease();
}

void MainWindow::presetSettingDlgMoveDownRelease()
{
    presetSettingDlgMoveRelease();
}

void MainWindow::presetSettingDlgMoveLeftRelease()
{
    presetSettingDlgMoveRelease();
}

void MainWindow::presetSettingDlgMoveRightRelease()
{
    presetSettingDlgMoveRelease();
}

void MainWindow::presetSettingDlgZoomInRelease()
{
    onStopZooming();
}

void MainWindow::presetSettingDlgZoomOutRelease()
{
    onStopZooming();
}
