#include "appsettings.h"
#include "camerawrapper.h"
#include "ipcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "usbcamera.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

using SettingsWriter = std::function<void(AppSettings &)>;
using SettingsReader = std::function<QVariant(AppSettings &)>;
Q_DECLARE_METATYPE(SettingsWriter)
Q_DECLARE_METATYPE(SettingsReader)

namespace {
const QString kIp = QStringLiteral("127.0.0.90");

QString iniPath()
{
    return Storage::userFolder() + QStringLiteral("/settings.ini");
}
} // namespace

class TestAppSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstStartCreatesFolderDownloadsAndFile();
    void defaults_data();
    void defaults();
    void keySpellings_data();
    void keySpellings();
    void readsFilesWrittenByEarlierVersions();
    void cameraLimitAboveThreeReadsNothing();
    void cameraListRoundTripsEightCameras();
    void emptyCameraListAppendsNothing();
    void unknownCameraTypeBuildsNetworkCamera();
    void nothingIsValidated();
    void malformedFileYieldsDefaults();

private:
    std::unique_ptr<TempDataHome> m_home;
};

void TestAppSettings::init()
{
    m_home = std::make_unique<TempDataHome>();
    QVERIFY(m_home->isValid());
}

void TestAppSettings::cleanup()
{
    m_home.reset();
}

void TestAppSettings::firstStartCreatesFolderDownloadsAndFile()
{
    QVERIFY(!QDir(Storage::userFolder()).exists());
    AppSettings settings;
    QVERIFY(QDir(Storage::userFolder()).exists());
    QVERIFY(QDir(Storage::downloadsFolder()).exists());
    QVERIFY(QFile::exists(iniPath()));
    QCOMPARE(settings.fileName(), iniPath());
    QVERIFY(Storage::userFolder().endsWith(QStringLiteral("/corvanta-controller")));
}

