#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "cameracontrol.h"
#include "exposuretables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

using namespace ExposureTables;

// Scene presets: AE mode "Manual" with a shutter and an iris list index.
constexpr int kLowLightShutter = 1;    // "1/60"
constexpr int kLowLightIris = 12;      // "F1.8"
constexpr int kSportsDayShutter = 6;   // "1/250"
constexpr int kSportsDayIris = 5;      // "F5.6"
constexpr int kSportsNightShutter = 4; // "1/125"
constexpr int kSportsNightIris = 12;   // "F1.8"

// Joystick image steps move a slider once per this many calls (counted across
// luminance, contrast and hue).
constexpr int kImageStepDivider = 3;

QPushButton *makeButton(const QString &text, const char *objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(objectName));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QComboBox *makeCombo(const QStringList &items, const char *objectName, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(objectName));
    combo->addItems(items);
    return combo;
}

QSlider *makeSlider(const char *objectName, QWidget *parent)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(objectName));
    slider->setRange(kSliderMin, kSliderMax);
    slider->setPageStep(kSliderPageStep);
    return slider;
}

enum class Scene
{
    LowLight,
    SportsDay,
    SportsNight
};

// Scene button icons, painted: a crescent moon (low light), a sun (sports
// day), a moon over a ball (sports night).
QIcon sceneIcon(Scene scene)
{
    constexpr int size = 64;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(QStringLiteral("#f2f2f2"));
    const QColor back(QStringLiteral("#808080"));
    auto crescent = [&](const QPointF &centre, qreal radius) {
        QPainterPath moon;
        moon.addEllipse(centre, radius, radius);
        QPainterPath bite;
        bite.addEllipse(centre + QPointF(radius * 0.55, -radius * 0.35), radius * 0.9,
                        radius * 0.9);
        p.fillPath(moon.subtracted(bite), ink);
    };
    switch (scene) {
    case Scene::LowLight:
        crescent(QPointF(30, 32), 22);
        break;
    case Scene::SportsDay: {
        p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
        const QPointF c(32, 32);
        for (int i = 0; i < 8; ++i) {
            QLineF ray(c, c + QPointF(27, 0));
            ray.setAngle(i * 45.0);
            p.drawLine(QLineF(ray.pointAt(0.62), ray.p2()));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(c, 13, 13);
        break;
    }
    case Scene::SportsNight:
        crescent(QPointF(22, 22), 16);
        p.setPen(QPen(back, 2));
        p.setBrush(ink);
        p.drawEllipse(QPointF(42, 44), 14, 14);
        p.drawLine(QPointF(28, 44), QPointF(56, 44));
        p.drawArc(QRectF(34, 30, 16, 28), 0, 360 * 16);
        break;
    }
    p.end();
    return QIcon(pixmap);
}

// Sets a combo box to a list index; an index outside the list leaves it alone.
void selectIndex(QComboBox *combo, int index)
{
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
}

} // namespace

