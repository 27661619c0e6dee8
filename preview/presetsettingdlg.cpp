#include "presetsettingdlg.h"

#include "appsettings.h"
#include "mediaplayer.h"
#include "storagepaths.h"
#include "stylesheeturl.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kPresetCount = 127;
constexpr int kPadSize = 44;

using Signal = void (PresetSettingDlg::*)();

// Indexed by PresetSettingDlg::Pad.
constexpr Signal kPressSignals[] = {
    &PresetSettingDlg::moveUpPress,   &PresetSettingDlg::moveDownPress,
    &PresetSettingDlg::moveLeftPress, &PresetSettingDlg::moveRightPress,
    &PresetSettingDlg::zoomInPress,   &PresetSettingDlg::zoomOutPress,
};
constexpr Signal kReleaseSignals[] = {
    &PresetSettingDlg::moveUpRelease,   &PresetSettingDlg::moveDownRelease,
    &PresetSettingDlg::moveLeftRelease, &PresetSettingDlg::moveRightRelease,
    &PresetSettingDlg::zoomInRelease,   &PresetSettingDlg::zoomOutRelease,
};

QString imageStyle(const QString &path)
{
    const QString url = StyleSheet::url(path);
    if (url.isEmpty())
        return QStringLiteral("QLabel{\n}");
    return QStringLiteral("QLabel{\timage : ") + url + QStringLiteral(";\n}");
}

// A 44 x 132 sprite: top frame normal, middle hover, bottom pressed.
QString spriteStyle(const char *sprite)
{
    const QString image = QStringLiteral(":/corvanta-assets/img/") + QLatin1String(sprite);
    return QStringLiteral("QPushButton{background-color : transparent;border : none;"
                          "padding : 0px;background-image : url(") +
           image +
           QStringLiteral(");background-repeat : no-repeat;background-position : top center;}"
                          "QPushButton:hover{background-position : center center;}"
                          "QPushButton:pressed{background-position : bottom center;}");
}

QPushButton *actionButton(const char *objectName, const char *text, const char *toolTip,
                          QWidget *parent)
{
    auto *button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QLatin1String(objectName));
    button->setToolTip(QString::fromLatin1(toolTip));
    // Four buttons share the width of the image: they may narrow below the
    // style's minimum push-button width.
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    button->setMinimumWidth(40);
    return button;
}

} // namespace

PresetSettingDlg::PresetSettingDlg(AppSettings *settings, QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    buildForm();
    onPresetCmbChanged(0);
}

PresetSettingDlg::~PresetSettingDlg() = default;

