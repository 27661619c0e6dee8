// The camera list as camera objects: what the control layer builds from the
// stored entries, and what it stores for the objects it holds.

#include "appsettings.h"
#include "cameralist.h"
#include "ipcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "usbcamera.h"
#include "viscalink.h"

#include <QFile>
#include <QtTest>

class TestCameraList : public QObject
{
    Q_OBJECT
private slots:
    void objectsRoundTripThroughTheStore()
    {
        TempDataHome home;
        CameraLinkConfig udp;
        udp.protocol = CameraLinkConfig::Udp;
        udp.port = 52390;
        udp.stream1 = QStringLiteral("rtsp://127.0.0.5:8554/main");
        IPCamera tcp(QStringLiteral("127.0.0.4"), QStringLiteral("A"), QStringLiteral("dev A"));
        IPCamera onUdp(QStringLiteral("127.0.0.5"), QStringLiteral("B"),
                       QStringLiteral("127.0.0.5"));
        onUdp.setLinkConfig(udp);
        USBCamera usb(QStringLiteral("usb-1"), QStringLiteral("Desk"), QStringLiteral("Video 1"));
        const QList<CameraWrapper *> saved{&tcp, &onUdp, &usb};

        AppSettings settings;
        saveCameraList(settings, saved);
        QList<CameraWrapper *> loaded;
        QCOMPARE(loadCameraList(settings, loaded), 0);
        QCOMPARE(loaded.size(), 3);
        QVERIFY(qobject_cast<IPCamera *>(loaded[0]) && qobject_cast<USBCamera *>(loaded[2]));
        const auto row = [](CameraWrapper *c) {
            return QStringList{QString::number(c->getCameraType()), c->getCameraId(),
                               c->getCameraName(), c->getDeviceName()};
        };
        for (int i = 0; i < 3; ++i)
            QCOMPARE(row(loaded[i]), row(saved[i]));
        auto *ip = qobject_cast<IPCamera *>(loaded[1]);
        QVERIFY(ip && ip->linkConfig() == udp);
        QCOMPARE(ip->streamAddress(1), udp.stream1);
        QCOMPARE(ip->streamAddress(2), QStringLiteral("rtsp://127.0.0.5/2"));
        qDeleteAll(loaded);
    }

    // An entry of an earlier version (no link keys) is a camera on VISCA over TCP,
    // and storing it again leaves the file's bytes as they were.
    void fileWithoutLinkKeysLoadsAndSavesAsBefore()
    {
        TempDataHome home;
        const QByteArray old = "[cameraslist]\n"
                               "1\\cameratype=0\n"
                               "1\\cameraid=127.0.0.21\n"
                               "1\\cameraname=Stage\n"
                               "1\\devicename=127.0.0.21\n"
                               "size=1\n";
        const QString ini = Storage::userFolder() + QStringLiteral("/settings.ini");
        QVERIFY(QDir().mkpath(Storage::userFolder()));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(old) == old.size());
        f.close();
        QList<CameraWrapper *> cams;
        {
            AppSettings settings;
            loadCameraList(settings, cams);
            QCOMPARE(cams.size(), 1);
            auto *ip = qobject_cast<IPCamera *>(cams[0]);
            QVERIFY(ip && qobject_cast<TcpViscaLink *>(ip->transport()));
            QCOMPARE(QList<int>({ip->viscaPort(), ip->httpPort()}), QList<int>({5678, 80}));
            QCOMPARE(ip->streamAddress(1), QStringLiteral("rtsp://127.0.0.21/1"));
            saveCameraList(settings, cams);
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        qDeleteAll(cams);
    }
};

QTEST_GUILESS_MAIN(TestCameraList)
#include "tst_cameralist.moc"