void MainWindow::setupExposureWidgets()
{
    QWidget *panel = ui->exposurePanel;
    QVBoxLayout *panelLayout = ui->exposurePanelLayout;

    // EXPOSURE
    auto *exposureGroup = new QGroupBox(QStringLiteral("EXPOSURE"), panel);
    exposureGroup->setObjectName(QStringLiteral("exposureGroup"));
    auto *exposureGrid = new QGridLayout(exposureGroup);
    m_aeModeSelect = makeCombo(aeModeNames(), "aeModeSelect", exposureGroup);
    exposureGrid->addWidget(new QLabel(QStringLiteral("Modes"), exposureGroup), 0, 0);
    exposureGrid->addWidget(m_aeModeSelect, 0, 1, 1, 3);

    m_shutterUp = makeButton(QStringLiteral("Up"), "shutterUp", exposureGroup);
    m_shutterDown = makeButton(QStringLiteral("Down"), "shutterDown", exposureGroup);
    m_shutterCombo = makeCombo(shutterNames(), "shutterCombo", exposureGroup);
    exposureGrid->addWidget(new QLabel(QStringLiteral("Shutter Speed:"), exposureGroup), 1, 0);
    exposureGrid->addWidget(m_shutterUp, 1, 1);
    exposureGrid->addWidget(m_shutterDown, 1, 2);
    exposureGrid->addWidget(m_shutterCombo, 1, 3);

    m_irisUp = makeButton(QStringLiteral("Brighter"), "irisUp", exposureGroup);
    m_irisDown = makeButton(QStringLiteral("Darker"), "irisDown", exposureGroup);
    m_irisCombo = makeCombo(irisNames(), "irisCombo", exposureGroup);
    exposureGrid->addWidget(new QLabel(QStringLiteral("Iris:"), exposureGroup), 2, 0);
    exposureGrid->addWidget(m_irisUp, 2, 1);
    exposureGrid->addWidget(m_irisDown, 2, 2);
    exposureGrid->addWidget(m_irisCombo, 2, 3);

    m_brightUp = makeButton(QStringLiteral("Up"), "brightUp", exposureGroup);
    m_brightDown = makeButton(QStringLiteral("Down"), "brightDown", exposureGroup);
    m_brightCombo = makeCombo(brightNames(), "brightCombo", exposureGroup);
    exposureGrid->addWidget(new QLabel(QStringLiteral("Brightness:"), exposureGroup), 3, 0);
    exposureGrid->addWidget(m_brightUp, 3, 1);
    exposureGrid->addWidget(m_brightDown, 3, 2);
    exposureGrid->addWidget(m_brightCombo, 3, 3);

    auto *sceneGrid = new QGridLayout;
    const struct
    {
        const char *objectName;
        const char *label;
        Scene scene;
    } scenes[] = {{"lowLightBtn", "Low Light", Scene::LowLight},
                  {"sportsDayBtn", "Sports Day", Scene::SportsDay},
                  {"sportsNightBtn", "Sports Night", Scene::SportsNight}};
    QPushButton *sceneButtons[3];
    for (int i = 0; i < 3; ++i) {
        sceneButtons[i] = makeButton(QString(), scenes[i].objectName, exposureGroup);
        sceneButtons[i]->setMinimumSize(44, 44);
        sceneButtons[i]->setIcon(sceneIcon(scenes[i].scene));
        sceneButtons[i]->setIconSize(QSize(32, 32));
        auto *label = new QLabel(QLatin1String(scenes[i].label), exposureGroup);
        label->setAlignment(Qt::AlignCenter);
        sceneGrid->addWidget(sceneButtons[i], 0, i, Qt::AlignHCenter);
        sceneGrid->addWidget(label, 1, i);
    }
    exposureGrid->addLayout(sceneGrid, 4, 0, 1, 4);
    exposureGrid->setColumnStretch(3, 1);
    // Room for the longest entry ("1/10000") beside the step buttons.
    const int comboWidth =
        m_shutterCombo->fontMetrics().horizontalAdvance(shutterNames().last()) + 44;
    // (A style sheet: the window's theme sets the combo boxes' minimum width.)
    for (QComboBox *combo : {m_shutterCombo, m_irisCombo, m_brightCombo})
        combo->setStyleSheet(QStringLiteral("QComboBox{min-width : %1px;}").arg(comboWidth));
    panelLayout->addWidget(exposureGroup);

    // IMAGE/COLOR
    auto *imageGroup = new QGroupBox(QStringLiteral("IMAGE/COLOR"), panel);
    imageGroup->setObjectName(QStringLiteral("imageGroup"));
    auto *imageGrid = new QGridLayout(imageGroup);
    m_luminanceSlider = makeSlider("luminanceSlider", imageGroup);
    m_contrastSlider = makeSlider("contrastSlider", imageGroup);
    m_hueSlider = makeSlider("hueSlider", imageGroup);
    imageGrid->addWidget(new QLabel(QStringLiteral("Luminance:"), imageGroup), 0, 0);
    imageGrid->addWidget(m_luminanceSlider, 0, 1);
    imageGrid->addWidget(new QLabel(QStringLiteral("Contrast:"), imageGroup), 1, 0);
    imageGrid->addWidget(m_contrastSlider, 1, 1);
    imageGrid->addWidget(new QLabel(QStringLiteral("Hue:"), imageGroup), 2, 0);
    imageGrid->addWidget(m_hueSlider, 2, 1);
    panelLayout->addWidget(imageGroup);

    // WHITE BALANCE
    auto *wbGroup = new QGroupBox(QStringLiteral("WHITE BALANCE"), panel);
    wbGroup->setObjectName(QStringLiteral("whiteBalanceGroup"));
    auto *wbRow = new QHBoxLayout(wbGroup);
    m_wbCombo = makeCombo(wbModeNames(), "wbCombo", wbGroup);
    m_onePushTriggerBtn =
        makeButton(QStringLiteral("OnePushTrigger"), "onePushTriggerBtn", wbGroup);
    m_onePushTriggerBtn->setEnabled(false);
    wbRow->addWidget(m_wbCombo);
    wbRow->addWidget(m_onePushTriggerBtn);
    panelLayout->addWidget(wbGroup);

    // OSD MENU CONTROL
    auto *osdGroup = new QGroupBox(QStringLiteral("OSD MENU CONTROL"), panel);
    osdGroup->setObjectName(QStringLiteral("osdGroup"));
    auto *osdGrid = new QGridLayout(osdGroup);
    auto *osdMenuBtn = makeButton(QStringLiteral("OSD/PTZ Menu"), "osdMenuBtn", osdGroup);
    auto *osdEnterBtn = makeButton(QStringLiteral("Enter"), "osdEnterBtn", osdGroup);
    auto *osdBackBtn = makeButton(QStringLiteral("Back"), "osdBackBtn", osdGroup);
    m_imgFlipBtn = makeButton(QStringLiteral("Image Flip"), "imgFlipBtn", osdGroup);
    m_imgFlipBtn->setCheckable(true);
    m_imgMirrorBtn = makeButton(QStringLiteral("Image Mirror"), "imgMirrorBtn", osdGroup);
    m_imgMirrorBtn->setCheckable(true);
    osdGrid->addWidget(osdMenuBtn, 0, 0);
    osdGrid->addWidget(osdEnterBtn, 0, 1);
    osdGrid->addWidget(osdBackBtn, 0, 2);
    osdGrid->addWidget(m_imgFlipBtn, 1, 0);
    osdGrid->addWidget(m_imgMirrorBtn, 1, 1);
    panelLayout->addWidget(osdGroup);

    // Motion sync sits with the speed options.
    auto *syncRow = new QHBoxLayout;
    auto *syncOnBtn = makeButton(QStringLiteral("Motion Sync On"), "syncOnBtn", ui->speedGroup);
    auto *syncOffBtn = makeButton(QStringLiteral("Motion Sync Off"), "syncOffBtn", ui->speedGroup);
    syncRow->addWidget(syncOnBtn);
    syncRow->addWidget(syncOffBtn);
    ui->speedGroupLayout->addLayout(syncRow);

    connect(m_aeModeSelect, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onAeModeSelected);
    connect(m_shutterCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onShutterComboChanged);
    connect(m_irisCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onIrisComboChanged);
    connect(m_brightCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onBrightComboChanged);
    connect(m_wbCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onWBModeSelected);
    connect(m_luminanceSlider, &QSlider::valueChanged, this, &MainWindow::onLuminanceSliderMoved);
    connect(m_contrastSlider, &QSlider::valueChanged, this, &MainWindow::onContrastSliderMoved);
    connect(m_hueSlider, &QSlider::valueChanged, this, &MainWindow::onHueSliderMoved);
    connect(m_shutterUp, &QPushButton::clicked, this, &MainWindow::onShutterUpClicked);
    connect(m_shutterDown, &QPushButton::clicked, this, &MainWindow::onShutterDownClicked);
    connect(m_irisUp, &QPushButton::clicked, this, &MainWindow::onIrisUpClicked);
    connect(m_irisDown, &QPushButton::clicked, this, &MainWindow::onIrisDownClicked);
    connect(m_brightUp, &QPushButton::clicked, this, &MainWindow::onBrightUpClicked);
    connect(m_brightDown, &QPushButton::clicked, this, &MainWindow::onBrightDownClicked);
    connect(sceneButtons[0], &QPushButton::clicked, this, &MainWindow::onLowLightBtnClicked);
    connect(sceneButtons[1], &QPushButton::clicked, this, &MainWindow::onSportsDayBtnClicked);
    connect(sceneButtons[2], &QPushButton::clicked, this, &MainWindow::onSportsNightBtnClicked);
    connect(m_onePushTriggerBtn, &QPushButton::clicked, this,
            &MainWindow::onOnePushTriggerBtnClicked);
    connect(osdMenuBtn, &QPushButton::clicked, this, &MainWindow::onOsdMenuClicked);
    connect(osdEnterBtn, &QPushButton::clicked, this, &MainWindow::onOsdEnterClicked);
    connect(osdBackBtn, &QPushButton::clicked, this, &MainWindow::onOsdBackClicked);
    connect(m_imgFlipBtn, &QPushButton::clicked, this, &MainWindow::onImageFlip);
    connect(m_imgMirrorBtn, &QPushButton::clicked, this, &MainWindow::onImageMirror);
    connect(syncOnBtn, &QPushButton::clicked, this, &MainWindow::onMotionSyncOnClicked);
    connect(syncOffBtn, &QPushButton::clicked, this, &MainWindow::onMotionSyncOffClicked);

    // The panel starts in the enabling state of "Auto".
    applyAeModeEnabling(m_aeModeSelect->currentIndex());
}

