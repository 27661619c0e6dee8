#include "previewmap.h"

#include "absback.h"
#include "appsettings.h"
#include "boundingbox.h"
#include "mediaplayer.h"
#include "previewwin.h"
#include "storagepaths.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QLayout>
#include <QMessageBox>

namespace {

const char kNotEditable[] = "Can not set bounding boxes' property.";
const char kNoSnapshot[] = "Can not take a snap shot.";
// Stored offsets beyond this are not placed (window coordinates are 16 bit
// on X11, and larger values would overflow the layout's arithmetic).
constexpr int kMaxOffset = 32767;

QString fileSafeKey(const QString &cameraKey)
{
    QString key = cameraKey;
    for (QChar &c : key) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('/') || c == QLatin1Char('\\') || c.isNull())
            c = QLatin1Char('_');
    }
    return key;
}

QPoint boundedOffset(const QPoint &p)
{
    return qAbs(p.x()) > kMaxOffset || qAbs(p.y()) > kMaxOffset ? QPoint() : p;
}

} // namespace

QString mapBackgroundSnapshotPath(const QString &cameraKey)
{
    return Storage::downloadsFolder() + QStringLiteral("/snapshot_") + fileSafeKey(cameraKey) +
           QStringLiteral("_back.png");
}

QString mapBoxSnapshotPath(const QString &cameraKey, int box)
{
    return Storage::downloadsFolder() + QStringLiteral("/snapshot_") + fileSafeKey(cameraKey) +
           QLatin1Char('_') + QString::number(box) + QStringLiteral("_back.png");
}

PreviewMap::PreviewMap(AppSettings *settings, PreviewWin *preview, QWidget *dialogParent,
                       QObject *parent)
    : QObject(parent), m_settings(settings), m_preview(preview), m_dialogParent(dialogParent),
      m_fileDialog(
          [](QWidget *p, const QString &title) { return QFileDialog::getOpenFileName(p, title); }),
      m_colorDialog([](QWidget *p, const QColor &initial, const QString &title) {
          return QColorDialog::getColor(initial, p, title);
      })
{
    connect(preview, &PreviewWin::playbackStarted, this, &PreviewMap::loadOverlay);
    connect(preview, &PreviewWin::overlayRefreshed, this, &PreviewMap::refreshOverlay);
    connect(preview, &PreviewWin::pictureInPictureMoved, this, [this](const QPoint &offset) {
        if (!m_cameraKey.isEmpty())
            m_settings->setPictureInPicturePos(m_cameraKey, offset);
    });
    for (int n = 1; n <= 9; ++n) {
        connect(preview->boundingBox(n), &BoundingBox::dragged, this,
                [this](int box, const QString &key, const QPoint &offset) {
                    // Written on every move: the last one is the place.
                    if (validBox(box) && !key.isEmpty())
                        m_settings->setCustomPresetPos(key, box, offset);
                });
    }
}

PreviewMap::~PreviewMap()
{
    for (const QPointer<QMessageBox> &box : qAsConst(m_messages))
        delete box.data();
}

void PreviewMap::setCamera(int type, const QString &id, bool connected)
{
    const QString key = (type == 0 || type == 1) ? id : QString();
    m_connected = connected && !key.isEmpty();
    if (key == m_cameraKey)
        return;
    m_cameraKey = key;
    if (!m_preview)
        return;
    for (int n = 1; n <= 9; ++n)
        m_preview->boundingBox(n)->setCameraKey(key);
    if (m_preview->isPlaying()) {
        loadOverlay();
        refreshOverlay();
    } else {
        // The next start loads the new camera's map.
        m_preview->hideBoundingBox();
        m_preview->showPictureInPicture(false);
    }
}

bool PreviewMap::editable()
{
    if (m_preview && !m_cameraKey.isEmpty() && m_connected)
        return true;
    showMessage(QLatin1String(kNotEditable));
    return false;
}

