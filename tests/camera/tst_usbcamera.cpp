// USBCamera on a scripted backend: connect, poll cycle and position bytes,
// control calls and failures, the preset file, destruction while moving.

#include "fakeusbbackend.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestUsbCamera : public QObject
{
    Q_OBJECT
private slots:
    void failedConnectIsSilent();
    void connectTakesRangesAndPollsTheCycle();
    void diagonalTiltsFirstAndLogsEachFailure();
    void presetRoundTrip_data();
    void presetRoundTrip();
    void destructionStopsThenReportsFromACompleteObject();

private:
    FakeUsbBackend backend;
};

void TestUsbCamera::failedConnectIsSilent()
{
    USBCamera cam("Absent", "Desk", "Absent", &backend);
    QSignalSpy connected(&cam, &CameraWrapper::clientConnected),
        disconnected(&cam, &CameraWrapper::clientDisconnected);
    cam.connectCamera();
    cam.disconnectCamera();
    QVERIFY(!cam.isConnected());
    QCOMPARE(connected.count() + disconnected.count(), 0);
    QCOMPARE(cam.getPanSpeedRange().max, 0);
}

void TestUsbCamera::connectTakesRangesAndPollsTheCycle()
{
    backend.state = {};
    backend.state.devices = QStringList{"Cam"};
    backend.state.zoom = 0x00012345;
    backend.state.tilt = -300, backend.state.pan = -7200; // tilt stored lossily: 00 00 FF D4
    USBCamera cam("Cam", "Desk", "Cam", &backend);
    cam.setPollInterval(3600 * 1000); // ticks are driven by hand below
    QSignalSpy connected(&cam, &CameraWrapper::clientConnected);
    cam.connectCamera();
    QCOMPARE(connected.count(), 1);
    QVERIFY(cam.getTiltSpeedRange().max == 20 && cam.getFocusSpeedRange().defaultValue == 2);

    backend.state.log.clear();
    QSignalSpy updated(&cam, &CameraWrapper::clientStatusUpdated),
        cycle(&cam, &CameraWrapper::clientReadOneCycle);
    for (int i = 0; i < 12; ++i)
        cam.onTimer();
    QCOMPARE(backend.state.log,
             (QStringList{"getZoom()", "getFocus()", "getAutoFocus()", "getPan()", "getTilt()"}));
    QVERIFY(updated.count() == 4 && cycle.count() == 1);
    const CameraStatus &st = cam.status();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(st.zoomPos), 4) +
                 QByteArray(reinterpret_cast<const char *>(st.panTiltPos), 8),
             QByteArray::fromHex("00012345 0000e4e00000ffd4"));
}

void TestUsbCamera::diagonalTiltsFirstAndLogsEachFailure()
{
    backend.state = {};
    backend.state.result = -1;
    USBCamera cam("Cam", "Desk", "Cam", &backend);
    QTest::ignoreMessage(QtWarningMsg, "UVC Control Failed");
    QTest::ignoreMessage(QtWarningMsg, "UVC Control Failed");
    cam.moveDownLeft(3, 4);
    QCOMPARE(backend.state.log, (QStringList{"moveTiltOneBottom(4)", "movePanOneLeft(3)"}));
}

void TestUsbCamera::presetRoundTrip_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("fileKey");
    QTest::newRow("plain") << QString("Cam") << QString("Cam5_pan");
    QTest::newRow("space escaped") << QString("USB Cam") << QString("USB%20Cam5_pan");
    QTest::newRow("separator mended") << QString("Rig/A\\B") << QString("Rig_A_B5_pan");
}

void TestUsbCamera::presetRoundTrip()
{
    QFETCH(QString, id);
    QFETCH(QString, fileKey);
    TempDataHome home;
    backend.state = {};
    backend.state.pan = 3600, backend.state.tilt = -7200, backend.state.zoom = 100;
    {
        USBCamera cam(id, "Desk", id, &backend);
        cam.setPreset(5);
    }
    QFile file(Storage::userFolder() + "/uvc-presets.ini");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.startsWith("[General]\n") && text.contains("\n" + fileKey.toLatin1() + "=3600\n"),
             text.constData());

    backend.state.log.clear();
    USBCamera cam(id, "Desk", id, &backend);
    cam.callPreset(5);
    cam.callPreset(6);
    QCOMPARE(backend.state.log, (QStringList{"moveAbsPTZ(3600,-7200,100)", "moveAbsPTZ(0,0,0)"}));
}

void TestUsbCamera::destructionStopsThenReportsFromACompleteObject()
{
    backend.state = {};
    backend.state.devices = QStringList{"Cam"};
    auto cam = std::make_unique<USBCamera>("Cam", "Desk", "Cam", &backend);
    cam->connectCamera();
    cam->moveLeft(5, 5);
    backend.state.log.clear();
    QString seenId;
    QStringList seenLog;
    USBCamera *raw = cam.get();
    connect(raw, &CameraWrapper::clientDisconnected, this, [&] {
        seenId = raw->getCameraId();
        seenLog = backend.state.log;
    });
    cam.reset();
    QCOMPARE(seenId, QStringLiteral("Cam"));
    QCOMPARE(seenLog, (QStringList{"stopMoving()", "stopZooming()", "stopFocusing()",
                                   "disconnectDevice()"}));
}

QTEST_GUILESS_MAIN(TestUsbCamera)
#include "tst_usbcamera.moc"
