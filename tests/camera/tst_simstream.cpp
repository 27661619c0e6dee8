// The simulator's picture follows its head: frames of its RTSP stream, pulled
// in process through an appsink, shift by the expected number of pixels when
// the head pans, show the marker larger when it zooms, and blur with manual
// focus away from the sharp position.

// GLib's headers use "signals" as a name: they come before any Qt header.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include "camerasimulator.h"
#include "simscene.h"
#include "simstream.h"

#include <QtTest>

#include <cmath>
#include <functional>

namespace {

const QHostAddress kAddress(QStringLiteral("127.0.0.32"));

// Mean absolute grey difference of rows [top, bottom) of a and b, with b
// shifted right by `shift` pixels; only the overlapping columns count.
double rowDifference(const QImage &a, const QImage &b, int shift, int top, int bottom)
{
    double sum = 0;
    qint64 n = 0;
    for (int y = top; y < bottom; ++y) {
        const auto *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = qMax(0, -shift); x < a.width() && x + shift < b.width(); x += 2) {
            if (x + shift < 0)
                continue;
            sum += std::abs(qGray(ra[x]) - qGray(rb[x + shift]));
            ++n;
        }
    }
    return n ? sum / n : 1e9;
}

// The horizontal shift (pixels, positive: b shows the scene further right)
// that best lays b over a.
int estimateShift(const QImage &a, const QImage &b, int maxShift)
{
    const int top = a.height() / 2;
    const int bottom = a.height() * 3 / 4; // the barcode band below the horizon
    int best = 0;
    double bestDiff = 1e18;
    for (int s = -maxShift; s <= maxShift; ++s) {
        const double d = rowDifference(a, b, s, top, bottom);
        if (d < bestDiff) {
            bestDiff = d;
            best = s;
        }
    }
    return best;
}

// Mean absolute grey difference of two pictures of one size below their top
// fifth (where the position read-out is printed).
double pictureDifference(const QImage &a, const QImage &b)
{
    return rowDifference(a, b, 0, a.height() / 5, a.height());
}

// The stream shows `view` (up to its compression).
bool shows(const QImage &frame, const SimScene::View &view)
{
    return pictureDifference(SimScene::render(view, frame.size()), frame) < 8;
}

// Pixels of the red marker in the picture.
int markerArea(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            n += qRed(row[x]) > 170 && qGreen(row[x]) < 90 && qBlue(row[x]) < 90;
    }
    return n;
}

// Sum of absolute horizontal grey steps: high for a sharp picture.
double sharpness(const QImage &image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); y += 2) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 1; x < image.width(); ++x)
            sum += std::abs(qGray(row[x]) - qGray(row[x - 1]));
    }
    return sum;
}

} // namespace

class TestSimStream : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void panShiftsThePicture_data();
    void panShiftsThePicture();
    void zoomEnlargesTheMarker();
    void manualFocusBlurs();

private:
    // The newest frame of stream 2, or a null image.
    QImage pullFrame();
    // Waits until a frame satisfies `good` (frames lag the head by the
    // encoder's and the network's delay); returns it, or a null image when
    // none did within 30 s.
    QImage frameWhere(const std::function<bool(const QImage &)> &good);

    CameraSimulator *m_sim = nullptr;
    SimStream *m_stream = nullptr;
    GstElement *m_client = nullptr;
    GstElement *m_sink = nullptr;
};

void TestSimStream::initTestCase()
{
    m_sim = new CameraSimulator;
    QVERIFY(m_sim->listen(kAddress, 0, 0));
    m_stream = new SimStream([this] { return m_sim->view(); });
    QVERIFY(m_stream->listen(kAddress, 0));
    QVERIFY(m_stream->port() > 0);

    gst_init(nullptr, nullptr);
    const QByteArray launch = "rtspsrc location=rtsp://" + kAddress.toString().toLatin1() + ':' +
                              QByteArray::number(m_stream->port()) +
                              "/2 latency=0 ! decodebin ! videoconvert ! "
                              "video/x-raw,format=BGRx ! appsink name=sink sync=false "
                              "max-buffers=1 drop=true";
    GError *error = nullptr;
    m_client = gst_parse_launch(launch.constData(), &error);
    QVERIFY2(m_client, error ? error->message : "");
    m_sink = gst_bin_get_by_name(GST_BIN(m_client), "sink");
    QVERIFY(m_sink);
    gst_element_set_state(m_client, GST_STATE_PLAYING);
    QVERIFY(!frameWhere([](const QImage &f) { return !f.isNull(); }).isNull());
    QCOMPARE(m_stream->playingStreams(), 1);
}