bool MainWindow::canSendExposure() const
{
    return canDrive() && uiSyncState != 1;
}

namespace {

// Sends op to the selected camera unless the one-time sync is running.
template <typename Op> void sendExposure(CameraControl *control, bool allowed, Op op)
{
    if (allowed)
        control->send(op);
}

} // namespace

void MainWindow::applyAeModeEnabling(int index)
{
    bool shutter = false, iris = false, bright = false;
    switch (index) {
    case AeAuto:
        break;
    case AeManual:
        shutter = iris = true;
        break;
    case AeShutterPriority:
        shutter = true;
        break;
    case AeIrisPriority:
        iris = true;
        break;
    case AeBrightness:
        bright = true;
        break;
    default:
        return;
    }
    m_shutterUp->setEnabled(shutter);
    m_shutterDown->setEnabled(shutter);
    m_shutterCombo->setEnabled(shutter);
    m_irisUp->setEnabled(iris);
    m_irisDown->setEnabled(iris);
    m_irisCombo->setEnabled(iris);
    m_brightUp->setEnabled(bright);
    m_brightDown->setEnabled(bright);
    m_brightCombo->setEnabled(bright);
}

void MainWindow::onAeModeSelected(int index)
{
    applyAeModeEnabling(index);
    sendExposure(m_control, canSendExposure(), [=](CameraWrapper &c) { c.setAeMode(index); });
}

