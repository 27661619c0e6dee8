#include "gstmediaplayer.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <mutex>

#ifdef __GLIBC__
#include <malloc.h>
#endif

Q_LOGGING_CATEGORY(lcPreview, "corvanta.preview")

std::unique_ptr<MediaPlayer> createDefaultMediaPlayer(QObject *parent)
{
    return std::make_unique<GstMediaPlayer>(parent);
}

// One start's link between the media threads and the GUI thread. The media
// threads only call offerFrame() and postFailure(); both post a queued call
// to `owner`, which drops it unless the session is still the current one.
// `owner` outlives every media thread: stop() joins them before the player
// goes away.
struct GstMediaPlayer::Session : std::enable_shared_from_this<Session>
{
    GstMediaPlayer *owner = nullptr;
    QMutex mutex;
    QImage latest;             // guarded by mutex
    bool framePending = false; // guarded by mutex: a delivery is queued
    std::atomic_bool failurePosted{false};

    void offerFrame(QImage frame)
    {
        {
            QMutexLocker lock(&mutex);
            latest = std::move(frame);
            if (framePending)
                return;
            framePending = true;
        }
        auto self = shared_from_this();
        QMetaObject::invokeMethod(
            owner, [self] { self->owner->deliverFrame(self); }, Qt::QueuedConnection);
    }

    void postFailure(const QString &detail)
    {
        if (failurePosted.exchange(true))
            return;
        auto self = shared_from_this();
        QMetaObject::invokeMethod(
            owner, [self, detail] { self->owner->reportFailure(self, detail); },
            Qt::QueuedConnection);
    }
};

namespace {

using SessionPtr = std::shared_ptr<GstMediaPlayer::Session>;

bool ensureGstreamer()
{
    static bool ok = false;
    static std::once_flag once;
    std::call_once(once, [] {
        GError *error = nullptr;
        ok = gst_init_check(nullptr, nullptr, &error);
        if (!ok) {
            qCWarning(lcPreview) << "GStreamer unavailable:" << (error ? error->message : "");
            g_clear_error(&error);
        }
    });
    return ok;
}

void deleteSessionRef(gpointer data)
{
    delete static_cast<SessionPtr *>(data);
}

// Wraps the sample's frame without copying; the image keeps the buffer
// mapped until its last copy is gone.
QImage imageFromSample(GstSample *sample)
{
    GstVideoInfo info;
    GstCaps *caps = gst_sample_get_caps(sample);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return QImage();
    auto *frame = new GstVideoFrame;
    if (!gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        delete frame;
        return QImage();
    }
    const auto release = [](void *f) {
        gst_video_frame_unmap(static_cast<GstVideoFrame *>(f));
        delete static_cast<GstVideoFrame *>(f);
    };
    return QImage(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)),
                  GST_VIDEO_FRAME_WIDTH(frame), GST_VIDEO_FRAME_HEIGHT(frame),
                  GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32, release, frame);
}

GstFlowReturn onNewSample(GstAppSink *sink, gpointer data)
{
    const SessionPtr &session = *static_cast<SessionPtr *>(data);
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    QImage frame = imageFromSample(sample);
    gst_sample_unref(sample);
    if (!frame.isNull())
        session->offerFrame(std::move(frame));
    return GST_FLOW_OK;
}

// Runs on the posting thread. The handler owns `message` and, as it answers
// GST_BUS_DROP, must unref it: a message holds its source element, so a
// leaked one keeps the whole stopped pipeline (sockets, eventfds, threads).
GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    const SessionPtr &session = *static_cast<SessionPtr *>(data);
    const QString source = QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message)));
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_WARNING: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        const bool isError = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
        if (isError)
            gst_message_parse_error(message, &error, &debug);
        else
            gst_message_parse_warning(message, &error, &debug);
        const QString detail = source + QStringLiteral(": ") + QString::fromUtf8(error->message);
        qCWarning(lcPreview).noquote()
            << (isError ? "playback error" : "playback warning") << detail << "|" << debug;
        if (isError)
            session->postFailure(detail);
        g_clear_error(&error);
        g_free(debug);
        break;
    }
    case GST_MESSAGE_EOS:
        session->postFailure(QStringLiteral("end of stream"));
        break;
    default:
        break;
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

// rtspsrc: set up video streams only, so no audio is ever received or played.
gboolean onSelectStream(GstElement *, guint, GstCaps *caps, gpointer)
{
    const GstStructure *s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    const gchar *media = s ? gst_structure_get_string(s, "media") : nullptr;
    return media && g_str_equal(media, "video");
}

