// The settings store against settings.ini on disk: key spellings, what files
// of earlier versions load, the camera list with its link keys, and damaged,
// hostile or unwritable files.

#include "appsettings.h"
#include "storagepaths.h"
#include "tempdatahome.h"

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

void writeIni(const QByteArray &text)
{
    QDir().mkpath(Storage::userFolder());
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray iniBytes()
{
    QFile f(iniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The keys of `cameraslist` entry k (1-based) other than the four base keys.
QMap<QString, QString> linkKeysOf(int k)
{
    QSettings raw(iniPath(), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("cameraslist/%1").arg(k));
    QMap<QString, QString> keys;
    const QStringList base{"cameratype", "cameraid", "cameraname", "devicename"};
    for (const QString &key : raw.childKeys()) {
        if (!base.contains(key))
            keys.insert(key, raw.value(key).toString());
    }
    return keys;
}

CameraSlot networkSlot(const QString &id, const QString &name,
                       std::optional<CameraLinkConfig> link = std::nullopt)
{
    return CameraSlot{0, id, name, id, link};
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
    void unchangedValueLeavesTheFileAlone_data();
    void unchangedValueLeavesTheFileAlone();
    void readsFilesWrittenByEarlierVersions();
    void namesRoundTrip_data();
    void namesRoundTrip();
    void tallyGroupRoundTripsAndStaysApart();
    void cameraSlotsRoundTripWithTheirLinkKeys();
    void rewriteKeepsLinkKeysOfSlotWhoseIdStays();
    void damagedCameraList_data();
    void damagedCameraList();
    void malformedFileYieldsDefaultsAndStillSaves();
    void listenPort_data();
    void listenPort();
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
    QVERIFY(QDir(Storage::downloadsFolder()).exists());
    QVERIFY(QFile::exists(iniPath()));
    QCOMPARE(settings.fileName(), iniPath());
    QVERIFY(Storage::userFolder().endsWith(QStringLiteral("/corvanta-controller")));
}

#define READ(call)                                                                                 \
    [](AppSettings &s) {                                                                           \
        return QVariant(s.call);                                                                   \
    }
#define WRITE(call)                                                                                \
    [](AppSettings &s) {                                                                           \
        s.call;                                                                                    \
    }

// The values an absent key reads as: what a first start and every older file
// without the key run on.
void TestAppSettings::defaults_data()
{
    QTest::addColumn<SettingsReader>("read");
    QTest::addColumn<QVariant>("expected");
    auto row = [](const char *name, SettingsReader r, QVariant v) {
        QTest::newRow(name) << r << v;
    };
    row("startuponlaunch", READ(startupOnLaunch()), false);
    row("joystick", READ(isJoystickAvailable()), false);
    row("hotkey", READ(isHotkeyAvailable()), false);
    row("servernic", READ(serverNic()), "0.0.0.0");
    row("serverportnum", READ(serverPortNum()), 8080);
    row("usedarktheme", READ(useDarkTheme()), true);
    row("obsport", READ(obsPort()), 4444);
    row("vmixport", READ(vmixPort()), 8088);
    row("vmixid", READ(vmixId()), "admin");
    row("requireaccesskey", READ(requireAccessKey()), false);
    row("pan_speed", READ(panSpeedIndex(kIp)), 7);
    row("tilt_speed", READ(tiltSpeedIndex(kIp)), 7);
    row("zoom_speed", READ(zoomSpeedIndex(kIp)), 5);
    row("focus_speed", READ(focusSpeedIndex(kIp)), 5);
    row("pantilt_lock", READ(panTiltLocked(kIp)), true);
    row("limit0", READ(cameraLimit(kIp, 0)), 170);
    row("limit2", READ(cameraLimit(kIp, 2)), 30);
    row("limit3", READ(cameraLimit(kIp, 3)), 90);
    row("limit7", READ(cameraLimit(kIp, 7)), 170);
    row("presetName4", READ(presetName(kIp, 4)), "4");
    row("luminance", READ(presetLuminance(kIp, 1)), 7);
    row("contrast", READ(presetContrast(kIp, 1)), 7);
    row("hue", READ(presetHue(kIp, 1)), 7);
    row("boxvisibility", READ(boxVisibility(kIp, 1)), true);
    row("custompresettitle2", READ(customPresetTitle(kIp, 2)), "Custom Preset2");
    row("protectlive", READ(protectLive()), 0);
    row("tally command", READ(tallySlot(1).command), 0);
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
    row("pan_speed", WRITE(setPanSpeedIndex(kIp, 11)), "127.0.0.90_pan_speed", 11);
    row("pantilt_lock", WRITE(setPanTiltLocked(kIp, false)), "127.0.0.90_pantilt_lock", false);
    row("cameralimit", WRITE(setCameraLimit(kIp, 2, 45)), "cameralimit_2_127.0.0.90", 45);
    row("mem3", WRITE(setPresetName(kIp, 3, "Pulpit")), "mem3127.0.0.90", "Pulpit");
    row("aemode", WRITE(setPresetAeMode(kIp, 3, 2)), "127.0.0.90_3_aemode", 2);
    row("shutterspeed", WRITE(setPresetShutterSpeed(kIp, 9, 16)), "127.0.0.90_9_shutterspeed", 16);
    row("iris", WRITE(setPresetIris(kIp, 2, 4)), "127.0.0.90_2_iris", 4);
    row("brightness", WRITE(setPresetBrightness(kIp, 2, 5)), "127.0.0.90_2_brightness", 5);
    row("luminance", WRITE(setPresetLuminance(kIp, 2, 6)), "127.0.0.90_2_luminance", 6);
    row("hue", WRITE(setPresetHue(kIp, 2, 8)), "127.0.0.90_2_hue", 8);
    row("wbmode", WRITE(setPresetWbMode(kIp, 2, 1)), "127.0.0.90_2_wbmode", 1);
    row("contrast", WRITE(setPresetContrast(kIp, 2, 3)), "127.0.0.90_2_contrast", 3);
    row("usedarktheme", WRITE(setUseDarkTheme(false)), "usedarktheme", false);
    row("joystick", WRITE(setJoystickAvailable(true)), "is joystick available", true);
    row("hotkey", WRITE(setHotkeyAvailable(true)), "is hotkey available", true);
    row("selected_joystick", WRITE(setSelectedJoystick(2)), "selected_joystick", 2);
    row("autoreconnect", WRITE(setAutoReconnect(true)), "autoreconnect", true);
    row("requireaccesskey", WRITE(setRequireAccessKey(true)), "requireaccesskey", true);
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
    row("tally slot 1", WRITE(setTallySlot(1, TallySlotSetting{"Cam 1", "", 1, "", "", ""})),
        "tally/1/obs", "Cam 1");
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

void TestAppSettings::unchangedValueLeavesTheFileAlone_data()
{
    keySpellings_data();
    auto row = [](const char *name, SettingsWriter w) {
        QTest::newRow(name) << w << QString() << QVariant();
    };
    row("text with comma", WRITE(setVmixPwd(QStringLiteral("a, b=c"))));
    row("cameraslist", WRITE(saveCameraSlots({networkSlot("127.0.0.5", "Stage"),
                                              {1, "usb-1", "Desk", "Video 1", {}}})));
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
    QVERIFY(f.open(QIODevice::Append));
    f.write("; operator's note\n");
    f.close();
    const QByteArray before = iniBytes();
    {
        AppSettings settings;
        write(settings);
        settings.sync();
    }
    QCOMPARE(iniBytes(), before);
}

#undef READ
#undef WRITE

void TestAppSettings::readsFilesWrittenByEarlierVersions()
{
    writeIni("[General]\n"
             "mem3127.0.0.90=Lobby\n"
             "mem2127.0.0.90=\\x65e5\\x672c\n"
             "mem4127.0.0.90=\\xd83d\\xde00 \\xd83c\\xdfa5\n"
             "is%20joystick%20available=true\n"
             "custompresetpos127.0.0.902=@Point(10 20)\n"
             "snapshotboxcolor_r127.0.0.902=255\n"
             "snapshotboxcolor_g127.0.0.902=128\n"
             "snapshotboxcolor_b127.0.0.902=0\n"
             "cameralimit_0_127.0.0.90=120\n"
             "cameralimit_4_127.0.0.90=12\n"
             "\n"
             "[cameraslist]\n"
             "1\\cameratype=1\n"
             "1\\cameraid=USB Cam\n"
             "1\\cameraname=Desk\n"
             "1\\devicename=USB Video\n"
             "size=1\n");
    AppSettings settings;
    QCOMPARE(settings.presetName(kIp, 3), QStringLiteral("Lobby"));
    QCOMPARE(settings.presetName(kIp, 2), QStringLiteral("\u65e5\u672c"));
    QCOMPARE(settings.presetName(kIp, 4), QString::fromUtf8("\U0001F600 \U0001F3A5"));
    QCOMPARE(settings.isJoystickAvailable(), true);
    QCOMPARE(settings.customPresetPos(kIp, 2), QPoint(10, 20));
    QVERIFY(settings.snapshotBoxColor(kIp, 2) == (BoxColor{255, 0, 128}));
    QCOMPARE(settings.cameraLimit(kIp, 0), 120);
    QCOMPARE(settings.cameraLimit(kIp, 4), 170); // only limits 0-3 are read

    const QList<CameraSlot> slotList = settings.cameraSlots();
    QCOMPARE(slotList.size(), 1);
    QCOMPARE(slotList[0].type, 1);
    QCOMPARE(slotList[0].id, QStringLiteral("USB Cam"));
    QCOMPARE(slotList[0].name, QStringLiteral("Desk"));
    QCOMPARE(slotList[0].deviceName, QStringLiteral("USB Video"));
    QVERIFY(!slotList[0].link);
}

void TestAppSettings::namesRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("emoji") << QString::fromUtf8("\U0001F600 emoji \U0001F3A5");
    QTest::newRow("right-to-left")
        << QString::fromUtf8("\u05d1\u05de\u05d4 \u0645\u0633\u0631\u062d");
    QTest::newRow("INI specials") << QStringLiteral(";#=\"\\[],% x");
}

// A name reads back exactly after the program starts again, and text is
// UTF-8 on disk.
void TestAppSettings::namesRoundTrip()
{
    QFETCH(QString, name);
    {
        AppSettings settings;
        settings.setPresetName(kIp, 5, name);
        settings.saveCameraSlots({networkSlot(kIp, name)});
    }
    // A change on disk makes Qt read the file again instead of its cache.
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::Append));
    f.write("; reread\n");
    f.close();
    if (name.at(0).unicode() > 0x7f)
        QVERIFY2(iniBytes().contains("mem5127.0.0.90=" + name.toUtf8()), "stored as UTF-8");

    AppSettings settings;
    QCOMPARE(settings.presetName(kIp, 5), name);
    QCOMPARE(settings.cameraSlots().value(0).name, name);
}

void TestAppSettings::tallyGroupRoundTripsAndStaysApart()
{
    const TallySlotSetting t{"Cam 2 / close", "3", 2, "81 01 7E 01 0A 00 02 FF", "", ""};
    {
        AppSettings settings;
        settings.setPresetName(kIp, 3, "Lobby");
        settings.setTallySlot(2, t);
        settings.setTallySlot(9, t); // no such slot: not written
        settings.setTallySlot(0, t);
        settings.setProtectLive(2);
    }
    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.childGroups(), QStringList({"tally"}));
    QCOMPARE(raw.value("tally/2/vmix").toString(), QStringLiteral("3"));
    QCOMPARE(raw.value("tally/protectlive").toInt(), 2);
    QVERIFY(!raw.contains("tally/9/obs"));
    QVERIFY(!raw.contains("tally/0/obs"));
    QVERIFY(iniBytes().contains("[tally]\n"));
    QVERIFY(iniBytes().contains("2\\program=81 01 7E 01 0A 00 02 FF\n"));

    AppSettings again;
    const TallySlotSetting read = again.tallySlot(2);
    QCOMPARE(read.obs, t.obs);
    QCOMPARE(read.vmix, t.vmix);
    QCOMPARE(read.command, 2);
    QCOMPARE(read.program, t.program);
    QVERIFY(read.off.isEmpty());
    QVERIFY(again.tallySlot(9).obs.isEmpty());
    QCOMPARE(again.presetName(kIp, 3), QStringLiteral("Lobby"));
}

