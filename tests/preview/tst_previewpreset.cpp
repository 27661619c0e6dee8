// End to end: a network camera driven through the control layer against the
// camera simulator, its picture played by the production media player. A
// preset stored at one framing and recalled after the head has moved away
// brings back the picture seen at the store.

#include "cameracontrol.h"
#include "camerasimulator.h"
#include "ipcamera.h"
#include "mediaplayer.h"
#include "simstream.h"
#include "tempdatahome.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

const QHostAddress kAddress(QStringLiteral("127.0.0.34"));

// Mean absolute grey difference below the top fifth (the simulator prints
// its position read-out there), every second pixel; huge for other sizes.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 1e9;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    qint64 n = 0;
    for (int row = x.height() / 5; row < x.height(); row += 2) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); col += 2, ++n)
            sum += std::abs(qGray(p[col]) - qGray(q[col]));
    }
    return n ? sum / n : 1e9;
}

} // namespace

class TestPreviewPreset : public QObject
{
    Q_OBJECT
private slots:
    void recallShowsTheStoredFraming()
    {
        CameraSimulator sim;
        QVERIFY(sim.listen(kAddress, 0, 0));
        SimStream stream([&sim] { return sim.view(); });
        QVERIFY(stream.listen(kAddress, 0));
        auto *camera = new IPCamera(kAddress.toString(), "Sim", "sim");
        camera->setViscaPort(sim.viscaPort());
        camera->setHttpPort(sim.httpPort());
        CameraControl control(nullptr);
        control.setCameras({camera});
        QSignalSpy connected(&control, &CameraControl::connected);
        QVERIFY(control.selectCamera(0) && connected.wait(10000));

        QImage frame;
        std::unique_ptr<MediaPlayer> player = createDefaultMediaPlayer();
        connect(player.get(), &MediaPlayer::frameReady, this, [&](const QImage &f) { frame = f; });
        MediaSource source;
        source.location = QString("rtsp://%1:%2/2").arg(kAddress.toString()).arg(stream.port());
        source.latencyMs = 0;
        QVERIFY(player->start(source));
        const auto near = [&](const QImage &expected, bool same) {
            QTRY_VERIFY_WITH_TIMEOUT((difference(frame, expected) < 10) == same, 30000);
        };
        // Framing A: right, up and zoomed in, shown and steady.
        sim.setPosition(700, 150, 3000, SimScene::kSharpFocus);
        near(SimScene::render(sim.view(), SimStream::streamSize(2)), true);
        const QImage atStore = frame;
        QSignalSpy stored(&sim, &CameraSimulator::presetStored);
        QVERIFY(control.storePresetPosition(7, false));
        QVERIFY(stored.wait(5000));
        sim.setPosition(-900, -200, 0, SimScene::kSharpFocus); // elsewhere
        near(atStore, false);
        QVERIFY(control.recallPreset(7));
        near(atStore, true);
        QCOMPARE(sim.pan(), 700);
        QCOMPARE(sim.zoom(), 3000);
        player->stop();
    }
};

int main(int argc, char **argv)
{
    TempDataHome home;
    QGuiApplication app(argc, argv);
    TestPreviewPreset test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_previewpreset.moc"
