#include "appsettings.h"
#include "cameralist.h"
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
    void tallyGroupRoundTripsAndStaysApart();
    void textIsUtf8OnDiskAndEscapesStillLoad();
    void cameraLimitAboveThreeReadsNothing();
    void cameraListRoundTripsEightCameras();
    void emptyCameraListAppendsNothing();
    void unknownCameraTypeBuildsNetworkCamera();
    void nothingIsValidated();
    void malformedFileYieldsDefaults();
    void unchangedValueLeavesTheFileAlone_data();
    void unchangedValueLeavesTheFileAlone();
    void cameraListReadsTheFirstEightEntries();
    void listenPort_data();
    void listenPort();
    void namesRoundTrip_data();
    void namesRoundTrip();
    void failedWriteIsReportedOnce();
    void unreadableFileIsNeitherUsedNorOverwritten();

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
#define READ(call)                                                                                 \
    [](AppSettings &s) {                                                                           \
        return QVariant(s.call);                                                                   \
    }
    row("startuponlaunch", READ(startupOnLaunch()), false);
    row("servernic", READ(serverNic()), "0.0.0.0");
    row("serverportnum", READ(serverPortNum()), 8080);
    row("usedarktheme", READ(useDarkTheme()), true);
    row("obsip", READ(obsIp()), "0.0.0.0");
    row("obsport", READ(obsPort()), 4444);
    row("obspwd", READ(obsPwd()), "");
    row("enableobsctrl", READ(enableObsCtrl()), false);
    row("vmixip", READ(vmixIp()), "0.0.0.0");
    row("vmixport", READ(vmixPort()), 8088);
    row("vmixid", READ(vmixId()), "admin");
    row("vmixpwd", READ(vmixPwd()), "");
    row("enablevmixctrl", READ(enableVmixCtrl()), false);
    row("joystick", READ(isJoystickAvailable()), false);
    row("selected_joystick", READ(selectedJoystick()), 0);
    row("hotkey", READ(isHotkeyAvailable()), false);
    row("snapshotpath", READ(snapshotPath()), "");
    row("pan_speed", READ(panSpeedIndex(kIp)), 7);
    row("tilt_speed", READ(tiltSpeedIndex(kIp)), 7);
    row("zoom_speed", READ(zoomSpeedIndex(kIp)), 5);
    row("focus_speed", READ(focusSpeedIndex(kIp)), 5);
    row("pantilt_lock", READ(panTiltLocked(kIp)), true);
    row("limit0", READ(cameraLimit(kIp, 0)), 170);
    row("limit1", READ(cameraLimit(kIp, 1)), 170);
    row("limit2", READ(cameraLimit(kIp, 2)), 30);
    row("limit3", READ(cameraLimit(kIp, 3)), 90);
    row("limit7", READ(cameraLimit(kIp, 7)), 170);
    row("wrappervisibility", READ(wrapperVisibility(kIp)), false);
    row("pipvisibility", READ(pictureInPictureVisibility(kIp)), false);
    row("pippos", READ(pictureInPicturePos(kIp)), QPoint(0, 0));
    row("snapshotback", READ(snapshotBack(kIp)), "");
    row("snapshotbacktype", READ(snapshotBackType(kIp)), 0);
    row("presetName4", READ(presetName(kIp, 4)), "4");
    row("aemode", READ(presetAeMode(kIp, 1)), 0);
    row("shutter", READ(presetShutterSpeed(kIp, 1)), 0);
    row("iris", READ(presetIris(kIp, 1)), 0);
    row("brightness", READ(presetBrightness(kIp, 1)), 0);
    row("luminance", READ(presetLuminance(kIp, 1)), 7);
    row("contrast", READ(presetContrast(kIp, 1)), 7);
    row("hue", READ(presetHue(kIp, 1)), 7);
    row("wbmode", READ(presetWbMode(kIp, 1)), 0);
    row("boxvisibility", READ(boxVisibility(kIp, 1)), true);
    row("centertype", READ(centerType(kIp, 1)), 0);
    row("custompresetpos", READ(customPresetPos(kIp, 1)), QPoint(0, 0));
    row("custompresettitle2", READ(customPresetTitle(kIp, 2)), "Custom Preset2");
    row("snapshotbox", READ(snapshotBox(kIp, 1)), "");
    row("snapshotboxtype", READ(snapshotBoxType(kIp, 1)), 0);
    row("snapshotboxcolor", READ(snapshotBoxColor(kIp, 1).blue), 0);