// Link keys are written only where they differ from the defaults; an entry
// without them is a plain network camera over TCP.
void TestAppSettings::cameraSlotsRoundTripWithTheirLinkKeys()
{
    CameraLinkConfig udp;
    udp.protocol = CameraLinkConfig::Udp;
    udp.port = 52390;
    udp.httpPort = 8081;
    udp.stream1 = QStringLiteral("rtsp://127.0.0.5:8554/main");
    CameraLinkConfig serial;
    serial.protocol = CameraLinkConfig::Serial;
    serial.address = 3;
    serial.baud = 38400;
    serial.stream2 = QStringLiteral("rtsp://127.0.0.6/sub");
    const QList<CameraSlot> saved{networkSlot("127.0.0.4", "A", CameraLinkConfig()),
                                  networkSlot("127.0.0.5", "B", udp),
                                  networkSlot("/dev/ttyUSB0#3", "C", serial),
                                  {1, "usb-1", "Desk", "Video 1", std::nullopt}};
    {
        AppSettings settings;
        settings.saveCameraSlots(saved);
    }
    QCOMPARE(linkKeysOf(1), (QMap<QString, QString>{}));
    QCOMPARE(linkKeysOf(2), (QMap<QString, QString>{{"protocol", "udp"},
                                                    {"port", "52390"},
                                                    {"httpport", "8081"},
                                                    {"stream1", "rtsp://127.0.0.5:8554/main"}}));
    QCOMPARE(linkKeysOf(3), (QMap<QString, QString>{{"protocol", "serial"},
                                                    {"address", "3"},
                                                    {"baud", "38400"},
                                                    {"stream2", "rtsp://127.0.0.6/sub"}}));
    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.value("cameraslist/size").toInt(), 4);
    QCOMPARE(raw.value("cameraslist/4/cameratype").toInt(), 1);

    AppSettings settings;
    const QList<CameraSlot> loaded = settings.cameraSlots();
    QCOMPARE(loaded.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(loaded[i].type, saved[i].type);
        QCOMPARE(loaded[i].id, saved[i].id);
        QCOMPARE(loaded[i].name, saved[i].name);
        QCOMPARE(loaded[i].deviceName, saved[i].deviceName);
        QVERIFY2(loaded[i].link == saved[i].link, qPrintable(saved[i].name));
    }
}

