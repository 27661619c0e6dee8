// USBCamera over the V4L2 backend over a scripted device table: cameras that
// are unplugged while polled, presets stored while reads fail, re-plugging
// and reselecting, two identical cameras and names cut to 31 bytes.

#include "fakev4l2io.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "usbcamera.h"
#include "v4l2backend.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const Ctrls kPtz{{V4L2_CID_PAN_ABSOLUTE, {-36000, 36000, 0, 3600}},
                 {V4L2_CID_TILT_ABSOLUTE, {-18000, 18000, 0, -7200}},
                 {V4L2_CID_ZOOM_ABSOLUTE, {0, 1000, 0, 100}}};

QByteArray bytes(const uint8_t *data, int size)
{
    return QByteArray(reinterpret_cast<const char *>(data), size);
}

} // namespace

class TestUsbHotplug : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void unplugWhilePolling_data();
    void unplugWhilePolling();
    void storeRefusedWhileReadsFail_data();
    void storeRefusedWhileReadsFail();
    void replugThenReselectReopens();
    void reselectReopensADeadHandle();
    void identicalCamerasKeepTheirOwnDevices();
    void longNameOpensAndPreviews();

private:
    // A camera with id `id`, connected; polled by hand, reconnects every 1 ms.
    std::unique_ptr<USBCamera> connected(const QString &id);
    void poll(USBCamera &cam, int ticks = 12)
    {
        for (int i = 0; i < ticks; ++i)
            cam.onTimer();
    }

    std::shared_ptr<FakeIo> m_io;
    std::unique_ptr<V4l2Backend> m_backend;
};

void TestUsbHotplug::init()
{
    m_io = std::make_shared<FakeIo>();
    m_io->devices = {{"/dev/video0", "HD Cam", V4L2_CAP_VIDEO_CAPTURE, kPtz, "usb-1.1"}};
    m_backend = std::make_unique<V4l2Backend>(m_io);
}

std::unique_ptr<USBCamera> TestUsbHotplug::connected(const QString &id)
{
    auto cam = std::make_unique<USBCamera>(id, "Desk", id, m_backend.get());
    cam->setPollInterval(3600 * 1000);
    cam->setReconnectInterval(1);
    QSignalSpy up(cam.get(), &CameraWrapper::clientConnected);
    cam->connectCamera();
    return up.count() == 1 ? std::move(cam) : nullptr;
}

void TestUsbHotplug::unplugWhilePolling_data()
{
    QTest::addColumn<bool>("autoReconnect");
    QTest::newRow("reconnect off") << false;
    QTest::newRow("reconnect on") << true;
}

void TestUsbHotplug::unplugWhilePolling()
{
    QFETCH(bool, autoReconnect);
    auto cam = connected("HD Cam");
    QVERIFY(cam);
    cam->setAutoReconnect(autoReconnect);
    poll(*cam);
    const QByteArray panTilt = bytes(cam->status().panTiltPos, 8);
    QCOMPARE(panTilt, QByteArray::fromHex("00000e100000e4e0"));

    QSignalSpy updated(cam.get(), &CameraWrapper::clientStatusUpdated);
    QSignalSpy down(cam.get(), &CameraWrapper::clientDisconnected);
    QSignalSpy state(cam.get(), &CameraWrapper::clientStateChanged);
    QSignalSpy up(cam.get(), &CameraWrapper::clientConnected);
    m_io->unplug(0);
    poll(*cam);
    QCOMPARE(updated.count(), 0);
    QCOMPARE(state.value(0).value(0).toString(), QStringLiteral("Unconnected"));
    QVERIFY(!cam->isConnected());
    QVERIFY(!cam->canSendCommands()); // a stop given now is owed
    QCOMPARE(m_io->openCount, 0);     // the dead handle is closed
    // Unknown, not 0: the last reading stays.
    QCOMPARE(bytes(cam->status().panTiltPos, 8), panTilt);
    QCOMPARE(down.count(), autoReconnect ? 0 : 1);
    QCOMPARE(cam->isReconnecting(), autoReconnect);

    m_io->plug(0);
    if (autoReconnect) {
        QTRY_COMPARE(up.count(), 1);
        QVERIFY(cam->isConnected());
        QVERIFY(cam->canSendCommands());
        QCOMPARE(m_io->openCount, 1);
    } else {
        QTest::qWait(20);
        QCOMPARE(up.count(), 0);
    }
}

void TestUsbHotplug::storeRefusedWhileReadsFail_data()
{
    QTest::addColumn<int>("error");
    QTest::newRow("unplugged") << ENODEV;
    QTest::newRow("I/O error") << EIO;
    QTest::newRow("busy") << EBUSY;
}