#undef READ
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
#define WRITE(call)                                                                                \
    [](AppSettings &s) {                                                                           \
        s.call;                                                                                    \
    }
    row("pan_speed", WRITE(setPanSpeedIndex(kIp, 11)), "127.0.0.90_pan_speed", 11);
    row("pantilt_lock", WRITE(setPanTiltLocked(kIp, false)), "127.0.0.90_pantilt_lock", false);
    row("cameralimit", WRITE(setCameraLimit(kIp, 2, 45)), "cameralimit_2_127.0.0.90", 45);
    row("mem3", WRITE(setPresetName(kIp, 3, "Pulpit")), "mem3127.0.0.90", "Pulpit");
    row("aemode", WRITE(setPresetAeMode(kIp, 3, 2)), "127.0.0.90_3_aemode", 2);
    row("shutterspeed", WRITE(setPresetShutterSpeed(kIp, 9, 16)), "127.0.0.90_9_shutterspeed", 16);
    row("joystick", WRITE(setJoystickAvailable(true)), "is joystick available", true);
    row("hotkey", WRITE(setHotkeyAvailable(true)), "is hotkey available", true);
    row("selected_joystick", WRITE(setSelectedJoystick(2)), "selected_joystick", 2);
    row("autoreconnect", WRITE(setAutoReconnect(true)), "autoreconnect", true);
    row("wrappervisibility", WRITE(setWrapperVisibility(kIp, true)), "wrappervisibility127.0.0.90",
        true);
    row("pippos", WRITE(setPictureInPicturePos(kIp, QPoint(12, -3))),
        "pictureinpicturepos127.0.0.90", QPoint(12, -3));
    row("custompresetpos", WRITE(setCustomPresetPos(kIp, 4, QPoint(5, 6))),
        "custompresetpos127.0.0.904", QPoint(5, 6));
    row("custompresettitle", WRITE(setCustomPresetTitle(kIp, 9, "Door")),
        "custompresettitle127.0.0.909", "Door");
    row("color_r", WRITE(setSnapshotBoxColor(kIp, 1, BoxColor{10, 20, 30})),
        "snapshotboxcolor_r127.0.0.901", 10);
    // Green and blue are stored swapped.
    row("color_g_holds_blue", WRITE(setSnapshotBoxColor(kIp, 1, BoxColor{10, 20, 30})),
        "snapshotboxcolor_g127.0.0.901", 30);
    row("color_b_holds_green", WRITE(setSnapshotBoxColor(kIp, 1, BoxColor{10, 20, 30})),
        "snapshotboxcolor_b127.0.0.901", 20);
#undef WRITE
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

// A name typed into settings.ini by hand (UTF-8) reads back unchanged and
// is saved back as UTF-8; an earlier version's \x escape still loads.
void TestAppSettings::textIsUtf8OnDiskAndEscapesStillLoad()
{
    QDir().mkpath(Storage::userFolder());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[General]\n"
            "mem1127.0.0.90=B\xc3\xbchne S\xc3\xbc"
            "d\n"
            "mem2127.0.0.90=\\x65e5\\x672c\n"
            "mem4127.0.0.90=\\xd83d\\xde00 \\xd83c\\xdfa5\n");
    f.close();
    {
        AppSettings settings;
        QCOMPARE(settings.presetName(kIp, 1), QStringLiteral("B\u00fchne S\u00fcd"));
        QCOMPARE(settings.presetName(kIp, 2), QStringLiteral("\u65e5\u672c"));
        QCOMPARE(settings.presetName(kIp, 4), QString::fromUtf8("\U0001F600 \U0001F3A5"));
        settings.setPresetName(kIp, 3, QStringLiteral("Kan\u00e4l"));
    }
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    QVERIFY2(written.contains("mem1127.0.0.90=B\xc3\xbchne S\xc3\xbc"
                              "d\n"),
             written.constData());
    QVERIFY2(written.contains("mem3127.0.0.90=Kan\xc3\xa4l\n"), written.constData());
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
    QVERIFY(settings.snapshotBoxColor(kIp, 2) == (BoxColor{255, 0, 128}));
    QCOMPARE(settings.cameraLimit(kIp, 0), 120);

    QList<CameraWrapper *> cams;
    QCOMPARE(loadCameraList(settings, cams), 0);
    QCOMPARE(cams.size(), 1);
    QCOMPARE(cams[0]->getCameraType(), 1);
    QVERIFY(qobject_cast<USBCamera *>(cams[0]));
    QCOMPARE(cams[0]->getCameraId(), QStringLiteral("USB Cam"));
    QCOMPARE(cams[0]->getCameraName(), QStringLiteral("Desk"));
    QCOMPARE(cams[0]->getDeviceName(), QStringLiteral("USB Video"));
    qDeleteAll(cams);
}

