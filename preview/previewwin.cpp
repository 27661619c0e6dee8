#include "previewwin.h"

#include "absback.h"
#include "absolutelayout.h"
#include "boundingbox.h"
#include "mediaplayer.h"
#include "pictureinpicture.h"
#include "storagepaths.h"
#include "videoview.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr Qt::WindowFlags kFloatingFlags =
    Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

QByteArray formatForPath(const QString &path)
{
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    return QImageWriter::supportedImageFormats().contains(suffix) ? suffix : QByteArray("png");
}

} // namespace

PreviewWin::PreviewWin(QWidget *parent) : PreviewWin(createDefaultMediaPlayer(), parent) {}

PreviewWin::PreviewWin(std::unique_ptr<MediaPlayer> player, QWidget *parent)
    : QDialog(parent, kFloatingFlags), m_player(std::move(player))
{
    m_player->setParent(nullptr);
    buildForm();

    m_playerLayout = new AbsoluteLayout;
    m_videoLayer = new AbsBack(1, m_playerWrapper);
    m_backLayer = new AbsBack(2, m_playerWrapper);
    m_playerLayout->addWidget(m_videoLayer);
    m_playerLayout->addWidget(m_backLayer);
    // Items 2..10: the boxes of the image preview map, under the
    // picture-in-picture view (item 11).
    for (int n = 1; n <= 9; ++n) {
        auto *box = new BoundingBox(m_playerWrapper);
        box->setPresetNumber(n);
        box->hide();
        m_playerLayout->addWidget(box);
        connect(box, &BoundingBox::presetClicked, this, &PreviewWin::onPresetCalled);
        m_boxes.append(box);
    }
    m_pip = new PictureInPicture(m_playerWrapper);
    m_playerLayout->addWidget(m_pip);
    m_playerWrapper->setLayout(m_playerLayout);
    m_backLayer->hide();
    m_pip->hide();
    m_video = static_cast<VideoView *>(m_videoLayer->backWidget());

    connect(m_startBtn, &QPushButton::clicked, this, &PreviewWin::onStartBtnClicked);
    connect(m_stopBtn, &QPushButton::clicked, this, &PreviewWin::onStopBtnClicked);
    connect(m_firstStream, &QRadioButton::clicked, this, &PreviewWin::onStreamChanged);
    connect(m_secondStream, &QRadioButton::clicked, this, &PreviewWin::onStreamChanged);
    connect(m_snapBox, &QCheckBox::toggled, this, &PreviewWin::onSnapClicked);
    connect(m_homeBtn, &QPushButton::clicked, this, &PreviewWin::onHomeBtnClicked);
    connect(m_takeSnapShotBtn, &QPushButton::clicked, this, &PreviewWin::onTakeSnapShotClicked);

    connect(m_player.get(), &MediaPlayer::frameReady, this, &PreviewWin::onFrame);
    connect(m_player.get(), &MediaPlayer::failed, this, &PreviewWin::onPlaybackFailed);
    connect(m_video, &VideoView::firstFramePainted, this, &PreviewWin::firstFrameShown);
    connect(m_pip, &PictureInPicture::moved, this, [this](const QPoint &offset) {
        m_pipOffset = offset;
        emit pictureInPictureMoved(offset);
    });
}

PreviewWin::~PreviewWin()
{
    // No frame may reach the views while they are being destroyed.
    m_player->stop();
    delete m_errorBox.data();
}

void PreviewWin::buildForm()
{
    setWindowTitle(QStringLiteral("Preview Window"));

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frame"));
    m_frame->setFrameShape(QFrame::StyledPanel);
    m_frame->setFrameShadow(QFrame::Raised);
    const auto button = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, m_frame);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_takeSnapShotBtn = button("takeSnapShotBtn", QStringLiteral("Take a snapshot"));
    m_startBtn = button("startBtn", QStringLiteral("Start"));
    m_stopBtn = button("stopBtn", QStringLiteral("Stop"));
    m_homeBtn = button("homeBtn", QStringLiteral("Home"));
    m_firstStream = new QRadioButton(QStringLiteral("Stream1 (HD)"), m_frame);
    m_firstStream->setObjectName(QStringLiteral("firstStream"));
    m_secondStream = new QRadioButton(QStringLiteral("Stream2 (SD)"), m_frame);
    m_secondStream->setObjectName(QStringLiteral("secondStream"));
    m_secondStream->setChecked(true);
    m_snapBox = new QCheckBox(QStringLiteral("Snap"), m_frame);
    m_snapBox->setObjectName(QStringLiteral("snapBox"));

    auto *row = new QHBoxLayout(m_frame);
    row->setContentsMargins(0, 0, 0, 0);
    row->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    for (QWidget *w :
         {static_cast<QWidget *>(m_takeSnapShotBtn), static_cast<QWidget *>(m_startBtn),
          static_cast<QWidget *>(m_stopBtn), static_cast<QWidget *>(m_homeBtn),
          static_cast<QWidget *>(m_firstStream), static_cast<QWidget *>(m_secondStream)})
        row->addWidget(w);
    row->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addWidget(m_snapBox);

    m_playerWrapper = new QWidget(this);
    m_playerWrapper->setObjectName(QStringLiteral("playerWrapper"));
    m_playerWrapper->setMinimumSize(640, 360);
    m_playerWrapper->setStyleSheet(
        QStringLiteral("QWidget#playerWrapper{\nbackground : black;\n}"));
    m_playerWrapper->setAttribute(Qt::WA_StyledBackground);

    auto *column = new QVBoxLayout(this);
    // No fixed minimum size: the layout's is the window's, 658 x 409 (9 + 640
    // + 9 wide) or more when the button row needs more with the fonts and
    // style in use, so that no text of the row is ever cut off.
    column->setContentsMargins(9, 9, 9, 9);
    column->addWidget(m_frame);
    column->addWidget(m_playerWrapper, 1);
    resize(658, 409);
}