void TestAppSettings::defaults_data()
{
    QTest::addColumn<SettingsReader>("read");
    QTest::addColumn<QVariant>("expected");

    auto row = [](const char *name, SettingsReader r, QVariant v) {
        QTest::newRow(name) << r << v;
    };
    row(
        "startuponlaunch", [](AppSettings &s) { return QVariant(s.startupOnLaunch()); }, false);
    row(
        "servernic", [](AppSettings &s) { return QVariant(s.serverNic()); }, "0.0.0.0");
    row(
        "serverportnum", [](AppSettings &s) { return QVariant(s.serverPortNum()); }, 8080);
    row(
        "usedarktheme", [](AppSettings &s) { return QVariant(s.useDarkTheme()); }, true);
    row(
        "obsip", [](AppSettings &s) { return QVariant(s.obsIp()); }, "0.0.0.0");
    row(
        "obsport", [](AppSettings &s) { return QVariant(s.obsPort()); }, 4444);
    row(
        "obspwd", [](AppSettings &s) { return QVariant(s.obsPwd()); }, "");
    row(
        "enableobsctrl", [](AppSettings &s) { return QVariant(s.enableObsCtrl()); }, false);
    row(
        "vmixip", [](AppSettings &s) { return QVariant(s.vmixIp()); }, "0.0.0.0");
    row(
        "vmixport", [](AppSettings &s) { return QVariant(s.vmixPort()); }, 8088);
    row(
        "vmixid", [](AppSettings &s) { return QVariant(s.vmixId()); }, "admin");
    row(
        "vmixpwd", [](AppSettings &s) { return QVariant(s.vmixPwd()); }, "");
    row(
        "enablevmixctrl", [](AppSettings &s) { return QVariant(s.enableVmixCtrl()); }, false);
    row(
        "joystick", [](AppSettings &s) { return QVariant(s.isJoystickAvailable()); }, false);
    row(
        "selected_joystick", [](AppSettings &s) { return QVariant(s.selectedJoystick()); }, 0);
    row(
        "hotkey", [](AppSettings &s) { return QVariant(s.isHotkeyAvailable()); }, false);
    row(
        "snapshotpath", [](AppSettings &s) { return QVariant(s.snapshotPath()); }, "");
    row(
        "pan_speed", [](AppSettings &s) { return QVariant(s.panSpeedIndex(kIp)); }, 7);
    row(
        "tilt_speed", [](AppSettings &s) { return QVariant(s.tiltSpeedIndex(kIp)); }, 7);
    row(
        "zoom_speed", [](AppSettings &s) { return QVariant(s.zoomSpeedIndex(kIp)); }, 5);
    row(
        "focus_speed", [](AppSettings &s) { return QVariant(s.focusSpeedIndex(kIp)); }, 5);
    row(
        "pantilt_lock", [](AppSettings &s) { return QVariant(s.panTiltLocked(kIp)); }, true);
    row(
        "limit0", [](AppSettings &s) { return QVariant(s.cameraLimit(kIp, 0)); }, 170);
    row(
        "limit1", [](AppSettings &s) { return QVariant(s.cameraLimit(kIp, 1)); }, 170);
    row(
        "limit2", [](AppSettings &s) { return QVariant(s.cameraLimit(kIp, 2)); }, 30);
    row(
        "limit3", [](AppSettings &s) { return QVariant(s.cameraLimit(kIp, 3)); }, 90);
    row(
        "limit7", [](AppSettings &s) { return QVariant(s.cameraLimit(kIp, 7)); }, 170);
    row(
        "wrappervisibility", [](AppSettings &s) { return QVariant(s.wrapperVisibility(kIp)); },
        false);
    row(
        "pipvisibility", [](AppSettings &s) { return QVariant(s.pictureInPictureVisibility(kIp)); },
        false);
    row(
        "pippos", [](AppSettings &s) { return QVariant(s.pictureInPicturePos(kIp)); },
        QPoint(0, 0));
    row(
        "snapshotback", [](AppSettings &s) { return QVariant(s.snapshotBack(kIp)); }, "");
    row(
        "snapshotbacktype", [](AppSettings &s) { return QVariant(s.snapshotBackType(kIp)); }, 0);
    row(
        "presetName4", [](AppSettings &s) { return QVariant(s.presetName(kIp, 4)); }, "4");
    row(
        "aemode", [](AppSettings &s) { return QVariant(s.presetAeMode(kIp, 1)); }, 0);
    row(
        "shutter", [](AppSettings &s) { return QVariant(s.presetShutterSpeed(kIp, 1)); }, 0);
    row(
        "iris", [](AppSettings &s) { return QVariant(s.presetIris(kIp, 1)); }, 0);
    row(
        "brightness", [](AppSettings &s) { return QVariant(s.presetBrightness(kIp, 1)); }, 0);
    row(
        "luminance", [](AppSettings &s) { return QVariant(s.presetLuminance(kIp, 1)); }, 7);
    row(
        "contrast", [](AppSettings &s) { return QVariant(s.presetContrast(kIp, 1)); }, 7);
    row(
        "hue", [](AppSettings &s) { return QVariant(s.presetHue(kIp, 1)); }, 7);
    row(
        "wbmode", [](AppSettings &s) { return QVariant(s.presetWbMode(kIp, 1)); }, 0);
    row(
        "boxvisibility", [](AppSettings &s) { return QVariant(s.boxVisibility(kIp, 1)); }, true);
    row(
        "centertype", [](AppSettings &s) { return QVariant(s.centerType(kIp, 1)); }, 0);
    row(
        "custompresetpos", [](AppSettings &s) { return QVariant(s.customPresetPos(kIp, 1)); },
        QPoint(0, 0));
    row(
        "custompresettitle2", [](AppSettings &s) { return QVariant(s.customPresetTitle(kIp, 2)); },
        "Custom Preset2");
    row(
        "snapshotbox", [](AppSettings &s) { return QVariant(s.snapshotBox(kIp, 1)); }, "");
    row(
        "snapshotboxtype", [](AppSettings &s) { return QVariant(s.snapshotBoxType(kIp, 1)); }, 0);
    row(
        "snapshotboxcolor", [](AppSettings &s) { return QVariant(s.snapshotBoxColor(kIp, 1)); },
        QColor(0, 0, 0));
}

void TestAppSettings::defaults()
{
    QFETCH(SettingsReader, read);
    QFETCH(QVariant, expected);
    AppSettings settings;
    QCOMPARE(read(settings), expected);
}

