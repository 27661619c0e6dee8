#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <memory>

class AbsBack;
class AbsoluteLayout;
class BoundingBox;
class MediaPlayer;
class PictureInPicture;
class QCheckBox;
class QFrame;
class QMessageBox;
class QPushButton;
class QRadioButton;
class VideoView;

// The live preview of the selected camera: a floating window or docked into a
// host widget ("Snap"), with Start/Stop/Home, the choice of the camera's two
// RTSP streams, timestamped PNG snapshots and a picture-in-picture view of the
// same stream. It knows no camera object: the owner tells it what to play
// (setSource, setConnected) and carries out the camera actions it asks for
// (homeRequested, presetRequested). GUI thread only.
class PreviewWin : public QDialog
{
    Q_OBJECT
public:
    // Plays through GStreamer.
    explicit PreviewWin(QWidget *parent = nullptr);
    // Plays through `player` (taken over).
    PreviewWin(std::unique_ptr<MediaPlayer> player, QWidget *parent = nullptr);
    ~PreviewWin() override;

    // Camera type 0 plays "rtsp://" + id + "/1" or "/2"; type 1 the V4L2 device
    // node the capture device lookup gives for id; anything else nothing. A different source
    // stops the current playback.
    void setSource(int cameraType, const QString &cameraId);
    // The camera's own addresses of streams 1 and 2 (rtsp, rtsps, rtspt or
    // rtsph URLs), replacing the ones made from the id until the next
    // setSource; an empty one means the camera has no such stream (Start
    // then plays nothing, without an error box).
    void setStreamAddresses(const QString &first, const QString &second);
    // Start acts only while connected; disconnecting stops playback.
    void setConnected(bool connected);
    bool isPlaying() const { return m_playing; }
    bool isFirstStreamChecked() const;
    void setFirstStreamChecked(bool checked);
    bool isSnapChecked() const;

    // The widget whose layout takes this window when "Snap" is checked
    // (the main window's central widget).
    void setDockHost(QWidget *host);
    // Folder of the snapshot button, read at each snapshot. Empty or relative
    // means the downloads folder of the per-user data.
    void setSnapshotFolderSource(std::function<QString()> folder);
    // USB camera id -> the device node its camera opened, asked at each
    // start; without one (or with an empty answer) a USB camera does not play.
    void setCaptureDeviceLookup(std::function<QString(const QString &)> lookup);
    // Delay of the overlay refresh after a resize, activation or window-state
    // change, in ms (150).
    void setOverlayRefreshDelay(int ms) { m_refreshDelayMs = ms; }

    void showPictureInPicture(bool visible);
    // Top-left of the picture-in-picture view relative to the centre of the
    // player area; (0, 0) puts it in the top-left corner.
    void setPictureInPictureOffset(const QPoint &offset);
    // The picture on screen (null when not playing or before the first frame).
    QImage currentFrame() const;

    // The player area and its layers, for the image preview map: the
    // background-picture layer and box n (1..9; null otherwise). Stop hides
    // both; what they show is up to the map.
    QWidget *playerArea() const { return m_playerWrapper; }
    AbsBack *backgroundLayer() const { return m_backLayer; }
    BoundingBox *boundingBox(int n) const;

public slots:
    void boundingBoxSizeMove();
    void hideBoundingBox();
    // Saves the current picture to `path` (format from the suffix, else PNG).
    bool takeSnapShot(const QString &path);
    void onHomeBtnClicked();
    void onStreamChanged();
    void onStartBtnClicked();
    void onStopBtnClicked();
    void onSnapClicked();
    void onPresetCalled(int preset);
    void onTakeSnapShotClicked();

signals:
    // Home while playing: send the camera to its home position.
    void homeRequested();
    // A preset box clicked while playing: recall this camera preset.
    void presetRequested(int cameraPreset);
    // Playback started (the overlay of the camera can be loaded).
    void playbackStarted();
    // The overlay refresh ran while playing (layers sized to the player area).
    void overlayRefreshed();
    // The first picture of a start is on screen.
    void firstFrameShown();
    // The window was closed by the operator.
    void closed();
    void pictureInPictureMoved(const QPoint &offsetFromCentre);
    // Result of the snapshot button (written off the GUI thread).
    void snapshotSaved(const QString &path, bool ok);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void buildForm();
    void onFrame(const QImage &frame);
    void onPlaybackFailed(const QString &detail);
    void endPlayback();
    void showOpenError();
    void resizeLayers();
    void layoutOverlay();

    std::unique_ptr<MediaPlayer> m_player;
    int m_cameraType = -1;
    QString m_cameraId;
    bool m_ownStreams = false;
    QString m_streams[2];
    bool m_connected = false;
    bool m_playing = false;
    bool m_pipVisible = false;
    QPoint m_pipOffset;
    int m_refreshDelayMs = 150;
    QPointer<QWidget> m_dockHost;
    std::function<QString()> m_snapshotFolder;
    std::function<QString(const QString &)> m_deviceLookup;
    QPointer<QMessageBox> m_errorBox;

    QFrame *m_frame = nullptr;
    QPushButton *m_takeSnapShotBtn = nullptr;
    QPushButton *m_startBtn = nullptr;
    QPushButton *m_stopBtn = nullptr;
    QPushButton *m_homeBtn = nullptr;
    QRadioButton *m_firstStream = nullptr;
    QRadioButton *m_secondStream = nullptr;
    QCheckBox *m_snapBox = nullptr;
    QWidget *m_playerWrapper = nullptr;
    AbsoluteLayout *m_playerLayout = nullptr;
    AbsBack *m_videoLayer = nullptr;
    AbsBack *m_backLayer = nullptr;
    VideoView *m_video = nullptr;
    PictureInPicture *m_pip = nullptr;
    QList<BoundingBox *> m_boxes;
};
