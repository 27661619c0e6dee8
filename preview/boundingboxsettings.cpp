#include "boundingboxsettings.h"

#include "previewmap.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char kUnselected[] =
    "QPushButton{background : grey;padding : 8px;border-radius : 3px;}QPushButton:pressed{"
    "background : #474747;}QPushButton:hover{background : #c9c9c9;}";
const char kSelected[] =
    "QPushButton{background : #4f4f4f;padding : 8px;border-radius : 3px;}QPushButton:pressed{"
    "background : #474747;}QPushButton:hover{background : #c9c9c9;}";

} // namespace

BoundingBoxSettings::BoundingBoxSettings(AppSettings *settings, PreviewWin *preview,
                                         QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_map(new PreviewMap(settings, preview, this, this))
{
    buildForm();
    connect(m_map, &PreviewMap::storePresetRequested, this,
            &BoundingBoxSettings::storePresetRequested);
    connect(this, &BoundingBoxSettings::takeSnapShotForBackgroundClicked, m_map,
            &PreviewMap::takeSnapShotForBackground);
    connect(this, &BoundingBoxSettings::uploadFileForBackgroundClicked, m_map,
            &PreviewMap::uploadFileForBackground);
    connect(this, &BoundingBoxSettings::useLiveVideoForBackgroundClicked, m_map,
            &PreviewMap::useLiveVideoForBackground);
    connect(this, &BoundingBoxSettings::takeSnapShotForBoundingBoxClicked, m_map,
            &PreviewMap::takeSnapShotForBoundingBox);
    connect(this, &BoundingBoxSettings::defaultForBoundingBoxClicked, m_map,
            &PreviewMap::defaultForBoundingBox);
    connect(this, &BoundingBoxSettings::setCustomPresetClicked, m_map,
            &PreviewMap::setCustomPreset);
    connect(this, &BoundingBoxSettings::showCrossHairClicked, m_map, &PreviewMap::showCrossHair);
    connect(this, &BoundingBoxSettings::showCenterDiamondClicked, m_map,
            &PreviewMap::showCenterDiamond);
    connect(this, &BoundingBoxSettings::removeCenterClicked, m_map, &PreviewMap::removeCenter);
    connect(this, &BoundingBoxSettings::resetAllBoxesClicked, m_map, &PreviewMap::resetAllBoxes);
    connect(this, &BoundingBoxSettings::chooseColorClicked, m_map, &PreviewMap::chooseColor);
    connect(this, &BoundingBoxSettings::showHidePictureInPictureClicked, m_map,
            &PreviewMap::showHidePictureInPicture);
    connect(this, &BoundingBoxSettings::showHideCurrentBoundingBoxClicked, m_map,
            &PreviewMap::showHideCurrentBoundingBox);
    connect(this, &BoundingBoxSettings::showHideBoundingBoxesClicked, m_map,
            &PreviewMap::showHideBoundingBoxes);
}

BoundingBoxSettings::~BoundingBoxSettings() = default;

void BoundingBoxSettings::buildForm()
{
    setWindowTitle(QStringLiteral("Image Preview Map"));
    const auto button = [this](const char *name, const QString &text,
                               void (BoundingBoxSettings::*slot)()) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    const auto row = [](std::initializer_list<QWidget *> widgets) {
        auto *layout = new QHBoxLayout;
        for (QWidget *w : widgets)
            layout->addWidget(w);
        return layout;
    };
    auto *label = new QLabel(QStringLiteral("Background:"), this);
    label->setObjectName(QStringLiteral("label"));
    auto *label2 = new QLabel(QStringLiteral("Bounding Boxes:"), this);
    label2->setObjectName(QStringLiteral("label_2"));

    using W = BoundingBoxSettings;
    void (W::*const selectSlots[9])() = {
        &W::selectCustomPreset1, &W::selectCustomPreset2, &W::selectCustomPreset3,
        &W::selectCustomPreset4, &W::selectCustomPreset5, &W::selectCustomPreset6,
        &W::selectCustomPreset7, &W::selectCustomPreset8, &W::selectCustomPreset9};
    auto *grid = new QGridLayout;
    for (int i = 0; i < 9; ++i) {
        const QByteArray name = "customPreset" + QByteArray::number(i + 1);
        m_selectors[i] = button(name.constData(), QString::number(i + 1), selectSlots[i]);
        m_selectors[i]->setStyleSheet(QLatin1String(kUnselected));
        grid->addWidget(m_selectors[i], i / 3, i % 3);
    }
    m_presetTitle = new QLineEdit(this);
    m_presetTitle->setObjectName(QStringLiteral("presetTitleLabel"));

    auto *column = new QVBoxLayout(this);
    column->addWidget(label);
    column->addLayout(row(
        {button("snapShotBackBtn", QStringLiteral("Take a SnapShot"),
                &W::takeSnapShotForBackground),
         button("fileBackBtn", QStringLiteral("File"), &W::uploadFileForBackground),
         button("liveVideoBackBtn", QStringLiteral("Live Video"), &W::useLiveVideoForBackground)}));
    column->addWidget(label2);
    column->addLayout(grid);
    column->addLayout(
        row({button("showCrossHairBtn", QStringLiteral("Show CrossHair"), &W::showCrossHair),
             button("showCenterDiamondBtn", QStringLiteral("Show Center Diamond"),
                    &W::showCenterDiamond),
             button("removeCenterBtn", QStringLiteral("Remove"), &W::removeCenter)}));
    column->addLayout(
        row({button("setPresetBtn", QStringLiteral("Set Preset"), &W::setCustomPreset),
             m_presetTitle}));
    column->addLayout(
        row({button("defaultBtn", QStringLiteral("Default"), &W::defaultForBoundingBox),
             button("chooseColorBtn", QStringLiteral("Choose Color"), &W::chooseColor),
             button("snapShotBoxBtn", QStringLiteral("Take a SnapShot"),
                    &W::takeSnapShotForBoundingBox)}));
    column->addWidget(
        button("resetBtn", QStringLiteral("Reset all custom presets"), &W::resetAllBoxes));
    column->addWidget(button("showHidePictureInPicture",
                             QStringLiteral("Show/Hide PictureInPicture Box"),
                             &W::showHidePictureInPicture));
    column->addWidget(button("showHideCurBox", QStringLiteral("Show/Hide Current Bounding Box"),
                             &W::showHideCurrentBoundingBox));
    column->addWidget(button("showHideBoxes", QStringLiteral("Show/Hide Bounding Boxes"),
                             &W::showHideBoundingBoxes));
    resize(302, 447);
}

void BoundingBoxSettings::setCamera(int type, const QString &id, bool connected)
{
    m_map->setCamera(type, id, connected);
}

void BoundingBoxSettings::selectCustomPreset(int n)
{
    for (QPushButton *selector : m_selectors)
        selector->setStyleSheet(QLatin1String(kUnselected));
    m_selected = n;
    m_selectors[n - 1]->setStyleSheet(QLatin1String(kSelected));
}

void BoundingBoxSettings::selectCustomPreset1()
{
    selectCustomPreset(1);
}
void BoundingBoxSettings::selectCustomPreset2()
{
    selectCustomPreset(2);
}
void BoundingBoxSettings::selectCustomPreset3()
{
    selectCustomPreset(3);
}
void BoundingBoxSettings::selectCustomPreset4()
{
    selectCustomPreset(4);
}
void BoundingBoxSettings::selectCustomPreset5()
{
    selectCustomPreset(5);
}
void BoundingBoxSettings::selectCustomPreset6()
{
    selectCustomPreset(6);
}
void BoundingBoxSettings::selectCustomPreset7()
{
    selectCustomPreset(7);
}
void BoundingBoxSettings::selectCustomPreset8()
{
    selectCustomPreset(8);
}
void BoundingBoxSettings::selectCustomPreset9()
{
    selectCustomPreset(9);
}

void BoundingBoxSettings::takeSnapShotForBackground()
{
    emit takeSnapShotForBackgroundClicked();
}

void BoundingBoxSettings::uploadFileForBackground()
{
    emit uploadFileForBackgroundClicked();
}

void BoundingBoxSettings::useLiveVideoForBackground()
{
    emit useLiveVideoForBackgroundClicked();
}

void BoundingBoxSettings::resetAllBoxes()
{
    emit resetAllBoxesClicked();
}

void BoundingBoxSettings::showHidePictureInPicture()
{
    emit showHidePictureInPictureClicked();
}

void BoundingBoxSettings::showHideBoundingBoxes()
{
    emit showHideBoundingBoxesClicked();
}

void BoundingBoxSettings::takeSnapShotForBoundingBox()
{
    if (m_selected > 0)
        emit takeSnapShotForBoundingBoxClicked(m_selected);
}

void BoundingBoxSettings::defaultForBoundingBox()
{
    if (m_selected > 0)
        emit defaultForBoundingBoxClicked(m_selected);
}

void BoundingBoxSettings::showCrossHair()
{
    if (m_selected > 0)
        emit showCrossHairClicked(m_selected);
}

void BoundingBoxSettings::showCenterDiamond()
{
    if (m_selected > 0)
        emit showCenterDiamondClicked(m_selected);
}

void BoundingBoxSettings::removeCenter()
{
    if (m_selected > 0)
        emit removeCenterClicked(m_selected);
}

void BoundingBoxSettings::chooseColor()
{
    if (m_selected > 0)
        emit chooseColorClicked(m_selected);
}

void BoundingBoxSettings::showHideCurrentBoundingBox()
{
    if (m_selected > 0)
        emit showHideCurrentBoundingBoxClicked(m_selected);
}

void BoundingBoxSettings::setCustomPreset()
{
    const QString title = m_presetTitle->text();
    // The message does not stop the preset: it is stored with the empty title.
    if (title.isEmpty())
        m_map->showMessage(QStringLiteral("Please enter preset title"));
    if (m_selected > 0)
        emit setCustomPresetClicked(m_selected, title);
}