void TestAppSettings::keySpellings_data()
{
    QTest::addColumn<SettingsWriter>("write");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    auto row = [](const char *name, SettingsWriter w, const QString &key, QVariant v) {
        QTest::newRow(name) << w << key << v;
    };
    row(
        "pan_speed", [](AppSettings &s) { s.setPanSpeedIndex(kIp, 11); }, "127.0.0.90_pan_speed",
        11);
    row(
        "pantilt_lock", [](AppSettings &s) { s.setPanTiltLocked(kIp, false); },
        "127.0.0.90_pantilt_lock", false);
    row(
        "cameralimit", [](AppSettings &s) { s.setCameraLimit(kIp, 2, 45); },
        "cameralimit_2_127.0.0.90", 45);
    row(
        "mem3", [](AppSettings &s) { s.setPresetName(kIp, 3, "Pulpit"); }, "mem3127.0.0.90",
        "Pulpit");
    row(
        "aemode", [](AppSettings &s) { s.setPresetAeMode(kIp, 3, 2); }, "127.0.0.90_3_aemode", 2);
    row(
        "shutterspeed", [](AppSettings &s) { s.setPresetShutterSpeed(kIp, 9, 16); },
        "127.0.0.90_9_shutterspeed", 16);
    row(
        "joystick", [](AppSettings &s) { s.setJoystickAvailable(true); }, "is joystick available",
        true);
    row(
        "hotkey", [](AppSettings &s) { s.setHotkeyAvailable(true); }, "is hotkey available", true);
    row(
        "selected_joystick", [](AppSettings &s) { s.setSelectedJoystick(2); }, "selected_joystick",
        2);
    row(
        "wrappervisibility", [](AppSettings &s) { s.setWrapperVisibility(kIp, true); },
        "wrappervisibility127.0.0.90", true);
    row(
        "pippos", [](AppSettings &s) { s.setPictureInPicturePos(kIp, QPoint(12, -3)); },
        "pictureinpicturepos127.0.0.90", QPoint(12, -3));
    row(
        "custompresetpos", [](AppSettings &s) { s.setCustomPresetPos(kIp, 4, QPoint(5, 6)); },
        "custompresetpos127.0.0.904", QPoint(5, 6));
    row(
        "custompresettitle", [](AppSettings &s) { s.setCustomPresetTitle(kIp, 9, "Door"); },
        "custompresettitle127.0.0.909", "Door");
    row(
        "color_r", [](AppSettings &s) { s.setSnapshotBoxColor(kIp, 1, QColor(10, 20, 30)); },
        "snapshotboxcolor_r127.0.0.901", 10);
    // Green and blue are stored swapped.
    row(
        "color_g_holds_blue",
        [](AppSettings &s) { s.setSnapshotBoxColor(kIp, 1, QColor(10, 20, 30)); },
        "snapshotboxcolor_g127.0.0.901", 30);
    row(
        "color_b_holds_green",
        [](AppSettings &s) { s.setSnapshotBoxColor(kIp, 1, QColor(10, 20, 30)); },
        "snapshotboxcolor_b127.0.0.901", 20);
}

void TestAppSettings::keySpellings()
{
    QFETCH(SettingsWriter, write);
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    {
        AppSettings settings;
        write(settings);
    } // destruction writes the file

    QSettings raw(iniPath(), QSettings::IniFormat);
    QVERIFY2(raw.contains(key), qPrintable(key));
    QCOMPARE(raw.value(key).toString(), value.toString());
}

void TestAppSettings::readsFilesWrittenByEarlierVersions()
{
    QDir().mkpath(Storage::userFolder());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[General]\n"
            "mem3127.0.0.90=Lobby\n"
            "is%20joystick%20available=true\n"
            "custompresetpos127.0.0.902=@Point(10 20)\n"
            "snapshotboxcolor_r127.0.0.902=255\n"
            "snapshotboxcolor_g127.0.0.902=128\n"
            "snapshotboxcolor_b127.0.0.902=0\n"
            "cameralimit_0_127.0.0.90=120\n"
            "\n"
            "[cameraslist]\n"
            "1\\cameratype=1\n"
            "1\\cameraid=USB Cam\n"
            "1\\cameraname=Desk\n"
            "1\\devicename=USB Video\n"
            "size=1\n");
    f.close();

    AppSettings settings;
    QCOMPARE(settings.presetName(kIp, 3), QStringLiteral("Lobby"));
    QCOMPARE(settings.isJoystickAvailable(), true);
    QCOMPARE(settings.customPresetPos(kIp, 2), QPoint(10, 20));
    QCOMPARE(settings.snapshotBoxColor(kIp, 2), QColor(255, 0, 128));
    QCOMPARE(settings.cameraLimit(kIp, 0), 120);

    QList<CameraWrapper *> cams;
    QCOMPARE(settings.loadCameraList(cams), 0);
    QCOMPARE(cams.size(), 1);
    QCOMPARE(cams[0]->getCameraType(), 1);
    QVERIFY(qobject_cast<USBCamera *>(cams[0]));
    QCOMPARE(cams[0]->getCameraId(), QStringLiteral("USB Cam"));
    QCOMPARE(cams[0]->getCameraName(), QStringLiteral("Desk"));
    QCOMPARE(cams[0]->getDeviceName(), QStringLiteral("USB Video"));
    qDeleteAll(cams);
}

