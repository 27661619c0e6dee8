#pragma once

#include "mediaplayer.h"

#include <QThreadPool>

#include <memory>

typedef struct _GstElement GstElement;

// MediaPlayer on GStreamer:
//   rtspsrc (video streams only, latency ms) ! decodebin ! videoconvert ! appsink
//   v4l2src device=... ! decodebin ! videoconvert ! appsink
// The appsink keeps only the newest frame; frames reach the GUI thread through
// one queued call at a time, so a slow GUI drops frames instead of queueing
// them. Bus errors are picked up by a sync handler (any thread) and posted to
// the GUI thread; no GLib main loop is needed. State changes (which may take
// hundreds of milliseconds, e.g. an RTSP TEARDOWN) run in order on a control
// thread of the player, so neither start() nor stop() waits for them; a
// device released by stop() is free again before a later start opens it.
class GstMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    explicit GstMediaPlayer(QObject *parent = nullptr);
    ~GstMediaPlayer() override;

    bool start(const MediaSource &source) override;
    void stop() override;

    // Shared between the media threads and the GUI thread for one start.
    struct Session;

private:
    void deliverFrame(const std::shared_ptr<Session> &session);
    void reportFailure(const std::shared_ptr<Session> &session, const QString &detail);

    GstElement *m_pipeline = nullptr;
    std::shared_ptr<Session> m_session;
    QThreadPool m_control; // one thread: state changes in call order
};