void TestAppSettings::rewriteKeepsLinkKeysOfSlotWhoseIdStays()
{
    writeIni("[cameraslist]\n"
             "1\\cameratype=0\n1\\cameraid=127.0.0.31\n1\\cameraname=One\n"
             "1\\devicename=127.0.0.31\n1\\protocol=udp\n1\\port=52999\n"
             "2\\cameratype=0\n2\\cameraid=/dev/ttyS0\n2\\cameraname=Two\n"
             "2\\devicename=/dev/ttyS0\n2\\protocol=serial\n2\\baud=19200\n"
             "size=2\n");
    {
        // As the web API writes: ids and names only.
        AppSettings settings;
        settings.saveCameraSlots(
            {networkSlot("127.0.0.31", "Renamed"), networkSlot("127.0.0.32", "Two")});
    }
    QCOMPARE(linkKeysOf(1), (QMap<QString, QString>{{"protocol", "udp"}, {"port", "52999"}}));
    QCOMPARE(linkKeysOf(2), (QMap<QString, QString>{}));

    // An explicit link replaces what was stored, defaults removing keys.
    {
        AppSettings settings;
        CameraLinkConfig tcpOnPort;
        tcpOnPort.port = 5679;
        settings.saveCameraSlots({networkSlot("127.0.0.31", "Renamed", tcpOnPort)});
    }
    QCOMPARE(linkKeysOf(1), (QMap<QString, QString>{{"port", "5679"}}));
    QVERIFY(!QSettings(iniPath(), QSettings::IniFormat).contains("cameraslist/2/cameraid"));
}

