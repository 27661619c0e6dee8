#include "camerawrapper.h"
#include "ipcamera.h"
#include "storagepaths.h"
#include "usbcamera.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>

class TestCameraWrapper : public QObject
{
    Q_OBJECT
private slots:
    void ipCameraFreshState();
    void descriptiveFields();
    void degreeConversions_data();
    void degreeConversions();
    void snapshotPathConcatenates();
    void snapshotPathStaysInDownloads_data();
    void snapshotPathStaysInDownloads();
};

void TestCameraWrapper::ipCameraFreshState()
{
    IPCamera cam("127.0.0.1", "Camera1", "0.0.0.0");
    const CameraStatus &s = cam.status();
    QCOMPARE(int(s.shutter), 1);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(int(s.panTiltPos[i]), 0);
    QCOMPARE(int(s.iris), 0);
    QCOMPARE(s.autoFocus, false);
    QCOMPARE(cam.getSerialNumber(), QStringLiteral("xx00000000"));
    auto eq = [](SpeedRange r, int a, int b, int c) {
        return r.min == a && r.max == b && r.defaultValue == c;
    };
    QVERIFY(eq(cam.getPanSpeedRange(), 1, 24, 5));
    QVERIFY(eq(cam.getTiltSpeedRange(), 1, 20, 5));
    QVERIFY(eq(cam.getZoomSpeedRange(), 1, 7, 5));
    QVERIFY(eq(cam.getFocusSpeedRange(), 1, 7, 5));
}

void TestCameraWrapper::descriptiveFields()
{
    USBCamera usb("USB Cam", "Desk", "Video0");
    QCOMPARE(usb.getCameraType(), 1);
    QCOMPARE(usb.getCameraId(), QStringLiteral("USB Cam"));
    QCOMPARE(usb.getCameraName(), QStringLiteral("Desk"));
    QCOMPARE(usb.getDeviceName(), QStringLiteral("Video0"));
    QCOMPARE(usb.getPanSpeedRange().max, 0);
    QCOMPARE(usb.getFocusSpeedRange().defaultValue, 0);

    IPCamera ip("127.0.0.5", "Stage", "dev");
    QCOMPARE(ip.getCameraType(), 0);
}

void TestCameraWrapper::degreeConversions_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("panLeft");
    QTest::addColumn<int>("panRight");
    QTest::addColumn<int>("tiltUp");
    QTest::addColumn<int>("tiltDown");
    QTest::newRow("zero") << 0 << 4551 << 0 << 0 << 4551;
    QTest::newRow("0x0200") << 0x0200 << 4515 << 35 << 35 << 4515;
    QTest::newRow("0xF670") << 0xF670 << 169 << 4381 << 4381 << 169;
    QTest::newRow("0xFF00") << 0xFF00 << 17 << 4533 << 4533 << 17;
    QTest::newRow("max") << 0xFFFF << 0 << 4551 << 4551 << 0;
}

void TestCameraWrapper::degreeConversions()
{
    QFETCH(int, position);
    QFETCH(int, panLeft);
    QFETCH(int, panRight);
    QFETCH(int, tiltUp);
    QFETCH(int, tiltDown);
    IPCamera ip("127.0.0.1", "c", "d");
    QCOMPARE(ip.panLeftToDegree(position), panLeft);
    QCOMPARE(ip.panRightToDegree(position), panRight);
    QCOMPARE(ip.tiltUpToDegree(position), tiltUp);
    QCOMPARE(ip.tiltDownToDegree(position), tiltDown);
}

void TestCameraWrapper::snapshotPathConcatenates()
{
    const QString p = Storage::snapshotPath("127.0.0.88", 5);
    QVERIFY2(p.endsWith("/corvanta-controller/downloads/snapshot_127.0.0.885.jpg"), qPrintable(p));
    QVERIFY(p.startsWith(Storage::appDataFolder()));
}

void TestCameraWrapper::snapshotPathStaysInDownloads_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("ip") << "127.0.0.1"
                        << "snapshot_127.0.0.13.jpg";
    QTest::newRow("host") << "cam-1.studio"
                          << "snapshot_cam-1.studio3.jpg";
    QTest::newRow("parent") << "/../../victim"
                            << "snapshot__.._.._victim3.jpg";
    QTest::newRow("backslash") << "..\\..\\x"
                               << "snapshot_.._.._x3.jpg";
    QTest::newRow("nul") << QString("a") + QChar(0) + "b"
                         << "snapshot_a_b3.jpg";
    QTest::newRow("dots only") << ".."
                               << "snapshot_..3.jpg";
}

void TestCameraWrapper::snapshotPathStaysInDownloads()
{
    QFETCH(QString, id);
    QFETCH(QString, fileName);
    const QString path = QDir::cleanPath(Storage::snapshotPath(id, 3));
    QCOMPARE(QFileInfo(path).absolutePath(), QDir::cleanPath(Storage::downloadsFolder()));
    QCOMPARE(QFileInfo(path).fileName(), fileName);
}

QTEST_GUILESS_MAIN(TestCameraWrapper)
#include "tst_camerawrapper.moc"
