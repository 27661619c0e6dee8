#pragma once

#include <QImage>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcPreview)

// What a player opens: a network camera's RTSP stream or a local V4L2 capture
// device. Audio is never played.
struct MediaSource
{
    enum class Kind
    {
        Rtsp,
        V4l2
    };
    Kind kind = Kind::Rtsp;
    // Rtsp: the full URL ("rtsp://host/1"); V4l2: the device node ("/dev/video0").
    QString location;
    // Network buffering for Rtsp, in milliseconds.
    int latencyMs = 300;
};

// One playback at a time, decoded into images for widgets. GUI thread only;
// signals are delivered queued on the GUI thread, never from a media thread.
class MediaPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~MediaPlayer() override = default;

    // Stops any current playback, then starts `source` without waiting for the
    // network or the device. Returns false when no playback could be set up at
    // all (nothing follows then); every later failure arrives as failed().
    virtual bool start(const MediaSource &source) = 0;
    // Stops playback and releases the stream or device, without waiting for
    // it; a later start() opens the device only after the release. Nothing of
    // the stopped playback is emitted after this returns. Safe when idle.
    virtual void stop() = 0;

signals:
    // The newest decoded frame; frames the GUI had no time for are dropped.
    void frameReady(const QImage &frame);
    // The playback failed (could not open, stream lost, ended); emitted at most
    // once per start, after which the player has released the stream.
    void failed(const QString &detail);
};

// The production player (GStreamer). Never null.
std::unique_ptr<MediaPlayer> createDefaultMediaPlayer(QObject *parent = nullptr);
