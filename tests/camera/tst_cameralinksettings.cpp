// The link keys of `cameraslist` entries (protocol, port, httpport, address,
// baud, stream1, stream2): what is written, what loads, what a rewrite keeps,
// and that files without them load and save exactly as before.

#include "appsettings.h"
#include "cameralist.h"
#include "ipcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QFile>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

QString iniPath()
{
    return Storage::userFolder() + QStringLiteral("/settings.ini");
}

QByteArray fileBytes()
{
    QFile f(iniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QByteArray &text)
{
    QFile f(iniPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// Every key of cameraslist entry k (1-based) other than the four base keys.
QMap<QString, QString> linkKeysOf(int k)
{
    QSettings raw(iniPath(), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("cameraslist/%1").arg(k));
    QMap<QString, QString> keys;
    for (const QString &key : raw.childKeys()) {
        if (key != QLatin1String("cameratype") && key != QLatin1String("cameraid") &&
            key != QLatin1String("cameraname") && key != QLatin1String("devicename"))
            keys.insert(key, raw.value(key).toString());
    }
    return keys;
}

CameraLinkConfig linkOf(CameraWrapper *camera)
{
    auto *ip = qobject_cast<IPCamera *>(camera);
    return ip ? ip->linkConfig() : CameraLinkConfig();
}

} // namespace

class TestCameraLinkSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void linkKeysRoundTrip();
    void fileWithoutLinkKeysLoadsAndSavesAsBefore();
    void rewriteKeepsKeysOfSlotWhoseIdStays();
    void unusableValuesLoadAsDefaults_data();
    void unusableValuesLoadAsDefaults();

private:
    std::unique_ptr<TempDataHome> m_home;
};

void TestCameraLinkSettings::init()
{
    m_home = std::make_unique<TempDataHome>();
    QVERIFY(m_home->isValid());
}

void TestCameraLinkSettings::cleanup()
{
    m_home.reset();
}

void TestCameraLinkSettings::linkKeysRoundTrip()
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

    IPCamera tcp(QStringLiteral("127.0.0.4"), QStringLiteral("A"), QStringLiteral("127.0.0.4"));
    IPCamera onUdp(QStringLiteral("127.0.0.5"), QStringLiteral("B"), QStringLiteral("127.0.0.5"));
    onUdp.setLinkConfig(udp);
    IPCamera onSerial(QStringLiteral("/dev/ttyUSB0#3"), QStringLiteral("C"),
                      QStringLiteral("/dev/ttyUSB0#3"));
    onSerial.setLinkConfig(serial);
    {
        AppSettings settings;
        saveCameraList(settings, {&tcp, &onUdp, &onSerial});
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

    AppSettings settings;
    QList<CameraWrapper *> loaded;
    loadCameraList(settings, loaded);
    QCOMPARE(loaded.size(), 3);
    QVERIFY(linkOf(loaded[0]) == CameraLinkConfig());
    QVERIFY(linkOf(loaded[1]) == udp);
    QVERIFY(linkOf(loaded[2]) == serial);
    QCOMPARE(loaded[2]->getCameraId(), QStringLiteral("/dev/ttyUSB0#3"));
    QCOMPARE(loaded[1]->streamAddress(1), udp.stream1);
    QCOMPARE(loaded[1]->streamAddress(2), QStringLiteral("rtsp://127.0.0.5/2"));
    QCOMPARE(loaded[2]->streamAddress(1), QString()); // a serial camera has no default stream
    qDeleteAll(loaded);
}

void TestCameraLinkSettings::fileWithoutLinkKeysLoadsAndSavesAsBefore()
{
    const QByteArray old = "[cameraslist]\n"
                           "1\\cameratype=0\n"
                           "1\\cameraid=127.0.0.21\n"
                           "1\\cameraname=Stage\n"
                           "1\\devicename=127.0.0.21\n"
                           "size=1\n";
    {
        AppSettings settings; // the folder
    }
    writeFile(old);
    QList<CameraWrapper *> cams;
    {
        AppSettings settings;
        loadCameraList(settings, cams);
        QCOMPARE(cams.size(), 1);
        auto *ip = qobject_cast<IPCamera *>(cams[0]);
        QVERIFY(ip);
        QVERIFY(ip->linkConfig() == CameraLinkConfig());
        QCOMPARE(ip->viscaPort(), quint16(5678));
        QCOMPARE(ip->httpPort(), quint16(80));
        QVERIFY(qobject_cast<TcpViscaLink *>(ip->transport()));
        QCOMPARE(cams[0]->streamAddress(1), QStringLiteral("rtsp://127.0.0.21/1"));
        saveCameraList(settings, cams);
    }
    QCOMPARE(fileBytes(), old);
    qDeleteAll(cams);
}

void TestCameraLinkSettings::rewriteKeepsKeysOfSlotWhoseIdStays()
{
    {
        AppSettings settings;
    }
    writeFile("[cameraslist]\n"
              "1\\cameratype=0\n"
              "1\\cameraid=127.0.0.31\n"
              "1\\cameraname=One\n"
              "1\\devicename=127.0.0.31\n"
              "1\\protocol=udp\n"
              "1\\port=52999\n"
              "1\\stream1=rtsp://127.0.0.31/live\n"
              "2\\cameratype=0\n"
              "2\\cameraid=/dev/ttyS0\n"
              "2\\cameraname=Two\n"
              "2\\devicename=/dev/ttyS0\n"
              "2\\protocol=serial\n"
              "2\\baud=19200\n"
              "size=2\n");
    {
        // As the web API writes: ids and names only.
        AppSettings settings;
        settings.saveCameraSlots(
            {CameraSlot{0, QStringLiteral("127.0.0.31"), QStringLiteral("Renamed"),
                        QStringLiteral("127.0.0.31"), std::nullopt},
             CameraSlot{0, QStringLiteral("127.0.0.32"), QStringLiteral("Two"),
                        QStringLiteral("127.0.0.32"), std::nullopt}});
    }
    QCOMPARE(linkKeysOf(1),
             (QMap<QString, QString>{
                 {"protocol", "udp"}, {"port", "52999"}, {"stream1", "rtsp://127.0.0.31/live"}}));
    QCOMPARE(linkKeysOf(2), (QMap<QString, QString>{}));

    // An explicit link replaces what was stored, defaults removing keys.
    {
        AppSettings settings;
        CameraLinkConfig tcpOnPort;
        tcpOnPort.port = 5679;
        settings.saveCameraSlots(
            {CameraSlot{0, QStringLiteral("127.0.0.31"), QStringLiteral("Renamed"),
                        QStringLiteral("127.0.0.31"), tcpOnPort}});
    }
    QCOMPARE(linkKeysOf(1), (QMap<QString, QString>{{"port", "5679"}}));
}

void TestCameraLinkSettings::unusableValuesLoadAsDefaults_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("protocol") << QByteArray("protocol=carrier-pigeon");
    QTest::newRow("port too large") << QByteArray("port=70000");
    QTest::newRow("port text") << QByteArray("port=fast");
    QTest::newRow("port zero") << QByteArray("port=0");
    QTest::newRow("address") << QByteArray("address=9");
    QTest::newRow("baud") << QByteArray("baud=1234");
}

void TestCameraLinkSettings::unusableValuesLoadAsDefaults()
{
    QFETCH(QByteArray, line);
    {
        AppSettings settings;
    }
    writeFile("[cameraslist]\n1\\cameraid=127.0.0.41\n1\\" + line + "\nsize=1\n");
    AppSettings settings;
    QList<CameraWrapper *> cams;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unusable"));
    loadCameraList(settings, cams);
    QCOMPARE(cams.size(), 1);
    QVERIFY(linkOf(cams[0]) == CameraLinkConfig());
    qDeleteAll(cams);
}

QTEST_GUILESS_MAIN(TestCameraLinkSettings)
#include "tst_cameralinksettings.moc"