void MainWindow::onShutterComboChanged(int index)
{
    sendExposure(m_control, canSendExposure(), [=](CameraWrapper &c) { c.setShutter(index); });
}

void MainWindow::onIrisComboChanged(int index)
{
    sendExposure(m_control, canSendExposure(), [=](CameraWrapper &c) { c.setIris(index); });
}

void MainWindow::onBrightComboChanged(int index)
{
    sendExposure(m_control, canSendExposure(), [=](CameraWrapper &c) { c.setBright(index); });
}

void MainWindow::onWBModeSelected(int index)
{
    if (!canDrive())
        return;
    if (uiSyncState != 1)
        m_control->send([index](CameraWrapper &c) { c.setWBMode(index); });
    m_onePushTriggerBtn->setEnabled(index == kWbOnePushIndex);
}

void MainWindow::onShutterUpClicked()
{
    if (canDrive())
        m_shutterCombo->setCurrentIndex(
            qMin(m_shutterCombo->currentIndex() + 1, kShutterCount - 1));
}

void MainWindow::onShutterDownClicked()
{
    if (canDrive())
        m_shutterCombo->setCurrentIndex(qMax(m_shutterCombo->currentIndex() - 1, 0));
}

void MainWindow::onIrisUpClicked()
{
    if (canDrive())
        m_irisCombo->setCurrentIndex(qMin(m_irisCombo->currentIndex() + 1, kIrisCount - 1));
}

void MainWindow::onIrisDownClicked()
{
    if (canDrive())
        m_irisCombo->setCurrentIndex(qMax(m_irisCombo->currentIndex() - 1, 0));
}

void MainWindow::onBrightUpClicked()
{
    m_control->send([=](CameraWrapper &c) { c.brightUp(); });
}

void MainWindow::onBrightDownClicked()
{
    m_control->send([=](CameraWrapper &c) { c.brightDown(); });
}

void MainWindow::onLuminanceSliderMoved(int pos)
{
    sendExposure(m_control, canSendExposure(), [=](CameraWrapper &c) { c.setLuminance(pos); });
}

void MainWindow::onContrastSliderMoved(int pos)
{
    sendExposure(m_control, canSendExposure(), [=](CameraWrapper &c) { c.setContrast(pos); });
}

void MainWindow::onHueSliderMoved(int pos)
{
    sendExposure(m_control, canSendExposure(), [=](CameraWrapper &c) { c.setHue(pos); });
}

void MainWindow::stepImageSlider(QSlider *slider, bool increase)
{
    m_imageStepCounter = (m_imageStepCounter + 1) % kImageStepDivider;
    if (m_imageStepCounter != 0)
        return;
    const int value = slider->value() + (increase ? 1 : -1);
    slider->setValue(qBound(kSliderMin, value, kSliderMax));
}

void MainWindow::onLuminanceChangeTriggered(bool increase)
{
    stepImageSlider(m_luminanceSlider, increase);
}

void MainWindow::onContrastChangeTriggered(bool increase)
{
    stepImageSlider(m_contrastSlider, increase);
}

void MainWindow::onHueChangeTriggered(bool increase)
{
    stepImageSlider(m_hueSlider, increase);
}