void PreviewWin::setSource(int cameraType, const QString &cameraId)
{
    if (cameraType == m_cameraType && cameraId == m_cameraId)
        return;
    onStopBtnClicked();
    m_cameraType = cameraType;
    m_cameraId = cameraId;
    m_ownStreams = false;
    // A drag of the other camera's view must not go on under this one.
    m_pip->cancelDrag();
}

void PreviewWin::setStreamAddresses(const QString &first, const QString &second)
{
    m_ownStreams = true;
    m_streams[0] = first;
    m_streams[1] = second;
}

void PreviewWin::setConnected(bool connected)
{
    m_connected = connected;
    if (!connected)
        onStopBtnClicked();
}

bool PreviewWin::isFirstStreamChecked() const
{
    return m_firstStream->isChecked();
}

void PreviewWin::setFirstStreamChecked(bool checked)
{
    (checked ? m_firstStream : m_secondStream)->setChecked(true);
}

bool PreviewWin::isSnapChecked() const
{
    return m_snapBox->isChecked();
}

void PreviewWin::setDockHost(QWidget *host)
{
    m_dockHost = host;
}

void PreviewWin::setSnapshotFolderSource(std::function<QString()> folder)
{
    m_snapshotFolder = std::move(folder);
}

void PreviewWin::setCaptureDeviceLookup(std::function<QString(const QString &)> lookup)
{
    m_deviceLookup = std::move(lookup);
}

QImage PreviewWin::currentFrame() const
{
    return m_video->frame();
}

BoundingBox *PreviewWin::boundingBox(int n) const
{
    return n >= 1 && n <= m_boxes.size() ? m_boxes.at(n - 1) : nullptr;
}

void PreviewWin::onStartBtnClicked()
{
    if (m_playing || !m_connected)
        return;
    MediaSource source;
    if (m_cameraType == 0) {
        const QString stream =
            m_firstStream->isChecked() ? QStringLiteral("1") : QStringLiteral("2");
        source.kind = MediaSource::Kind::Rtsp;
        const QString fromId = QStringLiteral("rtsp://") + m_cameraId + QLatin1Char('/') + stream;
        source.location = m_ownStreams ? m_streams[m_firstStream->isChecked() ? 0 : 1] : fromId;
        if (source.location.isEmpty()) {
            qCInfo(lcPreview) << "camera" << m_cameraId << "has no stream" << stream;
            return;
        }
        // The id comes from the settings file or the web API: only a plain
        // host may become the stream's address. A camera's own address must
        // be an RTSP URL with a host.
        static const QStringList kSchemes{QStringLiteral("rtsp"), QStringLiteral("rtsps"),
                                          QStringLiteral("rtspt"), QStringLiteral("rtsph")};
        const QUrl url(source.location, QUrl::StrictMode);
        const bool usable =
            source.location == fromId
                ? url.isValid() && !url.host().isEmpty() &&
                      url.path() == QLatin1Char('/') + stream && !url.hasQuery() &&
                      !url.hasFragment()
                : url.isValid() && !url.host().isEmpty() && kSchemes.contains(url.scheme());
        if (!usable) {
            qCWarning(lcPreview) << "no stream address for camera id" << m_cameraId
                                 << source.location;
            showOpenError();
            return;
        }
    } else if (m_cameraType == 1) {
        source.kind = MediaSource::Kind::V4l2;
        source.location = m_deviceLookup ? m_deviceLookup(m_cameraId) : QString();
        if (source.location.isEmpty()) {
            qCWarning(lcPreview) << "no capture device for USB camera" << m_cameraId;
            showOpenError();
            return;
        }
    } else {
        return;
    }
    if (!m_player->start(source)) {
        showOpenError();
        return;
    }
    m_playing = true;
    m_firstStream->setVisible(m_cameraType == 0);
    m_secondStream->setVisible(m_cameraType == 0);
    emit playbackStarted();
    boundingBoxSizeMove();
}

void PreviewWin::onStopBtnClicked()
{
    if (!m_playing)
        return;
    m_player->stop();
    endPlayback();
}

void PreviewWin::endPlayback()
{
    m_playing = false;
    m_video->setFrame(QImage());
    m_pip->videoFrame()->setFrame(QImage());
    hideBoundingBox();
}

