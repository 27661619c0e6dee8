#pragma once

// SimStream: the simulated camera's live picture over RTSP, H.264 in RTP, at
// rtsp://<address>:<port>/1 (1280x720) and /2 (640x360), 30 frames a second.
// Each frame is SimScene::render() of the view the provider returns when the
// frame is due, so the picture follows the simulated head.
//
// Threads: the RTSP server runs in the thread's default GLib main context,
// which the Qt event loop iterates (Qt's GLib event dispatcher); frames are
// rendered on the main thread by a timer that runs only while some client
// plays a stream, and handed to each playing stream's appsrc (which keeps at
// most two frames and drops the oldest). Main thread only.

#include "simscene.h"

#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QSize>

#include <functional>
#include <memory>

class QTimer;

class SimStream : public QObject
{
    Q_OBJECT
public:
    using ViewProvider = std::function<SimScene::View()>;

    static constexpr int kFramesPerSecond = 30;

    explicit SimStream(ViewProvider provider, QObject *parent = nullptr);
    ~SimStream() override;

    // Serves on address:port (port 0: a free port, see port()). False when
    // the port cannot be bound.
    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return m_port; }
    // Picture size of stream 1 or 2.
    static QSize streamSize(int stream);
    // Streams being played now (for tests and the log).
    int playingStreams() const;

private:
    struct Gst;
    void renderFrames();
    void updateTimer();

    ViewProvider m_provider;
    std::unique_ptr<Gst> m_gst;
    QTimer *m_timer = nullptr;
    quint16 m_port = 0;
};
