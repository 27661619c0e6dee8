// MultiCameras: the records OK writes from the rows it fills from the cameras
// and the device list and from what the operator changed; Cancel writes
// nothing.

#include "appsettings.h"
#include "fakev4l2io.h"
#include "ipcamera.h"
#include "multicameras.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

class TestMultiCameras : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        home = std::make_unique<TempDataHome>();
        settings = std::make_unique<AppSettings>();
        io->devices = {{"/dev/video0", "Cam A"}, {"/dev/video1", "Cam B"}};
    }
    void cleanup()
    {
        qDeleteAll(cameras);
        cameras.clear();
        settings.reset();
        home.reset();
    }

    void okWritesEveryRow()
    {
        // protocol, port, HTTP port, address, baud, first stream
        const CameraLinkConfig udp{
            CameraLinkConfig::Udp, 52390, 0, 1, 9600, QStringLiteral("rtsp://127.0.0.51/main"), {}};
        CameraLinkConfig withStream;
        withStream.stream2 = QStringLiteral("rtsp://127.0.0.53/sub");
        cameras = {new IPCamera("127.0.0.51", "One", "Name read over HTTP"),
                   new USBCamera("Cam B", "Desk", "Cam B", &backend),
                   new USBCamera("Gone", "Old", "Gone", &backend),
                   new IPCamera("127.0.0.52", "Two", "127.0.0.52"),
                   new IPCamera("127.0.0.53", "Three", "127.0.0.53"),
                   new IPCamera("127.0.0.54", "Four", "127.0.0.54")};
        static_cast<IPCamera *>(cameras[0])->setLinkConfig(udp);
        static_cast<IPCamera *>(cameras[4])->setLinkConfig(withStream);

        MultiCameras dlg(settings.get(), cameras, backend.listDevices());
        // Row 4 becomes a serial camera at address 2 of a shared port.
        child<QComboBox>(dlg, "camProtocol4")->setCurrentText(QStringLiteral("Serial"));
        child<QLineEdit>(dlg, "camDevice4")->setText("/dev/ttyUSB1");
        child<QSpinBox>(dlg, "camAddress4")->setValue(2);
        child<QComboBox>(dlg, "camBaud4")->setCurrentText(QStringLiteral("38400"));
        // Row 5 gets another address: its stream addresses go with the old one.
        child<QLineEdit>(dlg, "camIP5")->setText("127.0.0.63");
        // Row 6 on UDP: the port follows to the UDP default, which is not stored.
        child<QComboBox>(dlg, "camProtocol6")->setCurrentText(QStringLiteral("UDP"));
        // Row 7: a USB row keeps no link; row 8: typed text is stored as typed.
        child<QRadioButton>(dlg, "usbRadio7")->setChecked(true);
        child<QLineEdit>(dlg, "camName8")->setText("Typed name");
        child<QLineEdit>(dlg, "camIP8")->setText("not an address/..\\x");
        QStringList seenByRebuild;
        connect(&dlg, &MultiCameras::camerasChanged, this, [&] { seenByRebuild = storedRows(); });
        click(dlg, "multiDlgOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const QStringList expected{
            "0 127.0.0.51 One 127.0.0.51 | port=52390 protocol=udp stream1=" + udp.stream1,
            "1 Cam B Desk Cam B |",
            "1 Cam A Old Cam A |", // the device is gone: the first one present
            "0 /dev/ttyUSB1#2 Two /dev/ttyUSB1#2 | address=2 baud=38400 protocol=serial",
            "0 127.0.0.63 Three 127.0.0.63 |",
            "0 127.0.0.54 Four 127.0.0.54 | protocol=udp",
            "1 Cam A  Cam A |",
            "0 not an address/..\\x Typed name not an address/..\\x |"};
        QCOMPARE(storedRows(), expected);
        QCOMPARE(seenByRebuild, expected); // written before the rebuild
    }

    void cancelWritesNothing()
    {
        MultiCameras dlg(settings.get(), {}, {});
        QSignalSpy changed(&dlg, &MultiCameras::camerasChanged);
        child<QRadioButton>(dlg, "usbRadio4")->setChecked(true);
        click(dlg, "multiDlgCancel");
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(changed.count(), 0);
        QVERIFY(storedRows().isEmpty());
    }

private:
    // A missing widget crashes the test: a failure all the same.
    template <typename T> T *child(MultiCameras &dlg, const QString &name)
    {
        return dlg.findChild<T *>(name);
    }
    void click(MultiCameras &dlg, const char *name)
    {
        QTest::mouseClick(child<QPushButton>(dlg, QLatin1String(name)), Qt::LeftButton);
    }
    // Each stored camera as "type id name device | link keys".
    QStringList storedRows()
    {
        settings->sync();
        QSettings raw(settings->fileName(), QSettings::IniFormat);
        QStringList rows;
        const int n = raw.beginReadArray("cameraslist");
        for (int i = 0; i < n; ++i) {
            raw.setArrayIndex(i);
            QStringList row;
            for (const char *key : {"cameratype", "cameraid", "cameraname", "devicename"})
                row << raw.value(key).toString();
            row << "|";
            for (const QString &key : raw.childKeys())
                if (!key.startsWith("camera") && key != "devicename")
                    row << key + '=' + raw.value(key).toString();
            rows << row.join(' ');
        }
        raw.endArray();
        return rows;
    }

    std::unique_ptr<TempDataHome> home;
    std::unique_ptr<AppSettings> settings;
    std::shared_ptr<FakeIo> io = std::make_shared<FakeIo>();
    V4l2Backend backend{io};
    QList<CameraWrapper *> cameras;
};

QTEST_MAIN(TestMultiCameras)
#include "tst_multicameras.moc"