void PreviewWin::onStreamChanged()
{
    onStopBtnClicked();
    onStartBtnClicked();
}

void PreviewWin::onHomeBtnClicked()
{
    if (m_playing)
        emit homeRequested();
}

void PreviewWin::onPresetCalled(int preset)
{
    if (m_playing)
        emit presetRequested(preset + 100);
}

void PreviewWin::onFrame(const QImage &frame)
{
    if (!m_playing)
        return;
    m_video->setFrame(frame);
    if (m_pipVisible)
        m_pip->videoFrame()->setFrame(frame);
}

void PreviewWin::onPlaybackFailed(const QString &detail)
{
    if (!m_playing)
        return;
    qCWarning(lcPreview).noquote() << "live stream of" << m_cameraId << "failed:" << detail;
    endPlayback();
    showOpenError();
}

void PreviewWin::showOpenError()
{
    // Never blocks the path that found the failure; one box at a time.
    if (m_errorBox) {
        m_errorBox->raise();
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvanta"),
                                QStringLiteral("Can not open your live stream."), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    m_errorBox = box;
    box->show();
}

bool PreviewWin::takeSnapShot(const QString &path)
{
    const QImage frame = currentFrame();
    if (!m_playing || frame.isNull())
        return false;
    return frame.save(path, formatForPath(path).constData());
}

void PreviewWin::onTakeSnapShotClicked()
{
    const QImage frame = currentFrame();
    if (!m_playing || frame.isNull())
        return;
    QString folder = m_snapshotFolder ? m_snapshotFolder() : QString();
    if (folder.trimmed().isEmpty() || QDir::isRelativePath(folder)) {
        // Unset (or relative) would land in the process's working directory.
        folder = Storage::downloadsFolder();
        QDir().mkpath(folder);
    }
    const QString path =
        folder + QLatin1Char('/') +
        QDateTime::currentDateTime().toString(QStringLiteral("dd-MM-yyyy-hh-mm-ss-zzz")) +
        QStringLiteral(".png");
    // PNG encoding of a full frame takes tens of milliseconds: off the GUI thread.
    QPointer<PreviewWin> self(this);
    QThreadPool::globalInstance()->start([frame, path, self] {
        const bool ok = frame.save(path, "png");
        if (!ok)
            qCWarning(lcPreview) << "could not write snapshot" << path;
        QMetaObject::invokeMethod(
            qApp,
            [self, path, ok] {
                if (self)
                    emit self->snapshotSaved(path, ok);
            },
            Qt::QueuedConnection);
    });
}

void PreviewWin::onSnapClicked()
{
    QWidget *host = m_dockHost;
    if (!host || !host->layout()) {
        qCWarning(lcPreview) << "no place to dock the preview";
        const QSignalBlocker blocker(m_snapBox);
        m_snapBox->setChecked(false);
        return;
    }
    if (m_snapBox->isChecked()) {
        setWindowFlags(Qt::Widget);
        host->layout()->addWidget(this);
        show();
        host->window()->adjustSize();
    } else {
        host->layout()->removeWidget(this);
        setWindowFlags(kFloatingFlags);
        host->window()->adjustSize();
        showMaximized();
    }
}

void PreviewWin::showPictureInPicture(bool visible)
{
    m_pipVisible = visible;
    m_pip->setVisible(visible);
    if (visible) {
        m_pip->videoFrame()->setFrame(currentFrame());
        resizeLayers();
        layoutOverlay();
    }
}

void PreviewWin::setPictureInPictureOffset(const QPoint &offset)
{
    m_pipOffset = offset;
    layoutOverlay();
}

void PreviewWin::boundingBoxSizeMove()
{
    if (!m_playing)
        return;
    if (m_pipVisible)
        showPictureInPicture(true);
    else
        m_pip->hide();
    resizeLayers();
    layoutOverlay();
    emit overlayRefreshed();
}

void PreviewWin::hideBoundingBox()
{
    m_backLayer->hide();
    for (BoundingBox *box : qAsConst(m_boxes))
        box->hide();
}

void PreviewWin::resizeLayers()
{
    m_videoLayer->setFixedSize(m_playerWrapper->size());
    m_backLayer->setFixedSize(m_playerWrapper->size());
}

void PreviewWin::layoutOverlay()
{
    const QPoint centre(m_playerWrapper->width() / 2, m_playerWrapper->height() / 2);
    m_backLayer->move(0, 0);
    m_videoLayer->move(0, 0);
    m_pip->move(m_pipOffset.isNull() ? QPoint(0, 0) : m_pipOffset + centre);
}

bool PreviewWin::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::WindowStateChange:
        // One refresh per event, not coalesced.
        QTimer::singleShot(m_refreshDelayMs, this, &PreviewWin::boundingBoxSizeMove);
        break;
    default:
        break;
    }
    return QDialog::event(event);
}

void PreviewWin::closeEvent(QCloseEvent *event)
{
    onStopBtnClicked();
    emit closed();
    event->accept();
}

void PreviewWin::reject()
{
    // Escape closes the floating window like its close button; docked, the
    // preview is part of the main window and stays.
    if (!isSnapChecked())
        close();
}