void TestAppSettings::tallyGroupRoundTripsAndStaysApart()
{
    {
        AppSettings settings;
        settings.setPresetName(kIp, 3, "Lobby");
        // An older file: no tally group, nothing protected, nothing tied.
        QCOMPARE(settings.protectLive(), 0);
        QCOMPARE(settings.tallySlot(1).command, 0);
        QVERIFY(settings.tallySlot(1).obs.isEmpty());
        TallySlotSetting t;
        t.obs = "Cam 2 / close";
        t.vmix = "3";
        t.command = 2;
        t.program = "81 01 7E 01 0A 00 02 FF";
        settings.setTallySlot(2, t);
        settings.setTallySlot(9, t); // no such slot: not written
        settings.setProtectLive(2);
    }
    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.childGroups(), QStringList({"tally"}));
    QCOMPARE(raw.value("tally/2/obs").toString(), QStringLiteral("Cam 2 / close"));
    QCOMPARE(raw.value("tally/2/vmix").toString(), QStringLiteral("3"));
    QCOMPARE(raw.value("tally/2/command").toInt(), 2);
    QCOMPARE(raw.value("tally/protectlive").toInt(), 2);
    QVERIFY(!raw.contains("tally/9/obs"));
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.contains("[tally]\n"));
    QVERIFY(text.contains("2\\program=81 01 7E 01 0A 00 02 FF\n"));
    QVERIFY(text.contains("mem3127.0.0.90=Lobby"));

    AppSettings again;
    const TallySlotSetting read = again.tallySlot(2);
    QCOMPARE(read.obs, QStringLiteral("Cam 2 / close"));
    QCOMPARE(read.command, 2);
    QCOMPARE(read.program, QStringLiteral("81 01 7E 01 0A 00 02 FF"));
    QVERIFY(read.off.isEmpty());
    QCOMPARE(again.protectLive(), 2);
    QCOMPARE(again.presetName(kIp, 3), QStringLiteral("Lobby"));
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
        saveCameraList(settings, saved);
    }
    AppSettings settings;
    QList<CameraWrapper *> loaded;
    loadCameraList(settings, loaded);
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
    QCOMPARE(loadCameraList(settings, cams), 0);
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
    loadCameraList(settings, cams);
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
    QCOMPARE(settings.snapshotBoxColor(QStringLiteral("127.0.0.1"), 1).red, 255);
}

void TestAppSettings::unchangedValueLeavesTheFileAlone_data()
{
    keySpellings_data();
    auto row = [](const char *name, SettingsWriter w) {
        QTest::newRow(name) << w << QString() << QVariant();
    };
    row("usedarktheme", [](AppSettings &s) { s.setUseDarkTheme(false); });
    row("text with comma", [](AppSettings &s) { s.setVmixPwd(QStringLiteral("a, b=c")); });
    row("cameraslist", [](AppSettings &s) {
        QList<CameraWrapper *> cams{new IPCamera("127.0.0.5", "Stage", "0.0.0.0"),
                                    new USBCamera("usb-1", "Desk", "Video 1")};
        saveCameraList(s, cams);
        qDeleteAll(cams);
    });
}

// Writing the value a key already holds leaves the file's bytes as they are
// (the operator's comments and key order included).
void TestAppSettings::unchangedValueLeavesTheFileAlone()
{
    QFETCH(SettingsWriter, write);
    {
        AppSettings settings;
        write(settings);
    }
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::ReadWrite | QIODevice::Append));
    f.write("; operator's note\n");
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    {
        AppSettings settings;
        write(settings);
        settings.sync();
    }
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

// A damaged or hostile list size costs no more than the eight slots in use.
void TestAppSettings::cameraListReadsTheFirstEightEntries()
{
    QDir().mkpath(Storage::userFolder());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[cameraslist]\nsize=1000000000\n");
    for (int i = 1; i <= 10; ++i)
        f.write(QByteArray::number(i) + "\\cameraid=127.0.0." + QByteArray::number(i) + "\n");
    f.close();
    AppSettings settings;
    QList<CameraWrapper *> cams;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("reading the first 8"));
    loadCameraList(settings, cams);
    QCOMPARE(cams.size(), 8);
    QCOMPARE(cams.last()->getCameraId(), QStringLiteral("127.0.0.8"));
    // Saved back, the list replaces the longer one whole.
    saveCameraList(settings, cams);
    settings.sync();
    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.value("cameraslist/size").toInt(), 8);
    QCOMPARE(raw.value("cameraslist/8/cameraid").toString(), QStringLiteral("127.0.0.8"));
    QVERIFY(!raw.contains("cameraslist/9/cameraid"));
    QVERIFY(!raw.contains("cameraslist/10/cameraid"));
    qDeleteAll(cams);
}

void TestAppSettings::listenPort_data()
{
    QTest::addColumn<QByteArray>("stored"); // the file's text; null: no key
    QTest::addColumn<int>("port");          // 0: not a port to listen on
    QTest::newRow("absent") << QByteArray() << 8080;
    QTest::newRow("8080") << QByteArray("8080") << 8080;
    QTest::newRow("1") << QByteArray("1") << 1;
    QTest::newRow("65535") << QByteArray("65535") << 65535;
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("65536") << QByteArray("65536") << 0;
    QTest::newRow("negative") << QByteArray("-1") << 0;
    QTest::newRow("text") << QByteArray("abc") << 0;
    QTest::newRow("fraction") << QByteArray("18108.7") << 0;
    QTest::newRow("overflow") << QByteArray("99999999999999999999999") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
}