void PresetSettingDlg::buildForm()
{
    setObjectName(QStringLiteral("PresetSettingDlg"));
    setWindowTitle(QStringLiteral("Preset Setting"));
    // The owner's theme reaches the widgets; a window of its own needs the
    // theme's background.
    setStyleSheet(QStringLiteral("QDialog#PresetSettingDlg{background : #333333;}"));

    auto *root = new QHBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(6);

    // Left: the thumbnail over the row of action buttons.
    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    m_imgLbl = new QLabel(QStringLiteral("Preset Preview Image"), this);
    m_imgLbl->setObjectName(QStringLiteral("imgLbl"));
    m_imgLbl->setToolTip(QStringLiteral("Preset Image"));
    m_imgLbl->setMinimumSize(320, 180);
    m_imgLbl->setAlignment(Qt::AlignCenter);
    left->addWidget(m_imgLbl, 1);

    auto *actions = new QWidget(this);
    actions->setMaximumHeight(40);
    auto *actionRow = new QHBoxLayout(actions);
    actionRow->setContentsMargins(0, 0, 0, 0);
    auto *setBtn = actionButton("setBtn", "Set", "Set Preset", actions);
    auto *callBtn = actionButton("callBtn", "Call", "Call Preset", actions);
    auto *clearImageBtn =
        actionButton("clearImageBtn", "Clear Image", "Clear Preset Image", actions);
    auto *clearPresetBtn = actionButton("clearPresetBtn", "Clear Preset", "Clear Preset", actions);
    for (QPushButton *b : {setBtn, callBtn, clearImageBtn, clearPresetBtn})
        actionRow->addWidget(b);
    left->addWidget(actions);
    root->addLayout(left, 1);

    // Right: the move pad, the preset number and its name.
    auto *right = new QWidget(this);
    right->setMaximumWidth(180);
    auto *rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    rightColumn->setSpacing(4);
    auto *grid = new QGridLayout;
    grid->setSpacing(2);
    m_pad[Up] = padButton("upBtn", "Move Up", "uparrow.png");
    m_pad[Left] = padButton("leftBtn", "Move Left", "leftarrow.png");
    m_pad[Right] = padButton("rightBtn", "Move Right", "rightarrow.png");
    m_pad[Down] = padButton("downBtn", "Move Down", "downarrow.png");
    m_pad[ZoomIn] = padButton("inBtn", "Zoom In", "plus.png");
    m_pad[ZoomOut] = padButton("outBtn", "Zoom Out", "minus.png");
    QPushButton *homeBtn = padButton("homeBtn", "Move Home", "home.png");
    grid->addWidget(m_pad[Up], 0, 1);
    grid->addWidget(m_pad[Left], 1, 0);
    grid->addWidget(homeBtn, 1, 1);
    grid->addWidget(m_pad[Right], 1, 2);
    grid->addWidget(m_pad[ZoomIn], 2, 0);
    grid->addWidget(m_pad[Down], 2, 1);
    grid->addWidget(m_pad[ZoomOut], 2, 2);
    rightColumn->addLayout(grid);

    m_presetCmb = new QComboBox(right);
    m_presetCmb->setObjectName(QStringLiteral("presetCmb"));
    m_presetCmb->setToolTip(QStringLiteral("Preset Numbers"));
    for (int n = 1; n <= kPresetCount; ++n)
        m_presetCmb->addItem(QString::number(n));
    rightColumn->addWidget(m_presetCmb);

    m_presetEdit = new QLineEdit(right);
    m_presetEdit->setObjectName(QStringLiteral("presetEdit"));
    m_presetEdit->setToolTip(QStringLiteral("Preset Name"));
    rightColumn->addWidget(m_presetEdit);
    rightColumn->addStretch();
    root->addWidget(right);

    resize(494, 237);

    connect(setBtn, &QPushButton::clicked, this, &PresetSettingDlg::onSetBtnClicked);
    connect(callBtn, &QPushButton::clicked, this, &PresetSettingDlg::onRecallBtnClicked);
    connect(clearImageBtn, &QPushButton::clicked, this, &PresetSettingDlg::onClearImageBtnClicked);
    connect(clearPresetBtn, &QPushButton::clicked, this,
            &PresetSettingDlg::onClearPresetBtnClicked);
    connect(m_pad[Up], &QPushButton::pressed, this, &PresetSettingDlg::onMoveUpBtnPressed);
    connect(m_pad[Up], &QPushButton::released, this, &PresetSettingDlg::onMoveUpBtnReleased);
    connect(m_pad[Left], &QPushButton::pressed, this, &PresetSettingDlg::onMoveLeftBtnPressed);
    connect(m_pad[Left], &QPushButton::released, this, &PresetSettingDlg::onMoveLeftBtnReleased);
    connect(m_pad[Right], &QPushButton::pressed, this, &PresetSettingDlg::onMoveRightBtnPressed);
    connect(m_pad[Right], &QPushButton::released, this, &PresetSettingDlg::onMoveRightBtnReleased);
    connect(m_pad[Down], &QPushButton::pressed, this, &PresetSettingDlg::onMoveDownBtnPressed);
    connect(m_pad[Down], &QPushButton::released, this, &PresetSettingDlg::onMoveDownBtnReleased);
    connect(m_pad[ZoomIn], &QPushButton::pressed, this, &PresetSettingDlg::onZoomInBtnPressed);
    connect(m_pad[ZoomIn], &QPushButton::released, this, &PresetSettingDlg::onZoomInBtnReleased);
    connect(m_pad[ZoomOut], &QPushButton::pressed, this, &PresetSettingDlg::onZoomOutBtnPressed);
    connect(m_pad[ZoomOut], &QPushButton::released, this, &PresetSettingDlg::onZoomOutBtnReleased);
    connect(homeBtn, &QPushButton::pressed, this, &PresetSettingDlg::onMoveHomeBtnClicked);
    connect(m_presetCmb, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PresetSettingDlg::onPresetCmbChanged);
}

