// The V4L2 backend against a scripted device table at the ioctl boundary,
// and USBCamera over it: the poll cycle, cameras unplugged while polled, the
// preset file, presets stored while reads fail, reselecting a camera whose
// handle died unnoticed, failures, destruction.

#include "fakev4l2io.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestV4l2Backend : public QObject
{
    Q_OBJECT
private slots:
    void listsCaptureNodesWithUsableIds()
    {
        io = std::make_shared<FakeIo>();
        io->devices = {{"/dev/video0", "HD Cam"},  {"/dev/video1", "HD Cam", V4L2_CAP_META_CAPTURE},
                       {"/dev/video2", "HD Cam"},  {"/dev/video3", "Desk/Room\\1"},
                       {"/dev/video4", "Busy", 0}, {"/dev/video5", QByteArray(40, 'X')}};
        V4l2Backend b(io);
        QCOMPARE(b.listDevices(),
                 (QStringList{"HD Cam", "HD Cam (2)", "Desk_Room_1", QString(31, 'X')}));
        QCOMPARE(b.devicePath("HD Cam (2)"), QStringLiteral("/dev/video2"));
        QCOMPARE(b.devicePath(QString(31, 'X')), QStringLiteral("/dev/video5"));
        QCOMPARE(b.devicePath("Busy"), QString());
        QCOMPARE(io->openCount, 0);
    }
    void panSpeedRange()
    {
        const Ctrl abs{-36000, 36000, 0, 0};
        const QList<QPair<Ctrls, QList<int>>> cases = {
            // controls: min, max, default
            {{{V4L2_CID_PAN_SPEED, {-1, 1, 0, 0}}, {V4L2_CID_PAN_ABSOLUTE, abs}}, {1, 1, 1}},
            {{{V4L2_CID_PAN_SPEED, {-3, 5, 2, 0}}}, {1, 3, 2}}, // asymmetric
            {{{V4L2_CID_PAN_SPEED, {0, 7, 3, 0}}}, {0, 0, 0}},  // unsigned
            {{{V4L2_CID_PAN_ABSOLUTE, abs}}, {1, 7, 4}}};       // stepped
        for (const auto &c : cases) {
            const SpeedRange r = open(c.first)->getPanCtrlRanges();
            QCOMPARE((QList<int>{r.min, r.max, r.defaultValue}), c.second);
        }
    }
    void speedsAreSignedClampedAndStopped()
    {
        auto dev = open({{V4L2_CID_PAN_SPEED, {-1, 1, 0, 0}},
                         {V4L2_CID_TILT_SPEED, {-5, 5, 0, 0}},
                         {V4L2_CID_ZOOM_CONTINUOUS, {-7, 7, 0, 0}}});
        QCOMPARE(dev->movePanOneLeft(9), 0L);
        dev->moveTiltOneTop(3);
        dev->moveTiltOneBottom(0);
        dev->zoomOneIn(-4);
        dev->zoomOneOut(7);
        QCOMPARE(dev->focusOneIn(3), 0L); // no focus control: nothing
        QCOMPARE(dev->stopMoving(), 0L);
        io->failing << V4L2_CID_TILT_SPEED;
        QVERIFY(dev->moveTiltOneTop(1) < 0);
        dev->disconnectDevice(); // stops what still moves, then closes
        QCOMPARE(io->writes, (QStringList{"pan_speed=-1", "tilt_speed=3", "tilt_speed=-1",
                                          "zoom_speed=1", "zoom_speed=-7",
                                          "pan_speed=0 tilt_speed=0", // one write
                                          // refused as a whole: each on its own
                                          "pan_speed=0", "zoom_speed=0"}));
        QCOMPARE(io->openCount, 0);
        QVERIFY(dev->movePanOneLeft(1) < 0);
    }
    void steppedZoomEndsAtTravelLimit()
    {
        // 0..2100 at top speed 7: 2100 / (7 * 30) = 10 units per speed step.
        auto dev = open({{V4L2_CID_ZOOM_ABSOLUTE, {0, 2100, 0, 1900}}});
        QCOMPARE(dev->zoomOneIn(7), 0L);
        QCOMPARE(io->writes, QStringList{"zoom=1970"});
        QTRY_COMPARE(io->writes, (QStringList{"zoom=1970", "zoom=2040", "zoom=2100"}));
        dev->zoomOneOut(1);
        QCOMPARE(io->writes.last(), QStringLiteral("zoom=2090"));
    }
    void homeAndAbsoluteMoves()
    {
        auto dev = open({{V4L2_CID_PAN_ABSOLUTE, {-36000, 36000, 0, 500}},
                         {V4L2_CID_TILT_ABSOLUTE, {-18000, 18000, 100, 0}},
                         {V4L2_CID_ZOOM_ABSOLUTE, {100, 500, 100, 0}}});
        QCOMPARE(dev->getPan().value_or(-1), 500L);
        QCOMPARE(dev->moveAbsPTZ(50000, -3600, 7), 0L);
        QCOMPARE(dev->moveHome(), 0L);
        QCOMPARE(io->writes, (QStringList{"pan=36000 tilt=-3600", "zoom=100", "pan=0 tilt=100"}));

        dev = open({{V4L2_CID_PAN_RESET, {0, 0, 0, 0}}, {V4L2_CID_TILT_RESET, {0, 0, 0, 0}}});
        dev->moveHome();
        QCOMPARE(io->writes, QStringList{"pan_reset=1 tilt_reset=1"});
    }
    void absoluteReleaseStopsWhereTheCameraIs()
    {
        // 0..21000 at top speed 7: 100 units per speed step, 700 per tick; ticks
        // only from the starts below.
        auto dev = open(
            {{V4L2_CID_PAN_ABSOLUTE, {0, 21000, 0, 0}}, {V4L2_CID_TILT_ABSOLUTE, {0, 21000, 0, 0}}},
            3600 * 1000);
        dev->movePanOneRight(7);
        dev->moveTiltOneTop(7);
        QCOMPARE(io->writes, (QStringList{"pan=700", "tilt=700"}));
        // The targets ran ahead; the camera itself is at 300/200 (read back).
        io->devices[0].ctrls[V4L2_CID_PAN_ABSOLUTE].value = 300;
        io->devices[0].ctrls[V4L2_CID_TILT_ABSOLUTE].value = 200;
        QCOMPARE(dev->stopMoving(), 0L);
        QCOMPARE(io->writes.last(), QStringLiteral("pan=300 tilt=200"));
        // An idle axis is left alone: a stop must not cut a preset recall short.
        dev->stopMoving();
        QCOMPARE(io->writes.size(), 3);
    }
    void vanishedDeviceIsLostAndReopenedByBusInfo()
    {
        io = std::make_shared<FakeIo>();
        const Ctrls ctrls{{V4L2_CID_PAN_ABSOLUTE, {-36000, 36000, 0, 900}}};
        io->devices = {{"/dev/video0", "HD Cam", V4L2_CAP_VIDEO_CAPTURE, ctrls, "usb-1.1"},
                       {"/dev/video2", "HD Cam", V4L2_CAP_VIDEO_CAPTURE, ctrls, "usb-1.2"}};
        backend = std::make_unique<V4l2Backend>(io);
        auto first = backend->createDevice(), dev = backend->createDevice();
        QVERIFY(first->connectDevice("HD Cam") && dev->connectDevice("HD Cam (2)"));
        io->unplug(1);
        QVERIFY(!dev->getPan() && dev->deviceLost() && dev->movePanOneLeft(3) < 0 &&
                !dev->reopenDevice());
        QCOMPARE(io->openCount, 1);
        // Back on another node, listed first: found by its USB port, not as "HD Cam (2)".
        io->devices[1].path = "/dev/video4";
        io->plug(1);
        io->unplug(0);
        QCOMPARE(backend->listDevices(), QStringList{"HD Cam"});
        QVERIFY(!first->reopenDevice()); // not the other camera's node
        QVERIFY(dev->reopenDevice() && !dev->deviceLost());
        QCOMPARE(dev->devicePath(), QStringLiteral("/dev/video4"));
        QCOMPARE(dev->getPan().value_or(-1), 900L);
    }
    void unplugWhilePollingAndReselect()
    {
        auto cam = connected();
        cam->setAutoReconnect(true);
        QSignalSpy updated(cam.get(), &CameraWrapper::clientStatusUpdated),
            cycle(cam.get(), &CameraWrapper::clientReadOneCycle),
            state(cam.get(), &CameraWrapper::clientStateChanged),
            up(cam.get(), &CameraWrapper::clientConnected);
        for (int i = 0; i < 12; ++i) // a poll cycle
            cam->onTimer();
        QVERIFY(updated.count() == 4 && cycle.count() == 1);
        const QByteArray read = position(cam->status());
        QCOMPARE(read, QByteArray::fromHex("00000064 00000e100000e4e0"));
        updated.clear();
        io->unplug(0);
        for (int i = 0; i < 12; ++i) // a poll cycle
            cam->onTimer();
        QCOMPARE(updated.count(), 0);
        QCOMPARE(state.value(0).value(0).toString(), QStringLiteral("Unconnected"));
        QVERIFY(!cam->isConnected() && !cam->canSendCommands()); // a stop given now is owed
        QCOMPARE(io->openCount, 0);                              // the dead handle is closed
        QCOMPARE(position(cam->status()), read); // unknown, not 0: the last reading stays
        QVERIFY(cam->isReconnecting());
        io->plug(0);
        QTRY_COMPARE(up.count(), 1);
        QVERIFY(cam->canSendCommands() && io->openCount == 1);
        // Out and back in between two polls: the handle is dead, nobody noticed;
        // a reselect reopens it.
        io->unplug(0);
        io->plug(0);
        QSignalSpy down(cam.get(), &CameraWrapper::clientDisconnected);
        cam->connectCamera();
        QVERIFY(up.count() == 2 && down.count() == 0 && io->openCount == 1);
        cam->moveHome();
        QCOMPARE(io->writes.last(), QStringLiteral("pan=0 tilt=0"));
    }
    void presetRoundTrip()
    {
        TempDataHome home;
        connected("USB Cam")->setPreset(5);
        QFile file(Storage::userFolder() + "/uvc-presets.ini");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.startsWith("[General]\n") && text.contains("\nUSB%20Cam5_pan=3600\n"), text);
        auto cam = connected("USB Cam"); // a new camera reads the file
        cam->callPreset(5);
        cam->callPreset(6); // unknown: home
        QCOMPARE(io->writes,
                 (QStringList{"pan=3600 tilt=-7200", "zoom=100", "pan=0 tilt=0", "zoom=0"}));
    }
    void storeRefusedWhileReadsFail_data()
    {
        QTest::addColumn<int>("error");
        QTest::newRow("gone") << ENODEV;
        QTest::newRow("I/O error") << EIO;
        QTest::newRow("busy") << EBUSY;
    }
    void storeRefusedWhileReadsFail()
    {
        QFETCH(int, error);
        TempDataHome home;
        auto cam = connected();
        cam->setAutoReconnect(true); // stays selected while the device is gone
        cam->setPreset(1);
        io->readError = error; // ENODEV: unplugged
        QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
        cam->setPreset(1);
        cam->setPreset(2);
        QVERIFY(errors.count() == 2 && errors.at(0).at(0).toString().contains("not stored"));
        QSettings file(Storage::userFolder() + "/uvc-presets.ini", QSettings::IniFormat);
        QCOMPARE(file.value("Cam1_pan").toInt(), 3600); // the first store is kept
        QVERIFY(!file.contains("Cam2_pan"));
        QCOMPARE(cam->isConnected(), error == EBUSY);
    }
    // A failed connect is silent; destruction reports from a complete object (its
    // stops: tst_multicameras).
    void failedConnectAndDestruction()
    {
        open({});
        auto cam = std::make_unique<USBCamera>("Absent", "Desk", "Absent", backend.get());
        QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected),
            disconnected(cam.get(), &CameraWrapper::clientDisconnected);
        QString seenId;
        connect(cam.get(), &CameraWrapper::clientDisconnected, this,
                [&, raw = cam.get()] { seenId = raw->getCameraId(); });
        cam->connectCamera();
        cam->disconnectCamera();
        QCOMPARE(connected.count() + disconnected.count(), 0);
        io->devices[0].card = "Absent";
        cam->connectCamera();
        cam.reset();
        QCOMPARE(seenId, QStringLiteral("Absent"));
    }