void MainWindow::applyScene(int shutterIndex, int irisIndex)
{
    m_aeModeSelect->setCurrentIndex(AeManual);
    m_shutterCombo->setCurrentIndex(shutterIndex);
    m_irisCombo->setCurrentIndex(irisIndex);
}

void MainWindow::onLowLightBtnClicked()
{
    applyScene(kLowLightShutter, kLowLightIris);
}

void MainWindow::onSportsDayBtnClicked()
{
    applyScene(kSportsDayShutter, kSportsDayIris);
}

void MainWindow::onSportsNightBtnClicked()
{
    applyScene(kSportsNightShutter, kSportsNightIris);
}

void MainWindow::onOnePushTriggerBtnClicked()
{
    m_control->send([=](CameraWrapper &c) { c.onePushTrigger(); });
}

void MainWindow::onOsdMenuClicked()
{
    if (m_control->send([=](CameraWrapper &c) { c.osdMenu(); }))
        previewShowMainStream();
}

void MainWindow::onOsdEnterClicked()
{
    m_control->send([=](CameraWrapper &c) { c.osdEnter(); });
}

void MainWindow::onOsdBackClicked()
{
    m_control->send([=](CameraWrapper &c) { c.osdBack(); });
}

void MainWindow::onImageFlip()
{
    m_control->send([=](CameraWrapper &c) { c.setImageFlip(m_imgFlipBtn->isChecked()); });
}

void MainWindow::onImageMirror()
{
    m_control->send([=](CameraWrapper &c) { c.setImageMirror(m_imgMirrorBtn->isChecked()); });
}

void MainWindow::onMotionSyncOnClicked()
{
    m_control->send([=](CameraWrapper &c) { c.setMotionSync(true); });
}

void MainWindow::onMotionSyncOffClicked()
{
    m_control->send([=](CameraWrapper &c) { c.setMotionSync(false); });
}

void MainWindow::updateExposureStatus()
{
    if (!currentCamera())
        return;
    CameraStatus &st = currentCamera()->status();
    if (st.shutter == 0)
        st.shutter = 1;
    if (m_irisLabel)
        m_irisLabel->setText(irisStatusText(st.iris));
    if (m_shutterLabel)
        m_shutterLabel->setText(shutterStatusText(st.shutter));
    if (m_brightLabel)
        m_brightLabel->setText(brightStatusText(st.bright));

    if (uiSyncState != 1)
        return;
    // uiSyncState 1: the widgets' slots send nothing, so loading the camera's
    // own values does not echo them back. Values outside a list leave that
    // widget as it is; the sliders clamp to 0-14 themselves.
    m_hueSlider->setValue(st.hue);
    m_contrastSlider->setValue(st.contrast);
    m_luminanceSlider->setValue(st.luminance);
    selectIndex(m_aeModeSelect, aeModeIndexFromByte(st.aeMode));
    selectIndex(m_shutterCombo, shutterIndexFromValue(st.shutter));
    selectIndex(m_irisCombo, irisIndexFromValue(st.iris));
    selectIndex(m_brightCombo, st.bright);
    selectIndex(m_wbCombo, wbIndexFromByte(st.wbMode));
}

// --- Stored exposure replay ---

void MainWindow::applyStoredExposure(int presetNum, int step)
{
    m_control->replayStoredExposure(presetNum, step);
}

void MainWindow::setExposureReplayInterval(int ms)
{
    m_control->setExposureReplayInterval(ms);
}

void MainWindow::applyExposureStageValue(int stage, int value)
{
    // Each widget change goes to the camera through the widget's own slot.
    // Stored list indices come from the settings file: an index outside its
    // list is skipped rather than clearing the combo box.
    switch (stage) {
    case CameraControl::StageAeMode:
        selectIndex(m_aeModeSelect, value);
        break;
    case CameraControl::StageShutter:
        selectIndex(m_shutterCombo, value);
        break;
    case CameraControl::StageIris:
        selectIndex(m_irisCombo, value);
        break;
    case CameraControl::StageBright:
        selectIndex(m_brightCombo, value);
        break;
    case CameraControl::StageLuminance:
        m_luminanceSlider->setValue(value);
        break;
    case CameraControl::StageContrast:
        m_contrastSlider->setValue(value);
        break;
    case CameraControl::StageHue:
        m_hueSlider->setValue(value);
        break;
    case CameraControl::StageWbMode:
        selectIndex(m_wbCombo, value);
        break;
    default:
        break;
    }
}

void MainWindow::stopExposureReplay()
{
    m_control->stopExposureReplay();
}