QPushButton *PresetSettingDlg::padButton(const char *objectName, const char *toolTip,
                                         const char *sprite)
{
    auto *button = new QPushButton(this);
    button->setObjectName(QLatin1String(objectName));
    button->setToolTip(QString::fromLatin1(toolTip));
    button->setFixedSize(kPadSize, kPadSize);
    button->setStyleSheet(spriteStyle(sprite));
    // A button pressed with the space bar is let go without a released
    // signal when it loses focus; the pad is for the mouse only.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void PresetSettingDlg::setCamera(int type, const QString &cameraId)
{
    if (type != m_cameraType || cameraId != m_cameraId)
        releaseHeld();
    m_cameraType = type;
    m_cameraId = cameraId;
    if (!hasCamera())
        return;
    // The combo follows the shown preset, so that Set never stores preset 1's
    // name under another number.
    if (m_presetCmb->currentIndex() != 0)
        m_presetCmb->setCurrentIndex(0); // refreshes through onPresetCmbChanged
    else
        onPresetCmbChanged(0);
}

int PresetSettingDlg::currentPreset() const
{
    return m_presetCmb->currentIndex() + 1;
}

void PresetSettingDlg::updatePresetImage(int presetNum)
{
    if (hasCamera() && presetNum == currentPreset())
        showImage();
}

bool PresetSettingDlg::removePresetImage(const QString &cameraId, int presetNum)
{
    const QString path = QDir::cleanPath(Storage::snapshotPath(cameraId, presetNum));
    const QFileInfo info(path);
    if (info.absolutePath() != QDir::cleanPath(QDir(Storage::downloadsFolder()).absolutePath())) {
        qCWarning(lcPreview) << "thumbnail outside the downloads folder not deleted";
        return false;
    }
    // A symbolic link is removed itself, never its target.
    return QFile::remove(path);
}

void PresetSettingDlg::showImage()
{
    m_imgLbl->setStyleSheet(imageStyle(Storage::snapshotPath(m_cameraId, currentPreset())));
}

void PresetSettingDlg::onPresetCmbChanged(int index)
{
    if (!hasCamera() || index < 0)
        return;
    showImage();
    if (m_settings)
        m_presetEdit->setText(m_settings->presetName(m_cameraId, index + 1));
}

void PresetSettingDlg::onSetBtnClicked()
{
    emit setPreset(currentPreset(), m_presetEdit->text());
}

void PresetSettingDlg::onRecallBtnClicked()
{
    emit recallPreset(currentPreset());
}

void PresetSettingDlg::onClearImageBtnClicked()
{
    const int n = currentPreset();
    emit clearImage(n);
    // A receiver that deleted the file has done so by now.
    updatePresetImage(n);
}

void PresetSettingDlg::onClearPresetBtnClicked()
{
    const int n = currentPreset();
    emit clearPreset(n);
    onPresetCmbChanged(n - 1);
}

void PresetSettingDlg::press(Pad pad)
{
    if (m_held != pad)
        releaseHeld();
    m_held = pad;
    emit(this->*kPressSignals[pad])();
}

void PresetSettingDlg::release(Pad pad)
{
    // A release that has nothing held is still sent: one stop too many is
    // harmless, one too few leaves a camera moving.
    if (m_held == pad)
        m_held = NoPad;
    emit(this->*kReleaseSignals[pad])();
}

void PresetSettingDlg::releaseHeld()
{
    if (m_held == NoPad)
        return;
    const Pad pad = m_held;
    m_held = NoPad;
    // setDown() emits nothing, and a button no longer down emits no released
    // signal when the mouse is let go: this release is the only one.
    m_pad[pad]->setDown(false);
    emit(this->*kReleaseSignals[pad])();
}

void PresetSettingDlg::hideEvent(QHideEvent *event)
{
    releaseHeld();
    QDialog::hideEvent(event);
}

void PresetSettingDlg::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        releaseHeld();
    QDialog::changeEvent(event);
}

void PresetSettingDlg::onMoveUpBtnPressed()
{
    press(Up);
}
void PresetSettingDlg::onMoveLeftBtnPressed()
{
    press(Left);
}
void PresetSettingDlg::onMoveRightBtnPressed()
{
    press(Right);
}
void PresetSettingDlg::onMoveDownBtnPressed()
{
    press(Down);
}
void PresetSettingDlg::onZoomInBtnPressed()
{
    press(ZoomIn);
}
void PresetSettingDlg::onZoomOutBtnPressed()
{
    press(ZoomOut);
}
void PresetSettingDlg::onMoveHomeBtnClicked()
{
    emit moveHome();
}
void PresetSettingDlg::onMoveUpBtnReleased()
{
    release(Up);
}
void PresetSettingDlg::onMoveLeftBtnReleased()
{
    release(Left);
}
void PresetSettingDlg::onMoveRightBtnReleased()
{
    release(Right);
}
void PresetSettingDlg::onMoveDownBtnReleased()
{
    release(Down);
}
void PresetSettingDlg::onZoomInBtnReleased()
{
    release(ZoomIn);
}
void PresetSettingDlg::onZoomOutBtnReleased()
{
    release(ZoomOut);
}