private:
    // Camera `card` at /dev/video0 with `ctrls`, opened (a failure if not).
    std::unique_ptr<UsbCameraDevice> open(const Ctrls &ctrls, int stepInterval = 1,
                                          const QByteArray &card = "Cam")
    {
        io = std::make_shared<FakeIo>();
        io->devices = {{"/dev/video0", card, V4L2_CAP_VIDEO_CAPTURE, ctrls, "usb-1.1"}};
        backend = std::make_unique<V4l2Backend>(io);
        backend->setStepInterval(stepInterval);
        auto device = backend->createDevice();
        QTest::qVerify(device->connectDevice(card), "connectDevice", "", __FILE__, __LINE__);
        return device;
    }
    // USBCamera `card` (pan 3600, tilt -7200, zoom 100), connected (a failure
    // if not); polled by hand, reconnects every 1 ms.
    std::unique_ptr<USBCamera> connected(const QByteArray &card = "Cam")
    {
        open({{V4L2_CID_PAN_ABSOLUTE, {-36000, 36000, 0, 3600}},
              {V4L2_CID_TILT_ABSOLUTE, {-18000, 18000, 0, -7200}},
              {V4L2_CID_ZOOM_ABSOLUTE, {0, 1000, 0, 100}}},
             1, card);
        auto cam = std::make_unique<USBCamera>(card, "Desk", card, backend.get());
        cam->setPollInterval(3600 * 1000);
        cam->setReconnectInterval(1);
        cam->connectCamera();
        QTest::qVerify(cam->isConnected(), "connectCamera", "", __FILE__, __LINE__);
        return cam;
    }
    // Zoom and pan/tilt position bytes.
    static QByteArray position(const CameraStatus &st)
    {
        return QByteArray(reinterpret_cast<const char *>(st.zoomPos), 4) +
               QByteArray(reinterpret_cast<const char *>(st.panTiltPos), 8);
    }
    std::shared_ptr<FakeIo> io;
    std::unique_ptr<V4l2Backend> backend;
};

QTEST_GUILESS_MAIN(TestV4l2Backend)
#include "tst_v4l2backend.moc"
