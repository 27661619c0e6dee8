// MultiCameras: the rows it fills from the cameras and the device list, the
// records OK writes (and nothing else), Cancel, and a rebuild on OK while a
// USB camera is connected and moving.

#include "appsettings.h"
#include "fakeusbbackend.h"
#include "ipcamera.h"
#include "multicameras.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <memory>

class TestMultiCameras : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        home = std::make_unique<TempDataHome>();
        settings = std::make_unique<AppSettings>();
        backend.state = {};
        backend.state.devices = QStringList{"Cam A", "Cam B"};
    }
    void cleanup()
    {
        qDeleteAll(cameras);
        cameras.clear();
        settings.reset();
        home.reset();
    }
    void okWritesTheRecordsAndRebuildsUnderAMovingCamera()
    {
        cameras = {new IPCamera("127.0.0.5", "Stage", "Name read over HTTP"),
                   new USBCamera("Cam B", "Desk", "Cam B", &backend),
                   new USBCamera("Gone", "Old", "Gone", &backend)};
        cameras[1]->connectCamera();
        cameras[1]->moveLeft(3, 3);
        QSignalSpy disconnected(cameras[1], &CameraWrapper::clientDisconnected);

        MultiCameras dlg(settings.get(), cameras, backend.listDevices());
        child<QLineEdit>(dlg, "camName8")->setText("Typed name");
        child<QLineEdit>(dlg, "camIP8")->setText("not an address/..\\x");

        // What a rebuild sees: the list already written; the moving camera stops.
        QStringList rebuiltIds;
        connect(&dlg, &MultiCameras::camerasChanged, this, [&] {
            qDeleteAll(cameras);
            cameras.clear();
            settings->loadCameraList(cameras);
            for (CameraWrapper *c : cameras)
                rebuiltIds << QString::number(c->getCameraType()) + c->getCameraId();
        });
        backend.state.log.clear();
        click(dlg, "multiDlgOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(rebuiltIds, (QStringList{"0127.0.0.5", "1Cam B", "1Cam A", "0", "0", "0", "0",
                                          "0not an address/..\\x"}));
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(
            backend.state.log.mid(0, 4),
            (QStringList{"stopMoving()", "stopZooming()", "stopFocusing()", "disconnectDevice()"}));

        QMap<QString, QString> expected{{"cameraslist/size", "8"}};
        const QStringList names{"Stage", "Desk", "Old", "", "", "", "", "Typed name"};
        for (int k = 1; k <= 8; ++k) {
            const QString type = rebuiltIds[k - 1].left(1);
            const QString id = rebuiltIds[k - 1].mid(1);
            const QString prefix = QStringLiteral("cameraslist/%1/").arg(k);
            expected[prefix + "cameratype"] = type;
            expected[prefix + "cameraid"] = id;
            expected[prefix + "cameraname"] = names[k - 1];
            expected[prefix + "devicename"] = id;
        }
        QCOMPARE(stored(), expected);
    }
    void cancelWritesNothing()
    {
        MultiCameras dlg(settings.get(), {}, backend.listDevices());
        QSignalSpy changed(&dlg, &MultiCameras::camerasChanged);
        child<QRadioButton>(dlg, "usbRadio4")->setChecked(true);
        click(dlg, "multiDlgCancel");
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(changed.count(), 0);
        QVERIFY(stored().isEmpty());
    }
    void usbRowWithoutDevicesStoresEmptyIds()
    {
        MultiCameras dlg(settings.get(), {}, {});
        QRadioButton *usb = child<QRadioButton>(dlg, "usbRadio1");
        usb->setChecked(true);
        QVERIFY(!child<QRadioButton>(dlg, "ipRadio1")->isChecked());
        click(dlg, "multiDlgOK");
        const QMap<QString, QString> all = stored();
        QCOMPARE(all.value("cameraslist/1/cameratype"), QStringLiteral("1"));
        QCOMPARE(all.value("cameraslist/1/cameraid", "absent"), QString());
        QCOMPARE(all.value("cameraslist/1/devicename", "absent"), QString());
    }
    void networkRowsChooseTheirLink()
    {
        CameraLinkConfig udp;
        udp.protocol = CameraLinkConfig::Udp;
        udp.port = 52390;
        udp.stream1 = QStringLiteral("rtsp://127.0.0.51/main");
        CameraLinkConfig tcpWithStream;
        tcpWithStream.stream2 = QStringLiteral("rtsp://127.0.0.53/sub");
        cameras = {new IPCamera("127.0.0.51", "One", "127.0.0.51"),
                   new IPCamera("127.0.0.52", "Two", "127.0.0.52"),
                   new IPCamera("127.0.0.53", "Three", "127.0.0.53"),
                   new IPCamera("127.0.0.54", "Four", "127.0.0.54")};
        static_cast<IPCamera *>(cameras[0])->setLinkConfig(udp);
        static_cast<IPCamera *>(cameras[2])->setLinkConfig(tcpWithStream);

        MultiCameras dlg(settings.get(), cameras, {});
        // Row 2 becomes a serial camera at address 2 of a shared port.
        child<QComboBox>(dlg, "camProtocol2")->setCurrentText(QStringLiteral("Serial"));
        child<QLineEdit>(dlg, "camDevice2")->setText("/dev/ttyUSB1");
        child<QSpinBox>(dlg, "camAddress2")->setValue(2);
        child<QComboBox>(dlg, "camBaud2")->setCurrentText(QStringLiteral("38400"));
        // Row 3 gets another address: its stream addresses go with the old one.
        child<QLineEdit>(dlg, "camIP3")->setText("127.0.0.63");
        // Row 4 on UDP: the port follows to the UDP default, which is not stored.
        child<QComboBox>(dlg, "camProtocol4")->setCurrentText(QStringLiteral("UDP"));
        // A USB row keeps no link.
        child<QRadioButton>(dlg, "usbRadio5")->setChecked(true);

        click(dlg, "multiDlgOK");
        const QMap<QString, QString> all = stored();
        auto linkKeys = [&all](int k) {
            QMap<QString, QString> keys;
            const QString prefix = QStringLiteral("cameraslist/%1/").arg(k);
            for (auto it = all.cbegin(); it != all.cend(); ++it) {
                const QString key = it.key().mid(prefix.size());
                if (it.key().startsWith(prefix) && key != "cameratype" && key != "cameraid" &&
                    key != "cameraname" && key != "devicename")
                    keys.insert(key, it.value());
            }
            return keys;
        };
        QCOMPARE(linkKeys(1),
                 (QMap<QString, QString>{
                     {"protocol", "udp"}, {"port", "52390"}, {"stream1", udp.stream1}}));
        QCOMPARE(all.value("cameraslist/2/cameraid"), QStringLiteral("/dev/ttyUSB1#2"));
        QCOMPARE(all.value("cameraslist/2/cameratype"), QStringLiteral("0"));
        QCOMPARE(linkKeys(2), (QMap<QString, QString>{
                                  {"protocol", "serial"}, {"address", "2"}, {"baud", "38400"}}));
        QCOMPARE(linkKeys(3), (QMap<QString, QString>{}));
        QCOMPARE(linkKeys(4), (QMap<QString, QString>{{"protocol", "udp"}}));
        QCOMPARE(linkKeys(5), (QMap<QString, QString>{}));
    }

private:
    template <typename T> T *child(MultiCameras &dlg, const QString &name)
    {
        T *w = dlg.findChild<T *>(name);
        if (!w)
            qFatal("no widget %s", qPrintable(name));
        return w;
    }
    void click(MultiCameras &dlg, const char *name)
    {
        QTest::mouseClick(child<QPushButton>(dlg, QLatin1String(name)), Qt::LeftButton);
    }
    // Every key of the settings file with its value.
    QMap<QString, QString> stored()
    {
        settings->sync();
        QSettings raw(settings->fileName(), QSettings::IniFormat);
        QMap<QString, QString> all;
        for (const QString &key : raw.allKeys())
            all[key] = raw.value(key).toString();
        return all;
    }

    std::unique_ptr<TempDataHome> home;
    std::unique_ptr<AppSettings> settings;
    FakeUsbBackend backend;
    QList<CameraWrapper *> cameras;
};

QTEST_MAIN(TestMultiCameras)
#include "tst_multicameras.moc"
