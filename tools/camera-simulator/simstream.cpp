// GLib's headers use "signals" as a name: they come before any Qt header.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include "simstream.h"

#include <QDebug>
#include <QImage>
#include <QList>
#include <QMutexLocker>
#include <QPointer>
#include <QTimer>

namespace {

// One encoder per stream, shared by every client of that stream.
QByteArray launchLine()
{
    return QByteArrayLiteral("( appsrc name=src ! videoconvert ! video/x-raw,format=I420 "
                             "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=30 "
                             "! rtph264pay name=pay0 pt=96 config-interval=1 )");
}

} // namespace

struct SimStream::Gst
{
    struct Factory
    {
        Gst *gst;
        int stream;
    };
    struct Source
    {
        GstElement *appsrc;  // owned reference
        GstRTSPMedia *media; // owned reference
        int stream;
    };

    QPointer<SimStream> owner;
    GstRTSPServer *server = nullptr;
    guint sourceId = 0;
    Factory factories[2];
    GstRTSPMediaFactory *factoryObjects[2] = {nullptr, nullptr}; // owned references
    // Written from the RTSP server's callbacks, read by the frame timer.
    QMutex mutex;
    QList<Source> sources;

    static void onMediaConfigure(GstRTSPMediaFactory *, GstRTSPMedia *media, gpointer data)
    {
        auto *factory = static_cast<Factory *>(data);
        GstElement *bin = gst_rtsp_media_get_element(media);
        GstElement *appsrc = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "src");
        gst_object_unref(bin);
        if (!appsrc)
            return;
        const QSize size = SimStream::streamSize(factory->stream);
        GstCaps *caps =
            gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                                size.width(), "height", G_TYPE_INT, size.height(), "framerate",
                                GST_TYPE_FRACTION, SimStream::kFramesPerSecond, 1, nullptr);
        // Live, timestamped when pushed; at most two frames wait, the oldest
        // is dropped when the encoder falls behind.
        g_object_set(appsrc, "caps", caps, "format", GST_FORMAT_TIME, "is-live", TRUE,
                     "do-timestamp", TRUE, "max-buffers", guint64(2), "leaky-type", 2, nullptr);
        gst_caps_unref(caps);
        g_signal_connect(media, "unprepared", G_CALLBACK(onMediaUnprepared), factory->gst);
        {
            QMutexLocker lock(&factory->gst->mutex);
            factory->gst->sources.append(
                {appsrc, static_cast<GstRTSPMedia *>(g_object_ref(media)), factory->stream});
        }
        factory->gst->notifyOwner();
    }

    static void onMediaUnprepared(GstRTSPMedia *media, gpointer data)
    {
        auto *gst = static_cast<Gst *>(data);
        {
            QMutexLocker lock(&gst->mutex);
            for (int i = gst->sources.size() - 1; i >= 0; --i) {
                if (gst->sources.at(i).media == media) {
                    g_signal_handlers_disconnect_by_data(media, gst);
                    gst_object_unref(gst->sources.at(i).appsrc);
                    g_object_unref(media);
                    gst->sources.removeAt(i);
                }
            }
        }
        gst->notifyOwner();
    }

    void notifyOwner()
    {
        if (owner)
            QMetaObject::invokeMethod(
                owner.data(),
                [o = owner] {
                    if (o)
                        o->updateTimer();
                },
                Qt::QueuedConnection);
    }
};

SimStream::SimStream(ViewProvider provider, QObject *parent)
    : QObject(parent), m_provider(std::move(provider)), m_gst(std::make_unique<Gst>())
{
    gst_init_check(nullptr, nullptr, nullptr);
    m_gst->owner = this;
    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(1000 / kFramesPerSecond);
    connect(m_timer, &QTimer::timeout, this, &SimStream::renderFrames);
}