// Links a newly exposed pad to `target`'s sink pad if that is still free.
// With `videoOnly` the pad must carry raw video.
void linkNewPad(GstPad *pad, GstElement *target, bool videoOnly)
{
    if (videoOnly) {
        GstCaps *caps = gst_pad_get_current_caps(pad);
        if (!caps)
            caps = gst_pad_query_caps(pad, nullptr);
        const GstStructure *s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
        const bool video = s && g_str_has_prefix(gst_structure_get_name(s), "video/");
        if (caps)
            gst_caps_unref(caps);
        if (!video)
            return;
    }
    GstPad *sinkPad = gst_element_get_static_pad(target, "sink");
    if (!gst_pad_is_linked(sinkPad) && gst_pad_link(pad, sinkPad) != GST_PAD_LINK_OK)
        qCWarning(lcPreview) << "could not link" << GST_PAD_NAME(pad);
    gst_object_unref(sinkPad);
}

void onSourcePad(GstElement *, GstPad *pad, gpointer decoder)
{
    linkNewPad(pad, static_cast<GstElement *>(decoder), false);
}

void onDecodedPad(GstElement *, GstPad *pad, gpointer convert)
{
    linkNewPad(pad, static_cast<GstElement *>(convert), true);
}

} // namespace

GstMediaPlayer::GstMediaPlayer(QObject *parent) : MediaPlayer(parent)
{
    m_control.setMaxThreadCount(1);
}

GstMediaPlayer::~GstMediaPlayer()
{
    stop();
    // The media threads post to this object until their pipeline is down.
    m_control.waitForDone();
}

bool GstMediaPlayer::start(const MediaSource &source)
{
    stop();
    if (!ensureGstreamer())
        return false;

    const bool rtsp = source.kind == MediaSource::Kind::Rtsp;
    GstElement *src = gst_element_factory_make(rtsp ? "rtspsrc" : "v4l2src", "source");
    GstElement *decoder = gst_element_factory_make("decodebin", "decoder");
    GstElement *convert = gst_element_factory_make("videoconvert", "convert");
    GstElement *sink = gst_element_factory_make("appsink", "sink");
    if (!src || !decoder || !convert || !sink) {
        qCWarning(lcPreview) << "missing GStreamer elements for" << source.location;
        for (GstElement *e : {src, decoder, convert, sink}) {
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        }
        return false;
    }

    const QByteArray location = source.location.toUtf8();
    if (rtsp) {
        g_object_set(src, "location", location.constData(), "latency",
                     guint(qMax(0, source.latencyMs)), nullptr);
        g_signal_connect(src, "select-stream", G_CALLBACK(onSelectStream), nullptr);
        g_signal_connect(src, "pad-added", G_CALLBACK(onSourcePad), decoder);
    } else {
        g_object_set(src, "device", location.constData(), nullptr);
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onDecodedPad), convert);

    // QImage::Format_RGB32 is 0xffRRGGBB in native byte order.
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                        Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "BGRx" : "xRGB", nullptr);
    g_object_set(sink, "caps", caps, "max-buffers", 1u, "drop", TRUE, "sync", FALSE, nullptr);
    gst_caps_unref(caps);

    auto session = std::make_shared<Session>();
    session->owner = this;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new SessionPtr(session),
                               deleteSessionRef);

    GstElement *pipeline = gst_pipeline_new("preview");
    gst_bin_add_many(GST_BIN(pipeline), src, decoder, convert, sink, nullptr);
    gst_element_link(convert, sink);
    if (!rtsp)
        gst_element_link(src, decoder);

    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, onBusMessage, new SessionPtr(session), deleteSessionRef);
    gst_object_unref(bus);

    m_pipeline = pipeline;
    m_session = session;
    qCDebug(lcPreview) << "starting" << source.location;
    gst_object_ref(pipeline);
    m_control.start([pipeline, session] {
        // A busy or missing device fails here; the network is opened later by
        // rtspsrc's own thread. Either way the failure also reaches the bus.
        if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            session->postFailure(QStringLiteral("could not start playback"));
        gst_object_unref(pipeline);
    });
    return true;
}

void GstMediaPlayer::stop()
{
    if (!m_pipeline)
        return;
    GstElement *pipeline = m_pipeline;
    m_pipeline = nullptr;
    m_session.reset(); // anything the stopped playback still posts is dropped
    m_control.start([pipeline] {
        // Joins the streaming threads; rtspsrc bounds its TEARDOWN by its own timeout.
        gst_element_set_state(pipeline, GST_STATE_NULL);
        GstBus *bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(pipeline);
#ifdef __GLIBC__
        // The streaming threads of a pipeline each allocate from their own
        // malloc arena, which keeps what they freed; restart after restart the
        // process would hold on to pages of long-gone decoders.
        malloc_trim(0);
#endif
    });
}

void GstMediaPlayer::deliverFrame(const std::shared_ptr<Session> &session)
{
    if (session != m_session)
        return;
    QImage frame;
    {
        QMutexLocker lock(&session->mutex);
        frame = std::move(session->latest);
        session->latest = QImage();
        session->framePending = false;
    }
    if (!frame.isNull())
        emit frameReady(frame);
}

void GstMediaPlayer::reportFailure(const std::shared_ptr<Session> &session, const QString &detail)
{
    if (session != m_session)
        return;
    stop();
    emit failed(detail);
}
