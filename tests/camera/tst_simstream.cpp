// The simulator's picture follows its head: it shifts by the expected number
// of pixels when the head pans, wide and zoomed. That the RTSP stream
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

} // namespace

class TestSimStream : public QObject
{
    Q_OBJECT
private slots:
    void panShiftsThePicture_data();
    void panShiftsThePicture();
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
    const double off = bandDifference(render(0, zoom), render(panSteps, zoom), expected);
    QVERIFY2(off < 2, qPrintable(QString::number(off)));
}

QTEST_MAIN(TestSimStream)
#include "tst_simstream.moc"