void TestSimStream::cleanupTestCase()
{
    if (m_client) {
        gst_element_set_state(m_client, GST_STATE_NULL);
        gst_object_unref(m_sink);
        gst_object_unref(m_client);
    }
    delete m_stream;
    delete m_sim;
}

QImage TestSimStream::pullFrame()
{
    GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(m_sink), 0);
    if (!sample)
        return QImage();
    QImage image;
    GstCaps *caps = gst_sample_get_caps(sample);
    GstStructure *s = gst_caps_get_structure(caps, 0);
    int width = 0;
    int height = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        if (map.size >= gsize(width) * height * 4)
            image = QImage(map.data, width, height, width * 4, QImage::Format_RGB32).copy();
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return image;
}

QImage TestSimStream::frameWhere(const std::function<bool(const QImage &)> &good)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000) {
        const QImage frame = pullFrame();
        if (!frame.isNull() && good(frame))
            return frame;
        QTest::qWait(10);
    }
    return QImage();
}

void TestSimStream::panShiftsThePicture_data()
{
    QTest::addColumn<int>("panSteps"); // the head's move
    QTest::addColumn<int>("zoom");
    QTest::newRow("10 degrees left, wide") << -144 << 0;
    QTest::newRow("5 degrees right, wide") << 72 << 0;
    QTest::newRow("2 degrees left, zoomed") << -29 << 4096;
}

void TestSimStream::panShiftsThePicture()
{
    QFETCH(int, panSteps);
    QFETCH(int, zoom);
    const int width = SimStream::streamSize(2).width();
    const double ppd = SimScene::pixelsPerDegree(zoom, width);
    // Turning left moves the scene right in the picture.
    const int expected = qRound(-panSteps / SimScene::kStepsPerDegree * ppd);

    m_sim->setPosition(0, 0, zoom, SimScene::kSharpFocus);
    const QImage before = frameWhere([&](const QImage &f) { return shows(f, m_sim->view()); });
    QVERIFY(!before.isNull());
    m_sim->setPosition(panSteps, 0, zoom, SimScene::kSharpFocus);
    int seen = 0;
    const QImage after = frameWhere([&](const QImage &f) {
        seen = estimateShift(before, f, 200);
        return std::abs(seen - expected) <= 3;
    });
    QVERIFY(!after.isNull());
    QVERIFY2(std::abs(seen - expected) <= 3,
             qPrintable(QStringLiteral("shift %1, expected %2").arg(seen).arg(expected)));
}

void TestSimStream::zoomEnlargesTheMarker()
{
    m_sim->setPosition(0, 0, 0, SimScene::kSharpFocus);
    const QImage wide = frameWhere([this](const QImage &f) { return shows(f, m_sim->view()); });
    QVERIFY(!wide.isNull());
    const int wideArea = markerArea(wide);
    QVERIFY(wideArea > 200);
    m_sim->setPosition(0, 0, 4096, SimScene::kSharpFocus);
    // The disc's area grows with the square of the narrowing field of view.
    const double ratio = std::pow(SimScene::horizontalFov(0) / SimScene::horizontalFov(4096), 2);
    int teleArea = 0;
    const QImage tele = frameWhere([&](const QImage &f) {
        teleArea = markerArea(f);
        return std::abs(teleArea / double(wideArea) - ratio) < ratio * 0.15;
    });
    QVERIFY2(!tele.isNull(), qPrintable(QStringLiteral("area %1 -> %2, expected ratio %3")
                                            .arg(wideArea)
                                            .arg(teleArea)
                                            .arg(ratio)));
}

void TestSimStream::manualFocusBlurs()
{
    const QSize size = SimStream::streamSize(2);
    SimScene::View view;
    const double sharp = sharpness(SimScene::render(view, size));
    view.autoFocus = false;
    QCOMPARE(sharpness(SimScene::render(view, size)), sharp); // at the sharp position
    view.focus = SimScene::kSharpFocus - 6000;
    QVERIFY(sharpness(SimScene::render(view, size)) < sharp * 0.6);
    view.autoFocus = true; // auto focus finds it again
    QCOMPARE(sharpness(SimScene::render(view, size)), sharp);
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestSimStream test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_simstream.moc"
