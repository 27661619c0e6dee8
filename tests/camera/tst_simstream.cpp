// The simulator's picture follows its head: it shifts by the expected number
// of pixels when the head pans and shows the marker larger when it zooms. That the RTSP stream
// carries these pictures as the head moves is checked through the preview
// (tst_previewpreset).

#include "simscene.h"
#include "simstream.h"

#include <QtTest>

#include <cmath>

namespace {

const QSize kSize = SimStream::streamSize(2);

QImage render(int pan, int zoom)
{
    SimScene::View view;
    view.pan = pan, view.zoom = zoom;
    return SimScene::render(view, kSize);
}

// Mean absolute grey difference of the barcode band below the horizon of a
// and b, with b shifted right by `shift` pixels (overlapping columns only).
double bandDifference(const QImage &a, const QImage &b, int shift)
{
    double sum = 0;
    qint64 n = 0;
    for (int y = a.height() / 2; y < a.height() * 3 / 4; ++y) {
        const auto *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = qMax(0, -shift); x < a.width() && x + shift < b.width(); x += 2, ++n)
            sum += std::abs(qGray(ra[x]) - qGray(rb[x + shift]));
    }
    return sum / n;
}

// Pixels of the red marker.
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

} // namespace

class TestSimStream : public QObject
{
    Q_OBJECT
private slots:
    void panShiftsThePicture_data();
    void panShiftsThePicture();
    void zoomEnlargesTheMarker();
};

void TestSimStream::panShiftsThePicture_data()
{
    QTest::addColumn<int>("panSteps");
    QTest::addColumn<int>("zoom");
    QTest::newRow("10 degrees left, wide") << -144 << 0;
    QTest::newRow("5 degrees right, wide") << 72 << 0;
    QTest::newRow("2 degrees left, zoomed") << -29 << 4096;
}

void TestSimStream::panShiftsThePicture()
{
    QFETCH(int, panSteps);
    QFETCH(int, zoom);
    // Turning left moves the scene right in the picture.
    const int expected = qRound(-panSteps / SimScene::kStepsPerDegree *
                                SimScene::pixelsPerDegree(zoom, kSize.width()));
    const QImage before = render(0, zoom), after = render(panSteps, zoom);
    int best = 0;
    for (int s = -200; s <= 200; ++s) {
        if (bandDifference(before, after, s) < bandDifference(before, after, best))
            best = s;
    }
    QVERIFY2(std::abs(best - expected) <= 2, qPrintable(QString::number(best)));
}

void TestSimStream::zoomEnlargesTheMarker()
{
    const double wide = markerArea(render(0, 0)), tele = markerArea(render(0, 4096));
    QVERIFY(wide > 200);
    // The disc's area grows with the square of the narrowing field of view.
    const double ratio = std::pow(SimScene::horizontalFov(0) / SimScene::horizontalFov(4096), 2);
    QVERIFY2(std::abs(tele / wide - ratio) < ratio * 0.15,
             qPrintable(QString::number(tele / wide)));
}

QTEST_MAIN(TestSimStream)
#include "tst_simstream.moc"
