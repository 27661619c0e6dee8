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
#include <QtTest>

#include <memory>

class TestMultiCameras : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void okWritesTheRecordsAndRebuildsUnderAMovingCamera();
    void cancelWritesNothing();
    void usbRowWithoutDevicesStoresEmptyIds();

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

void TestMultiCameras::init()
{
    home = std::make_unique<TempDataHome>();
    settings = std::make_unique<AppSettings>();
    backend.state = {};
    backend.state.devices = QStringList{"Cam A", "Cam B"};
}

void TestMultiCameras::cleanup()
{
    qDeleteAll(cameras);
    cameras.clear();
    settings.reset();
    home.reset();
}

void TestMultiCameras::okWritesTheRecordsAndRebuildsUnderAMovingCamera()
{
    cameras = {new IPCamera("127.0.0.5", "Stage", "Name read over HTTP"),
               new USBCamera("Cam B", "Desk", "Cam B", &backend),
               new USBCamera("Gone", "Old", "Gone", &backend)};
    cameras[1]->connectCamera();
    cameras[1]->moveLeft(3, 3);
    QSignalSpy disconnected(cameras[1], &CameraWrapper::clientDisconnected);

    MultiCameras dlg(settings.get(), cameras, backend.listDevices());
    QCOMPARE(child<QLineEdit>(dlg, "camIP1")->text(), QStringLiteral("127.0.0.5"));
    QCOMPARE(child<QComboBox>(dlg, "usbCam2")->currentText(), QStringLiteral("Cam B"));
    QCOMPARE(child<QComboBox>(dlg, "usbCam3")->currentText(), QStringLiteral("Cam A"));
    QCOMPARE(child<QLineEdit>(dlg, "camIP3")->text(), QStringLiteral("0.0.0.0"));
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
    QCOMPARE(backend.state.log.mid(0, 4), (QStringList{"stopMoving()", "stopZooming()",
                                                       "stopFocusing()", "disconnectDevice()"}));

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

void TestMultiCameras::cancelWritesNothing()
{
    MultiCameras dlg(settings.get(), {}, backend.listDevices());
    QSignalSpy changed(&dlg, &MultiCameras::camerasChanged);
    child<QRadioButton>(dlg, "usbRadio4")->setChecked(true);
    click(dlg, "multiDlgCancel");
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(changed.count(), 0);
    QVERIFY(stored().isEmpty());
}

void TestMultiCameras::usbRowWithoutDevicesStoresEmptyIds()
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

QTEST_MAIN(TestMultiCameras)
#include "tst_multicameras.moc"