void TestAppSettings::damagedCameraList_data()
{
    QTest::addColumn<QByteArray>("entries"); // [cameraslist] lines; size=1 unless given
    QTest::addColumn<QString>("warning");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("firstId");
    QByteArray ten = "size=1000000000\n";
    for (int i = 1; i <= 10; ++i)
        ten += QByteArray::number(i) + "\\cameraid=127.0.0." + QByteArray::number(i) + "\n";
    // A damaged or hostile size costs no more than the eight slots in use.
    QTest::newRow("hostile size") << ten << "reading the first 8" << 8 << "127.0.0.1";
    QTest::newRow("unknown type") << QByteArray("1\\cameratype=7\n1\\cameraid=127.0.0.9\n")
                                  << "unknown cameratype 7" << 1 << "127.0.0.9";
    QTest::newRow("protocol") << QByteArray("1\\protocol=carrier-pigeon\n") << "unusable" << 1
                              << "0.0.0.0";
    QTest::newRow("port too large")
        << QByteArray("1\\port=70000\n") << "unusable" << 1 << "0.0.0.0";
    QTest::newRow("port text") << QByteArray("1\\port=fast\n") << "unusable" << 1 << "0.0.0.0";
    QTest::newRow("port zero") << QByteArray("1\\port=0\n") << "unusable" << 1 << "0.0.0.0";
    QTest::newRow("httpport") << QByteArray("1\\httpport=-80\n") << "unusable" << 1 << "0.0.0.0";
    QTest::newRow("address") << QByteArray("1\\address=9\n") << "unusable" << 1 << "0.0.0.0";
    QTest::newRow("baud") << QByteArray("1\\baud=1234\n") << "unusable" << 1 << "0.0.0.0";
}

