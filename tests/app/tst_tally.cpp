// The tally end to end in the running application: OBS (the fake websocket
// server) switches scenes, the mapped cameras (simulators, one selected, one
// not) get their lamp bytes and the panel's buttons change colour; with the
// protection on, a recall on the camera on program is refused from the panel
// and from the web API while it runs on another camera; "/cam/tally" answers.

#include "appsettings.h"
#include "cameracontrol.h"
#include "camerasimulator.h"
#include "corvantaapp.h"
#include "fakeobsserver.h"
#include "httpserverwrapper.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "obswrapper.h"
#include "qhttpserver.h"
#include "rawhttpclient.h"
#include "tempdatahome.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

namespace {

constexpr int kWait = 10000;
const QByteArray kLampOn = QByteArray::fromHex("81017e010a0002ff");

// Share of the button's pixels in the tally red.
double redShare(QWidget *button)
{
    const QImage image = button->grab().toImage();
    int hits = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            hits += c.red() > 150 && c.green() < 90 && c.blue() < 90 ? 1 : 0;
        }
    }
    return double(hits) / (image.width() * image.height());
}

} // namespace

class TestTally : public QObject
{
    Q_OBJECT
private slots:
    void switchedScenesLightLampsAndButtonsAndGuardTheLiveCamera();
};

void TestTally::switchedScenesLightLampsAndButtonsAndGuardTheLiveCamera()
{
    auto *app = CorvantaApp::instance();
    MainWindow *w = app->mainWindow();
    CameraSimulator sims[2];
    QList<CameraWrapper *> list;
    for (int i = 0; i < 2; ++i) {
        const QString ip = QStringLiteral("127.0.0.%1").arg(i + 1);
        QVERIFY(sims[i].listen(QHostAddress(ip), 0, 0));
        auto *cam = new IPCamera(ip, i == 0 ? "Pulpit" : "Wide", "dev");
        cam->setViscaPort(sims[i].viscaPort());
        cam->setHttpPort(sims[i].httpPort());
        list << cam;
    }
    app->control()->releaseCameras();
    app->control()->setCameras(list);

    // Camera 1 on the scene "Cam 1", camera 2 on "Cam 2", both with the lamp.
    for (int slot = 1; slot <= 2; ++slot)
        app->settings()->setTallySlot(slot,
                                      {QStringLiteral("Cam %1").arg(slot), {}, 1, {}, {}, {}});
    app->settings()->setProtectLive(1);
    app->applyTallySettings();

    QVERIFY(app->httpServer()->startServer("127.0.0.1", 0));
    const quint16 port = app->httpServer()->server()->serverPort();

    FakeObsServer obs;
    obs.currentScene = "Slides";
    app->obsClient()->reconnectTo("127.0.0.1", obs.port(), QString());
    app->obsClient()->setPollInterval(50);
    app->startObsControl();

    w->selectCamera(0);
    QTRY_VERIFY_WITH_TIMEOUT(w->cameraConnected(), kWait);
    // Only the panel's own connection is left open to the selected camera.
    QTRY_COMPARE_WITH_TIMEOUT(sims[0].openConnections(), 1, kWait);
    const int accepted = sims[0].acceptedConnections();
    QPushButton *button1 = w->findChild<QPushButton *>("connectCam1");
    QPushButton *button2 = w->findChild<QPushButton *>("connectCam2");
    QCOMPARE(redShare(button2), 0.0);

    // OBS cuts to camera 2, which is not selected.
    obs.switchScene("Cam 2");
    QTRY_VERIFY_WITH_TIMEOUT(sims[1].tallyLamp(), kWait);
    QCOMPARE(sims[1].receivedMessages().count(kLampOn), 1);
    QTRY_VERIFY_WITH_TIMEOUT(redShare(button2) > 0.3, kWait);
    const QByteArray tally = fetch(port, "/cam/tally").body;
    QVERIFY2(tally.contains("\"camNum\": 2,\n            \"state\": \"program\"") &&
                 tally.count("\"idle\"") == 7,
             tally.constData());

    // The selected camera 1 goes on program, camera 2 back to idle.
    obs.switchScene("Cam 1");
    QTRY_VERIFY_WITH_TIMEOUT(sims[0].tallyLamp(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!sims[1].tallyLamp(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(redShare(button1) > 0.3, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(redShare(button2), 0.0, kWait);
    QCOMPARE(sims[0].acceptedConnections(), accepted);

    // Recalls on the live camera: refused from the panel and from the web.
    const QByteArray recall2 = QByteArray::fromHex("8101043f0202ff");
    QTest::mouseClick(w->findChild<QPushButton *>("mem2"), Qt::LeftButton);
    // (The refusal reaches the window queued.)
    QLabel *message = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (message = w->findChild<QLabel *>("statusMessage")) && message->isVisible(), kWait);
    QCOMPARE(message->toolTip(), QStringLiteral("Camera 1 (Pulpit) is on program: recall refused"));
    QVERIFY(!w->statusBar()->isHidden());
    const QByteArray refused = fetch(port, "/cam/recallPreset?presetNum=2&callSpeed=5").body;
    QVERIFY2(refused.contains("\"status\": \"FAILED\"") &&
                 refused.contains("is on program: recall refused"),
             refused.constData());
    QVERIFY(!sims[0].receivedMessages().contains(recall2));

    // OBS moves on: the same recall runs now.
    obs.switchScene("Cam 2");
    QTRY_VERIFY_WITH_TIMEOUT(!sims[0].tallyLamp(), kWait);
    QVERIFY(fetch(port, "/cam/recallPreset?presetNum=2&callSpeed=5").body.contains("\"OK\""));
    QTRY_VERIFY_WITH_TIMEOUT(sims[0].receivedMessages().contains(recall2), kWait);

    app->stopObsControl();
    // OBS gone: nothing stays lit.
    QTRY_COMPARE_WITH_TIMEOUT(redShare(button2), 0.0, kWait);
    app->control()->releaseCameras();
}

int main(int argc, char **argv)
{
    TempDataHome home;
    CorvantaApp app(argc, argv);
    TestTally tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_tally.moc"
