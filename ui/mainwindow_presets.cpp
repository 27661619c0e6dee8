#include "literaltext.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "cameracontrol.h"
#include "presetsettingdlg.h"
#include "storagepaths.h"
#include "stylesheeturl.h"

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

// A path the style sheet cannot carry (see StyleSheet::url) shows no image.
QString thumbnailStyle(const QString &path)
{
    const QString url = StyleSheet::url(path);
    if (url.isEmpty())
        return plainMemoryStyle();
    return QStringLiteral("QPushButton{\n\theight : 40px;\n\timage : ") + url +
           QStringLiteral(";\n}");
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
    connect(m_storeExposure, &QCheckBox::toggled, m_control, &CameraControl::setStoreExposure);
    m_control->setStoreExposure(m_storeExposure->isChecked());
}

void MainWindow::onPresetModeSet()
{
    if (canDrive())
        presetMode = true;
}

void MainWindow::onRecallModeSet()
{
    if (canDrive())
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
    // position was stored on. Nothing keeps moving behind the dialog.
    m_control->stopAll();
    const QPointer<CameraWrapper> camera = currentCamera();
    const QString cameraId = camera->getCameraId();
    m_control->storePresetPosition(n, hasThumbnail(n));

    QPushButton *button = m_memButtons[n - 1];
    const QString current = LiteralText::fromButton(button->text());
    bool ok = false;
    const QString entered = QInputDialog::getText(nullptr, QStringLiteral("Corvanta"),
                                                  QStringLiteral("Preset #%1 Name:").arg(n),
                                                  QLineEdit::Normal, current, &ok);
    const QString name = (!ok || entered.isEmpty()) ? current : entered;

    // The name (and exposure) belong to the camera the position was stored
    // on; after a switch only its name can still be kept.
    if (camera && camera == currentCamera()) {
        button->setText(LiteralText::forButton(name));
        savePreset(n, name);
    } else {
        m_control->savePresetSettings(cameraId, n, name, nullptr);
    }

    presetMode = false;
    m_recallModeRadio->setChecked(true);
}

void MainWindow::savePreset(int n, const QString &name)
{
    if (!currentCamera())
        return;
    PresetExposure exposure;
    exposure.aeMode = m_aeModeSelect->currentIndex();
    exposure.shutter = m_shutterCombo->currentIndex();
    exposure.iris = m_irisCombo->currentIndex();
    exposure.bright = m_brightCombo->currentIndex();
    exposure.luminance = m_luminanceSlider->value();
    exposure.contrast = m_contrastSlider->value();
    exposure.hue = m_hueSlider->value();
    exposure.wbMode = m_wbCombo->currentIndex();
    m_control->savePresetSettings(currentCamera()->getCameraId(), n, name,
                                  m_storeExposure->isChecked() ? &exposure : nullptr);
}

void MainWindow::clearPresetSettings(int n)
{
    if (currentCamera())
        m_control->clearPresetSettings(currentCamera()->getCameraId(), n);
}

void MainWindow::refreshPresetButtons()
{
    if (!currentCamera())
        return;
    AppSettings *s = settings();
    const QString id = currentCamera()->getCameraId();
    for (int n = 1; n <= kMemoryButtons; ++n) {
        QPushButton *button = m_memButtons[n - 1];
        button->setText(LiteralText::forButton(s ? s->presetName(id, n) : QString::number(n)));
        if (hasThumbnail(n))
            button->setStyleSheet(thumbnailStyle(Storage::snapshotPath(id, n)));
    }
}

void MainWindow::onCameraDownloadFinished(int presetNum)
{
    imageDownloaded = true;
    // Only the selected camera's downloads reach here (the layer drops the
    // others).
    if (hasThumbnail(presetNum) && currentCamera())
        m_memButtons[presetNum - 1]->setStyleSheet(
            thumbnailStyle(Storage::snapshotPath(currentCamera()->getCameraId(), presetNum)));
    m_presetSettingDlg->updatePresetImage(presetNum);
    emit cameraImageDownloaded(presetNum);
}

void MainWindow::onSetPresetSpeedBtnClicked()
{
    const int index = m_presetSpeed->currentIndex();
    m_control->send([index](CameraWrapper &c) { c.setPresetSpeed(index); });
}

void MainWindow::onCallPreset(int presetNum)
{
    m_control->recallPreset(presetNum);
}

// --- Preset setting dialog ---

void MainWindow::presetSettingDlgSet(int n, QString presetText)
{
    if (!m_control->storePresetPosition(n, true))
        return;
    if (isMemoryPreset(n))
        m_memButtons[n - 1]->setText(LiteralText::forButton(presetText));
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
    // Nothing outside the downloads folder is ever deleted, whatever the id.
    const QString id = currentCamera()->getCameraId();
    if (!PresetSettingDlg::removePresetImage(id, n))
        return;
    m_presetSettingDlg->updatePresetImage(n);
    if (hasThumbnail(n))
        m_memButtons[n - 1]->setStyleSheet(thumbnailStyle(Storage::snapshotPath(id, n)));
}

void MainWindow::presetSettingDlgClearPreset(int n)
{
    m_control->clearPreset(n);
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
    m_control->stopMove(m_control->speed(CameraControl::Pan),
                        m_control->speed(CameraControl::Tilt));
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