// A damaged entry reads as a network camera on the default link, with a
// warning; what is read can be saved back whole.
void TestAppSettings::damagedCameraList()
{
    QFETCH(QByteArray, entries);
    QFETCH(QString, warning);
    QFETCH(int, count);
    QFETCH(QString, firstId);
    writeIni("[cameraslist]\n" + entries + (entries.contains("size=") ? "" : "size=1\n"));
    AppSettings settings;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    const QList<CameraSlot> read = settings.cameraSlots();
    QCOMPARE(read.size(), count);
    QCOMPARE(read[0].type, 0);
    QCOMPARE(read[0].id, firstId);
    QCOMPARE(read[0].name, QStringLiteral("Camera1"));
    QCOMPARE(read[0].deviceName, QStringLiteral("0.0.0.0"));
    QVERIFY(read[0].link == CameraLinkConfig());
    QCOMPARE(read.last().id, count == 8 ? QStringLiteral("127.0.0.8") : firstId);

    // Saved back, the list replaces the stored one whole.
    settings.saveCameraSlots(read);
    settings.sync();
    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.value("cameraslist/size").toInt(), count);
    QVERIFY(!raw.contains(QStringLiteral("cameraslist/%1/cameraid").arg(count + 1)));
}

void TestAppSettings::malformedFileYieldsDefaultsAndStillSaves()
{
    writeIni(
        "serverportnum=abc\nsnapshotboxcolor_r127.0.0.11=9000\n\x01\x02garbage\n[[[\nvmixid=x\n");
    AppSettings settings;
    QCOMPARE(settings.serverPortNum(), 0);
    QCOMPARE(settings.vmixId(), QStringLiteral("admin"));
    QCOMPARE(settings.snapshotBoxColor(QStringLiteral("127.0.0.1"), 1).red, 255);
    // Unreadable lines do not stop the operator's next change reaching disk.
    settings.setPresetName(kIp, 1, QStringLiteral("Saved"));
    QVERIFY(settings.commit());
    QVERIFY(iniBytes().contains("mem1127.0.0.90=Saved"));
}

void TestAppSettings::listenPort_data()
{
    QTest::addColumn<QByteArray>("stored"); // the file's text; null: no key
    QTest::addColumn<int>("port");          // 0: not a port to listen on
    QTest::newRow("absent") << QByteArray() << 8080;
    QTest::newRow("1") << QByteArray("1") << 1;
    QTest::newRow("65535") << QByteArray("65535") << 65535;
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("65536") << QByteArray("65536") << 0;
    QTest::newRow("negative") << QByteArray("-1") << 0;
    QTest::newRow("text") << QByteArray("abc") << 0;
    QTest::newRow("fraction") << QByteArray("18108.7") << 0;
    QTest::newRow("overflow") << QByteArray("99999999999999999999999") << 0;
}

void TestAppSettings::listenPort()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, port);
    writeIni(stored.isNull() ? QByteArray() : "[General]\nserverportnum=" + stored + "\n");
    AppSettings settings;
    QCOMPARE(int(settings.serverListenPort().value_or(0)), port);
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
    QVERIFY(iniBytes().contains("mem1127.0.0.90=Two"));

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
    QCOMPARE(settings.presetName(kIp, 1), QStringLiteral("1"));
    settings.setPresetName(kIp, 1, QStringLiteral("Kept"));
    QCOMPARE(settings.presetName(kIp, 1), QStringLiteral("Kept"));
    QVERIFY(!settings.commit());
    QVERIFY(QFileInfo(iniPath()).isDir());
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