void TestAppSettings::listenPort()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, port);
    QDir().mkpath(Storage::userFolder());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    if (!stored.isNull())
        f.write("[General]\nserverportnum=" + stored + "\n");
    f.close();
    AppSettings settings;
    QCOMPARE(int(settings.serverListenPort().value_or(0)), port);
}

void TestAppSettings::namesRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("emoji") << QString::fromUtf8("\U0001F600 emoji \U0001F3A5");
    QTest::newRow("emoji only") << QString::fromUtf8("\U0001F3A5");
    QTest::newRow("umlauts") << QString::fromUtf8("B\u00fchne S\u00fcd \u00c4\u00d6\u00dc\u00df");
    QTest::newRow("CJK") << QString::fromUtf8("\u821e\u53f0 \u30ab\u30e1\u30e9");
    QTest::newRow("right-to-left")
        << QString::fromUtf8("\u05d1\u05de\u05d4 \u0645\u0633\u0631\u062d");
    QTest::newRow("INI specials") << QStringLiteral(";#=\"\\[],% x");
    QTest::newRow("mathematical letters") << QString::fromUtf8("\U0001D49E\U0001D4AE 1");
}

// A name written to the file reads back exactly after the program starts
// again (the file is read anew from disk).
void TestAppSettings::namesRoundTrip()
{
    QFETCH(QString, name);
    {
        AppSettings settings;
        settings.setPresetName(kIp, 5, name);
        settings.saveCameraSlots({{0, kIp, name, QStringLiteral("0.0.0.0"), std::nullopt}});
    }
    // A change on disk makes Qt read the file again instead of its cache.
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::Append));
    f.write("; reread\n");
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    if (name.at(0).unicode() > 0x7f)
        QVERIFY2(f.readAll().contains(name.toUtf8()), "stored as UTF-8");
    f.close();

    AppSettings settings;
    QCOMPARE(settings.presetName(kIp, 5), name);
    QList<CameraWrapper *> cams;
    loadCameraList(settings, cams);
    QCOMPARE(cams.size(), 1);
    QCOMPARE(cams[0]->getCameraName(), name);
    qDeleteAll(cams);
}

// A write the file refuses fails the commit and is announced once per run of
// failures; the next successful write ends the run.
void TestAppSettings::failedWriteIsReportedOnce()
{
    AppSettings settings;
    QSignalSpy failed(&settings, &AppSettings::storeFailed);
    settings.setPresetName(kIp, 1, QStringLiteral("One"));
    QVERIFY(settings.commit());

    // settings.ini replaced by a folder: no write can succeed (also as root).
    QVERIFY(QFile::remove(iniPath()));
    QVERIFY(QDir().mkdir(iniPath()));
    settings.setPresetName(kIp, 1, QStringLiteral("Two"));
    QVERIFY(!settings.commit());
    settings.setPresetName(kIp, 2, QStringLiteral("Three"));
    QVERIFY(!settings.commit());
    QTRY_COMPARE(failed.count(), 1); // also after the deferred commits ran
    QVERIFY(failed.at(0).at(0).toString().contains(iniPath()));

    QVERIFY(QDir().rmdir(iniPath()));
    settings.setPresetName(kIp, 3, QStringLiteral("Four"));
    QVERIFY(settings.commit());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("mem1127.0.0.90=Two"));
    f.close();

    QVERIFY(QFile::remove(iniPath()));
    QVERIFY(QDir().mkdir(iniPath()));
    settings.setPresetName(kIp, 3, QStringLiteral("Five"));
    QVERIFY(!settings.commit());
    QCOMPARE(failed.count(), 2);
}

// A settings file that exists but cannot be read: defaults for the session,
// the reason available to tell the operator, and the file left as it is.
void TestAppSettings::unreadableFileIsNeitherUsedNorOverwritten()
{
    QVERIFY(QDir().mkpath(iniPath())); // a folder cannot be read as a file
    AppSettings settings;
    QVERIFY(settings.loadProblem().contains(iniPath()));
    QCOMPARE(settings.fileName(), iniPath());
    QCOMPARE(settings.presetName(kIp, 1), QStringLiteral("1"));
    settings.setPresetName(kIp, 1, QStringLiteral("Kept"));
    QCOMPARE(settings.presetName(kIp, 1), QStringLiteral("Kept"));
    QVERIFY(!settings.commit());
    QVERIFY(QFileInfo(iniPath()).isDir());
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