void TestAppSettings::cameraLimitAboveThreeReadsNothing()
{
    {
        AppSettings settings;
        settings.setCameraLimit(kIp, 4, 12);
    }
    AppSettings settings;
    QCOMPARE(settings.cameraLimit(kIp, 4), 170);
}

void TestAppSettings::cameraListRoundTripsEightCameras()
{
    QList<CameraWrapper *> saved;
    for (int i = 0; i < 8; ++i) {
        const QString id = QStringLiteral("127.0.0.%1").arg(i + 1);
        const QString name = QStringLiteral("Cam %1").arg(i + 1);
        const QString dev = QStringLiteral("Device %1").arg(i + 1);
        if (i % 3 == 2)
            saved << new USBCamera(QStringLiteral("usb-%1").arg(i), name, dev);
        else
            saved << new IPCamera(id, name, dev);
    }
    {
        AppSettings settings;
        settings.saveCameraList(saved);
    }
    AppSettings settings;
    QList<CameraWrapper *> loaded;
    settings.loadCameraList(loaded);
    QCOMPARE(loaded.size(), 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(loaded[i]->getCameraType(), saved[i]->getCameraType());
        QCOMPARE(QByteArray(loaded[i]->metaObject()->className()),
                 QByteArray(saved[i]->metaObject()->className()));
        QCOMPARE(loaded[i]->getCameraId(), saved[i]->getCameraId());
        QCOMPARE(loaded[i]->getCameraName(), saved[i]->getCameraName());
        QCOMPARE(loaded[i]->getDeviceName(), saved[i]->getDeviceName());
    }

    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.value("cameraslist/size").toInt(), 8);
    QCOMPARE(raw.value("cameraslist/3/cameratype").toInt(), 1);
    QCOMPARE(raw.value("cameraslist/1/cameraid").toString(), QStringLiteral("127.0.0.1"));
    qDeleteAll(saved);
    qDeleteAll(loaded);
}

void TestAppSettings::emptyCameraListAppendsNothing()
{
    AppSettings settings;
    QList<CameraWrapper *> cams;
    QCOMPARE(settings.loadCameraList(cams), 0);
    QVERIFY(cams.isEmpty());
}

void TestAppSettings::unknownCameraTypeBuildsNetworkCamera()
{
    {
        QSettings raw(iniPath(), QSettings::IniFormat);
        raw.beginWriteArray("cameraslist");
        raw.setArrayIndex(0);
        raw.setValue("cameratype", 7);
        raw.setValue("cameraid", "127.0.0.9");
        raw.setArrayIndex(1);
        raw.setValue("cameratype", "garbage");
        raw.endArray();
    }
    AppSettings settings;
    QList<CameraWrapper *> cams;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unknown cameratype 7"));
    settings.loadCameraList(cams);
    QCOMPARE(cams.size(), 2);
    QVERIFY(qobject_cast<IPCamera *>(cams[0]));
    QCOMPARE(cams[0]->getCameraId(), QStringLiteral("127.0.0.9"));
    QCOMPARE(cams[0]->getCameraName(), QStringLiteral("Camera1"));
    QCOMPARE(cams[0]->getDeviceName(), QStringLiteral("0.0.0.0"));
    // Text where a number is expected converts to 0: a network camera.
    QVERIFY(qobject_cast<IPCamera *>(cams[1]));
    QCOMPARE(cams[1]->getCameraId(), QStringLiteral("0.0.0.0"));
    QCOMPARE(cams[1]->getCameraName(), QStringLiteral("Camera2"));
    qDeleteAll(cams);
}

void TestAppSettings::nothingIsValidated()
{
    {
        AppSettings settings;
        settings.setServerPortNum(-5);
        settings.setPanSpeedIndex(kIp, 9999);
    }
    AppSettings settings;
    QCOMPARE(settings.serverPortNum(), -5);
    QCOMPARE(settings.panSpeedIndex(kIp), 9999);
}

void TestAppSettings::malformedFileYieldsDefaults()
{
    QDir().mkpath(Storage::userFolder());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(
        "serverportnum=abc\nsnapshotboxcolor_r127.0.0.11=9000\n\x01\x02garbage\n[[[\nvmixid=x\n");
    f.close();
    AppSettings settings;
    QCOMPARE(settings.serverPortNum(), 0);
    QCOMPARE(settings.vmixId(), QStringLiteral("admin"));
    QCOMPARE(settings.snapshotBoxColor(QStringLiteral("127.0.0.1"), 1).red(), 255);
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