SimStream::~SimStream()
{
    // Nothing of the server may call into this object once it is gone: the
    // handlers go first, then the clients (their media are torn down in the
    // server's threads), then the server.
    for (GstRTSPMediaFactory *&factory : m_gst->factoryObjects) {
        if (factory) {
            g_signal_handlers_disconnect_by_data(factory, &m_gst->factories[0]);
            g_signal_handlers_disconnect_by_data(factory, &m_gst->factories[1]);
            g_object_unref(factory);
            factory = nullptr;
        }
    }
    {
        QMutexLocker lock(&m_gst->mutex);
        for (const Gst::Source &source : qAsConst(m_gst->sources))
            g_signal_handlers_disconnect_by_data(source.media, m_gst.get());
    }
    if (m_gst->server) {
        gst_rtsp_server_client_filter(
            m_gst->server,
            [](GstRTSPServer *, GstRTSPClient *, gpointer) { return GST_RTSP_FILTER_REMOVE; },
            nullptr);
        if (m_gst->sourceId)
            g_source_remove(m_gst->sourceId);
        g_object_unref(m_gst->server);
    }
    QMutexLocker lock(&m_gst->mutex);
    for (const Gst::Source &source : qAsConst(m_gst->sources)) {
        gst_object_unref(source.appsrc);
        g_object_unref(source.media);
    }
    m_gst->sources.clear();
}

QSize SimStream::streamSize(int stream)
{
    return stream == 1 ? QSize(1280, 720) : QSize(640, 360);
}

bool SimStream::listen(const QHostAddress &address, quint16 port)
{
    if (m_gst->server)
        return false;
    m_gst->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(m_gst->server, address.toString().toUtf8().constData());
    gst_rtsp_server_set_service(m_gst->server, QByteArray::number(port).constData());
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(m_gst->server);
    for (int stream = 1; stream <= 2; ++stream) {
        GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
        gst_rtsp_media_factory_set_launch(factory, launchLine().constData());
        gst_rtsp_media_factory_set_shared(factory, TRUE);
        m_gst->factories[stream - 1] = {m_gst.get(), stream};
        g_signal_connect(factory, "media-configure", G_CALLBACK(Gst::onMediaConfigure),
                         &m_gst->factories[stream - 1]);
        m_gst->factoryObjects[stream - 1] =
            static_cast<GstRTSPMediaFactory *>(g_object_ref(factory));
        const QByteArray path = "/" + QByteArray::number(stream);
        gst_rtsp_mount_points_add_factory(mounts, path.constData(), factory);
    }
    g_object_unref(mounts);
    GError *error = nullptr;
    GSource *source = gst_rtsp_server_create_source(m_gst->server, nullptr, &error);
    if (!source) {
        qWarning() << "RTSP: cannot listen on" << address.toString() << port
                   << (error ? error->message : "");
        g_clear_error(&error);
        g_object_unref(m_gst->server);
        m_gst->server = nullptr;
        return false;
    }
    m_gst->sourceId = g_source_attach(source, nullptr);
    g_source_unref(source);
    m_port = quint16(gst_rtsp_server_get_bound_port(m_gst->server));
    return true;
}

int SimStream::playingStreams() const
{
    QMutexLocker lock(&m_gst->mutex);
    return m_gst->sources.size();
}

void SimStream::updateTimer()
{
    if (playingStreams() > 0) {
        if (!m_timer->isActive())
            m_timer->start();
    } else {
        m_timer->stop();
    }
}

void SimStream::renderFrames()
{
    QList<Gst::Source> sources;
    {
        QMutexLocker lock(&m_gst->mutex);
        sources = m_gst->sources;
        for (const Gst::Source &s : qAsConst(sources))
            gst_object_ref(s.appsrc);
    }
    if (sources.isEmpty()) {
        m_timer->stop();
        return;
    }
    const SimScene::View view = m_provider ? m_provider() : SimScene::View();
    QImage frames[2];
    for (const Gst::Source &s : qAsConst(sources)) {
        QImage &frame = frames[s.stream - 1];
        if (frame.isNull())
            frame = SimScene::render(view, streamSize(s.stream));
        GstBuffer *buffer = gst_buffer_new_memdup(frame.constBits(), size_t(frame.sizeInBytes()));
        gst_app_src_push_buffer(GST_APP_SRC(s.appsrc), buffer);
        gst_object_unref(s.appsrc);
    }
}