void TestUsbHotplug::storeRefusedWhileReadsFail()
{
    QFETCH(int, error);
    TempDataHome home;
    auto cam = connected("HD Cam");
    QVERIFY(cam);
    cam->setAutoReconnect(true); // stays selected while the device is gone
    cam->setPreset(1);
    if (error == ENODEV)
        m_io->unplug(0);
    else
        m_io->readError = error;
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    cam->setPreset(1);
    cam->setPreset(2);
    QCOMPARE(errors.count(), 2);
    QVERIFY(errors.at(0).at(0).toString().contains("not stored"));
    QSettings file(Storage::userFolder() + "/uvc-presets.ini", QSettings::IniFormat);
    QCOMPARE(file.value("HD Cam1_pan").toInt(), 3600);
    QCOMPARE(file.value("HD Cam1_tilt").toInt(), -7200);
    QCOMPARE(file.value("HD Cam1_zoom").toInt(), 100);
    QVERIFY(!file.contains("HD Cam2_pan"));
    QCOMPARE(cam->isConnected(), error == EBUSY);
}

void TestUsbHotplug::replugThenReselectReopens()
{
    auto cam = connected("HD Cam");
    QVERIFY(cam);
    m_io->unplug(0);
    QSignalSpy down(cam.get(), &CameraWrapper::clientDisconnected);
    cam->moveLeft(3, 3); // fails: the device is gone
    QCOMPARE(down.count(), 1);
    // Back on another node number.
    m_io->devices[0].path = "/dev/video3";
    m_io->plug(0);
    QSignalSpy up(cam.get(), &CameraWrapper::clientConnected);
    cam->connectCamera();
    QCOMPARE(up.count(), 1);
    QCOMPARE(cam->captureDevicePath(), QStringLiteral("/dev/video3"));
    poll(*cam, 1);
    QCOMPARE(bytes(cam->status().zoomPos, 4), QByteArray::fromHex("00000064"));
}

void TestUsbHotplug::reselectReopensADeadHandle()
{
    auto cam = connected("HD Cam");
    QVERIFY(cam);
    // Out and back in between two polls: the handle is dead, nobody noticed.
    m_io->unplug(0);
    m_io->plug(0);
    QSignalSpy up(cam.get(), &CameraWrapper::clientConnected);
    QSignalSpy down(cam.get(), &CameraWrapper::clientDisconnected);
    cam->connectCamera();
    QCOMPARE(up.count(), 1);
    QCOMPARE(down.count(), 0);
    QCOMPARE(m_io->openCount, 1);
    cam->moveHome();
    QCOMPARE(m_io->writes.last(), QStringLiteral("pan=0 tilt=0"));
}

void TestUsbHotplug::identicalCamerasKeepTheirOwnDevices()
{
    m_io->devices << FakeNode{"/dev/video2", "HD Cam", V4L2_CAP_VIDEO_CAPTURE, kPtz, "usb-1.2"};
    auto first = connected("HD Cam");
    auto second = connected("HD Cam (2)");
    QVERIFY(first && second);
    QCOMPARE(first->captureDevicePath(), QStringLiteral("/dev/video0"));
    QCOMPARE(second->captureDevicePath(), QStringLiteral("/dev/video2"));
    first->setAutoReconnect(true);
    second->setAutoReconnect(true);

    // Both unplugged; only the second comes back, listed now as "HD Cam".
    m_io->unplug(0);
    m_io->unplug(1);
    poll(*first);
    poll(*second);
    m_io->devices[1].path = "/dev/video0";
    m_io->devices[0].path = "/dev/video5";
    m_io->plug(1);
    QSignalSpy secondUp(second.get(), &CameraWrapper::clientConnected);
    QVERIFY(secondUp.wait(5000));
    QCOMPARE(second->captureDevicePath(), QStringLiteral("/dev/video0"));
    QTest::qWait(20); // several reconnect ticks of the first camera
    QVERIFY(!first->isConnected());
    m_io->plug(0);
    QTRY_VERIFY(first->isConnected());
    QCOMPARE(first->captureDevicePath(), QStringLiteral("/dev/video5"));
}

void TestUsbHotplug::longNameOpensAndPreviews()
{
    const QByteArray name = "Conference Room PTZ Camera 4K Ultra HD";
    m_io->devices = {{"/dev/video6", name, V4L2_CAP_VIDEO_CAPTURE, kPtz, "usb-2"}};
    const QStringList ids = m_backend->listDevices();
    QCOMPARE(ids, QStringList{QString::fromLatin1(name.left(31))});
    auto cam = connected(ids.first());
    QVERIFY(cam);
    QCOMPARE(cam->captureDevicePath(), QStringLiteral("/dev/video6"));
}

QTEST_GUILESS_MAIN(TestUsbHotplug)
#include "tst_usbhotplug.moc"