void PreviewMap::showMessage(const QString &text)
{
    // Never blocks the caller; a message already on screen is raised, not
    // stacked.
    QPointer<QMessageBox> &box = m_messages[text];
    if (box) {
        box->raise();
        return;
    }
    box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvanta App"), text,
                          QMessageBox::Ok, m_dialogParent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

// --- edits ---

void PreviewMap::takeSnapShotForBackground()
{
    if (!editable())
        return;
    const QString path = mapBackgroundSnapshotPath(m_cameraKey);
    QDir().mkpath(Storage::downloadsFolder());
    if (!m_preview->takeSnapShot(path)) {
        showMessage(QLatin1String(kNoSnapshot));
        return;
    }
    m_settings->setSnapshotBackType(m_cameraKey, 1);
    m_settings->setSnapshotBack(m_cameraKey, path);
    setBackgroundImage(path);
}

void PreviewMap::uploadFileForBackground()
{
    if (!editable())
        return;
    const QString key = m_cameraKey;
    const QString file = m_fileDialog(m_dialogParent, QStringLiteral("Choose background image"));
    if (file.isEmpty())
        return;
    // The dialog runs its own event loop: the camera may have changed.
    if (key != m_cameraKey || !m_connected || !m_preview) {
        qCInfo(lcPreview) << "camera changed while choosing a background: not applied";
        return;
    }
    m_settings->setSnapshotBackType(key, 1);
    m_settings->setSnapshotBack(key, file);
    setBackgroundImage(file);
}

void PreviewMap::useLiveVideoForBackground()
{
    if (!editable())
        return;
    m_settings->setSnapshotBackType(m_cameraKey, 0);
    m_preview->backgroundLayer()->hide();
}

void PreviewMap::takeSnapShotForBoundingBox(int curCustomPreset)
{
    const int n = curCustomPreset;
    if (!editable() || !validBox(n))
        return;
    const QString path = mapBoxSnapshotPath(m_cameraKey, n);
    QDir().mkpath(Storage::downloadsFolder());
    if (!m_preview->takeSnapShot(path)) {
        showMessage(QLatin1String(kNoSnapshot));
        return;
    }
    m_settings->setSnapshotBoxType(m_cameraKey, n, 1);
    m_settings->setSnapshotBox(m_cameraKey, n, path);
    m_preview->boundingBox(n)->setImage(path);
}

void PreviewMap::defaultForBoundingBox(int curCustomPreset)
{
    const int n = curCustomPreset;
    if (!editable() || !validBox(n))
        return;
    m_settings->setSnapshotBoxType(m_cameraKey, n, 0);
    m_preview->boundingBox(n)->clearFill();
}

void PreviewMap::chooseColor(int curCustomPreset)
{
    const int n = curCustomPreset;
    if (!editable() || !validBox(n))
        return;
    const QString key = m_cameraKey;
    QColor color =
        m_colorDialog(m_dialogParent, QColor(Qt::yellow), QStringLiteral("Select Color"));
    if (!color.isValid())
        return;
    if (key != m_cameraKey || !m_connected || !m_preview) {
        qCInfo(lcPreview) << "camera changed while choosing a colour: not applied";
        return;
    }
    color.setAlpha(255);
    m_settings->setSnapshotBoxColor(key, n, {color.red(), color.green(), color.blue()});
    m_settings->setSnapshotBoxType(key, n, 2);
    m_preview->boundingBox(n)->setColor(color);
}

void PreviewMap::setCustomPreset(int curCustomPreset, const QString &title)
{
    const int n = curCustomPreset;
    if (!editable() || !validBox(n))
        return;
    m_settings->setCustomPresetTitle(m_cameraKey, n, title);
    emit storePresetRequested(n + 100);
    m_preview->boundingBox(n)->setTitle(title);
}

void PreviewMap::showCrossHair(int curCustomPreset)
{
    setCenterType(curCustomPreset, 1);
}

void PreviewMap::showCenterDiamond(int curCustomPreset)
{
    setCenterType(curCustomPreset, 2);
}

void PreviewMap::removeCenter(int curCustomPreset)
{
    setCenterType(curCustomPreset, 0);
}

void PreviewMap::setCenterType(int n, int type)
{
    if (!editable() || !validBox(n))
        return;
    m_settings->setCenterType(m_cameraKey, n, type);
    m_preview->boundingBox(n)->setCenterMark(static_cast<BoundingBox::CenterMark>(type));
}

void PreviewMap::resetAllBoxes()
{
    if (!editable())
        return;
    for (int n = 1; n <= 9; ++n)
        m_settings->setCustomPresetPos(m_cameraKey, n, QPoint());
    m_settings->setPictureInPicturePos(m_cameraKey, QPoint());
    m_preview->setPictureInPictureOffset(QPoint());
    m_preview->boundingBoxSizeMove();
}

void PreviewMap::showHidePictureInPicture()
{
    if (!editable())
        return;
    const bool visible = !m_settings->pictureInPictureVisibility(m_cameraKey);
    m_settings->setPictureInPictureVisibility(m_cameraKey, visible);
    m_preview->showPictureInPicture(visible);
}

void PreviewMap::showHideCurrentBoundingBox(int curCustomPreset)
{
    const int n = curCustomPreset;
    if (!editable() || !validBox(n))
        return;
    m_settings->setBoxVisibility(m_cameraKey, n, !m_settings->boxVisibility(m_cameraKey, n));
    refreshOverlay();
}

void PreviewMap::showHideBoundingBoxes()
{
    if (!editable())
        return;
    m_settings->setWrapperVisibility(m_cameraKey, !m_settings->wrapperVisibility(m_cameraKey));
    refreshOverlay();
}

// --- overlay ---

bool PreviewMap::backgroundShown() const
{
    // 1 is the only picture kind; anything else shows the live video.
    return m_settings->snapshotBackType(m_cameraKey) == 1;
}

QPoint PreviewMap::storedBoxPos(int n) const
{
    return boundedOffset(m_settings->customPresetPos(m_cameraKey, n));
}

QPoint PreviewMap::storedPipPos() const
{
    return boundedOffset(m_settings->pictureInPicturePos(m_cameraKey));
}

void PreviewMap::loadOverlay()
{
    if (!m_preview)
        return;
    if (m_cameraKey.isEmpty()) {
        m_preview->hideBoundingBox();
        return;
    }
    if (backgroundShown())
        setBackgroundImage(m_settings->snapshotBack(m_cameraKey));
    for (int n = 1; n <= 9; ++n)
        loadBox(n);
    m_preview->setPictureInPictureOffset(storedPipPos());
    m_preview->showPictureInPicture(m_settings->pictureInPictureVisibility(m_cameraKey));
}

void PreviewMap::loadBox(int n)
{
    BoundingBox *box = m_preview->boundingBox(n);
    // Values outside their ranges (a hand-edited file) count as absent.
    switch (m_settings->snapshotBoxType(m_cameraKey, n)) {
    case 1:
        box->setImage(m_settings->snapshotBox(m_cameraKey, n));
        break;
    case 2: {
        const BoxColor c = m_settings->snapshotBoxColor(m_cameraKey, n);
        box->setColor(QColor(c.red, c.green, c.blue));
        break;
    }
    default:
        box->clearFill();
        break;
    }
    const int center = m_settings->centerType(m_cameraKey, n);
    box->setCenterMark(center == 1   ? BoundingBox::CenterMark::CrossHair
                       : center == 2 ? BoundingBox::CenterMark::Diamond
                                     : BoundingBox::CenterMark::None);
    box->setTitle(m_settings->customPresetTitle(m_cameraKey, n));
}

void PreviewMap::setBackgroundImage(const QString &path)
{
    QFrame *frame = m_preview->backgroundLayer()->backWidget();
    frame->setStyleSheet(QStringLiteral("QFrame{image : url(") + styleSheetString(path) +
                         QStringLiteral(") center center;background : black}"));
    repolish(frame);
    refreshOverlay();
}

void PreviewMap::refreshOverlay()
{
    if (!m_preview || !m_preview->isPlaying())
        return;
    const bool overlay = !m_cameraKey.isEmpty() && m_settings->wrapperVisibility(m_cameraKey);
    AbsBack *back = m_preview->backgroundLayer();
    back->setFixedSize(m_preview->playerArea()->size());
    back->move(0, 0);
    back->setVisible(overlay && backgroundShown());
    // A box hidden on its own stays hidden when the whole overlay is shown.
    for (int n = 1; n <= 9; ++n)
        m_preview->boundingBox(n)->setVisible(overlay && m_settings->boxVisibility(m_cameraKey, n));
    if (overlay)
        layoutBoxes();
}

void PreviewMap::layoutBoxes()
{
    QWidget *area = m_preview->playerArea();
    const int w2 = area->width() / 2;
    const int h2 = area->height() / 2;
    const int s = area->layout() ? area->layout()->spacing() : 0;
    for (int i = 0; i < 9; ++i) {
        const QPoint p = storedBoxPos(i + 1);
        // (0, 0) is "not placed": the box's place in a centred 3 x 3 grid.
        const QPoint place = p.isNull() ? QPoint((s + 130) * (i % 3) - s + w2 - 195,
                                                 (s + 81) * (i / 3) - s - 121 + h2)
                                        : QPoint(p.x() + w2, p.y() + h2);
        m_preview->boundingBox(i + 1)->move(place);
    }
}
