// VISCA wire format: the bytes every camera operation writes (through a real
// IPCamera to a raw loopback peer), the reply assembler on awkward chunkings,
// and the reply parser per inquiry kind.

#include "ipcamera.h"
#include "visca.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

using CameraCall = std::function<void(CameraWrapper &)>;
using StatusChange = std::function<void(CameraStatus &)>;
using Chunks = QList<QByteArray>;
Q_DECLARE_METATYPE(CameraCall)
Q_DECLARE_METATYPE(StatusChange)

namespace {

constexpr int kWait = 5000;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray dump(const CameraStatus &s)
{
    QByteArray out(reinterpret_cast<const char *>(s.panTiltPos), 8);
    out += QByteArray(reinterpret_cast<const char *>(s.zoomPos), 4);
    out += QByteArray(reinterpret_cast<const char *>(s.focusPos), 4);
    for (int v : {int(s.autoFocus), int(s.iris), int(s.shutter), int(s.bright), int(s.aeMode),
                  int(s.luminance), int(s.contrast), int(s.hue), int(s.wbMode)})
        out += char(v);
    return out.toHex(' ');
}

// A status with every field set to a recognisable value.
CameraStatus seeded()
{
    CameraStatus s;
    for (int i = 0; i < 8; ++i)
        s.panTiltPos[i] = uint8_t(0xA0 + i);
    for (int i = 0; i < 4; ++i) {
        s.zoomPos[i] = uint8_t(0xB0 + i);
        s.focusPos[i] = uint8_t(0xC0 + i);
    }
    s.autoFocus = true;
    s.iris = 0x41;
    s.shutter = 0x42;
    s.bright = 0x43;
    s.aeMode = 0x44;
    s.luminance = 0x45;
    s.contrast = 0x46;
    s.hue = 0x47;
    s.wbMode = 0x48;
    return s;
}

} // namespace

class TestVisca : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void commandBytes_data();
    void commandBytes();
    void inquiryBytes_data();
    void inquiryBytes();

    void assembler_data();
    void assembler();
    void assemblerByteByByte();

    void parser_data();
    void parser();

private:
    QTcpServer m_server;
    std::unique_ptr<IPCamera> m_cam;
    QTcpSocket *m_peer = nullptr;
};

void TestVisca::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.camera.debug=false"));
    QVERIFY(m_server.listen(QHostAddress::LocalHost, 0));
    m_cam = std::make_unique<IPCamera>(QStringLiteral("127.0.0.1"), QStringLiteral("c"),
                                       QStringLiteral("d"));
    m_cam->setViscaPort(m_server.serverPort());
    m_cam->setHttpPort(m_server.serverPort()); // the HTTP request goes unanswered
    m_cam->setPollInterval(1000000);
    m_cam->setInquiryTimeout(1000000);
    QSignalSpy connected(m_cam.get(), &CameraWrapper::clientConnected);
    m_cam->connectCamera();
    QVERIFY(connected.count() == 1 || connected.wait(kWait));
    QVERIFY(m_server.hasPendingConnections() || m_server.waitForNewConnection(kWait));
    m_peer = m_server.nextPendingConnection();
    QVERIFY(m_peer);
}

void TestVisca::cleanupTestCase()
{
    m_cam.reset();
}

void TestVisca::commandBytes_data()
{
    QTest::addColumn<CameraCall>("call");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *name, CameraCall call, const char *bytes) {
        QTest::newRow(name) << call << hex(bytes);
    };
    row(
        "moveUp", [](CameraWrapper &c) { c.moveUp(0, 7); }, "8101060100070301ff");
    row(
        "moveDown", [](CameraWrapper &c) { c.moveDown(3, 20); }, "8101060103140302ff");
    row(
        "moveLeft", [](CameraWrapper &c) { c.moveLeft(24, 0); }, "8101060118000103ff");
    row(
        "moveRight", [](CameraWrapper &c) { c.moveRight(1, 0); }, "8101060101000203ff");
    row(
        "moveUpLeft", [](CameraWrapper &c) { c.moveUpLeft(5, 6); }, "8101060105060101ff");
    row(
        "moveUpRight", [](CameraWrapper &c) { c.moveUpRight(5, 6); }, "8101060105060201ff");
    row(
        "moveDownLeft", [](CameraWrapper &c) { c.moveDownLeft(5, 6); }, "8101060105060102ff");
    row(
        "moveDownRight", [](CameraWrapper &c) { c.moveDownRight(5, 6); }, "8101060105060202ff");
    row(
        "moveStop zero", [](CameraWrapper &c) { c.moveStop(0, 0); }, "8101060100000303ff");
    row(
        "moveStop speeds", [](CameraWrapper &c) { c.moveStop(9, 4); }, "8101060109040303ff");
    row(
        "speed mod 255", [](CameraWrapper &c) { c.moveUp(256, 255); }, "8101060101000301ff");
    row(
        "moveHome", [](CameraWrapper &c) { c.moveHome(); }, "81010604ff");
    row(
        "zoomIn 1", [](CameraWrapper &c) { c.zoomIn(1); }, "8101040721ff");
    row(
        "zoomIn 7", [](CameraWrapper &c) { c.zoomIn(7); }, "8101040727ff");
    row(
        "zoomOut 7", [](CameraWrapper &c) { c.zoomOut(7); }, "8101040737ff");
    row(
        "zoomStop", [](CameraWrapper &c) { c.zoomStop(); }, "8101040700ff");
    row(
        "focusIn 5", [](CameraWrapper &c) { c.focusIn(5); }, "8101040835ff");
    row(
        "focusOut 5", [](CameraWrapper &c) { c.focusOut(5); }, "8101040825ff");
    row(
        "focusStop", [](CameraWrapper &c) { c.focusStop(); }, "8101040800ff");
    row(
        "autoFocus on", [](CameraWrapper &c) { c.setAutoFocus(true); }, "8101043802ff");
    row(
        "autoFocus off", [](CameraWrapper &c) { c.setAutoFocus(false); }, "8101043803ff");
    row(
        "setPreset 5", [](CameraWrapper &c) { c.setPreset(5); }, "8101043f0105ff");
    row(
        "setPreset 101", [](CameraWrapper &c) { c.setPreset(101); }, "8101043f0165ff");
    row(
        "setPreset 255", [](CameraWrapper &c) { c.setPreset(255); }, "8101043f0100ff");
    row(
        "callPreset 254", [](CameraWrapper &c) { c.callPreset(254); }, "8101043f02feff");
    row(
        "clearPreset 9", [](CameraWrapper &c) { c.clearPreset(9); }, "8101043f0009ff");
    row(
        "presetSpeed 0", [](CameraWrapper &c) { c.setPresetSpeed(0); }, "8101060101ff");
    row(
        "presetSpeed 23", [](CameraWrapper &c) { c.setPresetSpeed(23); }, "8101060118ff");
    row(
        "presetSpeed 24", [](CameraWrapper &c) { c.setPresetSpeed(24); }, "8101060101ff");
    row(
        "setIris 0", [](CameraWrapper &c) { c.setIris(0); }, "8101044b00000000ff");
    row(
        "setIris 12", [](CameraWrapper &c) { c.setIris(12); }, "8101044b0000000cff");
    row(
        "setShutter 0", [](CameraWrapper &c) { c.setShutter(0); }, "8101044a00000001ff");
    row(
        "setShutter 16", [](CameraWrapper &c) { c.setShutter(16); }, "8101044a00000101ff");
    row(
        "setBright 17", [](CameraWrapper &c) { c.setBright(17); }, "8101044d00000101ff");
    row(
        "setBright 9", [](CameraWrapper &c) { c.setBright(9); }, "8101044d00000009ff");
    row(
        "brightUp", [](CameraWrapper &c) { c.brightUp(); }, "8101040d02ff");
    row(
        "brightDown", [](CameraWrapper &c) { c.brightDown(); }, "8101040d03ff");
    row(
        "aeMode 0", [](CameraWrapper &c) { c.setAeMode(0); }, "8101043900ff");
    row(
        "aeMode 1", [](CameraWrapper &c) { c.setAeMode(1); }, "8101043903ff");
    row(
        "aeMode 2", [](CameraWrapper &c) { c.setAeMode(2); }, "810104390aff");
    row(
        "aeMode 3", [](CameraWrapper &c) { c.setAeMode(3); }, "810104390bff");
    row(
        "aeMode 4", [](CameraWrapper &c) { c.setAeMode(4); }, "810104390dff");
    row(
        "aeMode 7", [](CameraWrapper &c) { c.setAeMode(7); }, "8101043900ff");
    row(
        "wbMode 0", [](CameraWrapper &c) { c.setWBMode(0); }, "8101043500ff");
    row(
        "wbMode 3", [](CameraWrapper &c) { c.setWBMode(3); }, "8101043503ff");
    row(
        "wbMode 4", [](CameraWrapper &c) { c.setWBMode(4); }, "8101043505ff");
    row(
        "wbMode 5", [](CameraWrapper &c) { c.setWBMode(5); }, "8101043510ff");
    row(
        "luminance", [](CameraWrapper &c) { c.setLuminance(0x1C); }, "810104a10000001cff");
    row(
        "luminance low 8 bits", [](CameraWrapper &c) { c.setLuminance(0x123); },
        "810104a100000023ff");
    row(
        "contrast", [](CameraWrapper &c) { c.setContrast(14); }, "810104a20000000eff");
    row(
        "hue", [](CameraWrapper &c) { c.setHue(7); }, "8101044f00000007ff");
    row(
        "onePush", [](CameraWrapper &c) { c.onePushTrigger(); }, "8101041005ff");
    row(
        "osdMenu", [](CameraWrapper &c) { c.osdMenu(); }, "8101043f025fff");
    row(
        "osdEnter", [](CameraWrapper &c) { c.osdEnter(); }, "8101060605ff");
    row(
        "osdBack", [](CameraWrapper &c) { c.osdBack(); }, "8101060604ff");
    row(
        "flip on", [](CameraWrapper &c) { c.setImageFlip(true); }, "8101046602ff");
    row(
        "flip off", [](CameraWrapper &c) { c.setImageFlip(false); }, "8101046603ff");
    row(
        "mirror on", [](CameraWrapper &c) { c.setImageMirror(true); }, "8101046102ff");
    row(
        "mirror off", [](CameraWrapper &c) { c.setImageMirror(false); }, "8101046103ff");
    row(
        "motionSync on", [](CameraWrapper &c) { c.setMotionSync(true); }, "810a111302ff");
    row(
        "motionSync off", [](CameraWrapper &c) { c.setMotionSync(false); }, "810a111303ff");
    row(
        "focusLock on", [](CameraWrapper &c) { c.setFocusLock(true); }, "810a046802ff");
    row(
        "focusLock off", [](CameraWrapper &c) { c.setFocusLock(false); }, "810a046803ff");
    row(
        "upRightLimit", [](CameraWrapper &c) { c.setUpRightLimit(0x0120, 0xF670); },
        "8101060700010f06070000010200ff");
    row(
        "downLeftLimit", [](CameraWrapper &c) { c.setDownLeftLimit(0xFE50, 0x0990); },
        "810106070000000909000f0e0500ff");
    row(
        "limit low 16 bits", [](CameraWrapper &c) { c.setDownLeftLimit(-1, 0x1ABCD); },
        "8101060700000a0b0c0d0f0f0f0fff");
}

void TestVisca::commandBytes()
{
    QFETCH(CameraCall, call);
    QFETCH(QByteArray, bytes);
    const int kindBefore = m_cam->currentKind();
    call(*m_cam);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->bytesAvailable() >= bytes.size(), kWait);
    QCOMPARE(m_peer->readAll().toHex(' '), bytes.toHex(' '));
    QCOMPARE(m_cam->queuedInquiries(), 0); // commands never queue
    QCOMPARE(m_cam->currentKind(), kindBefore);
}

void TestVisca::inquiryBytes_data()
{
    QTest::addColumn<CameraCall>("call");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    auto row = [](const char *name, CameraCall call, const char *bytes, int kind) {
        QTest::newRow(name) << call << hex(bytes) << kind;
    };
    row(
        "zoom", [](CameraWrapper &c) { c.queryZoomPos(); }, "81090447ff", 3);
    row(
        "focus", [](CameraWrapper &c) { c.queryFocusPos(); }, "81090448ff", 4);
    row(
        "focusMode", [](CameraWrapper &c) { c.queryFocusMode(); }, "81090438ff", 5);
    row(
        "shutter", [](CameraWrapper &c) { c.queryShutter(); }, "8109044aff", 6);
    row(
        "iris", [](CameraWrapper &c) { c.queryIris(); }, "8109044bff", 7);
    row(
        "bright", [](CameraWrapper &c) { c.queryBright(); }, "8109044dff", 8);
    row(
        "panTilt", [](CameraWrapper &c) { c.queryPanTiltPos(); }, "81090612ff", 9);
    row(
        "luminance", [](CameraWrapper &c) { c.queryLuminance(); }, "810904a1ff", 10);
    row(
        "contrast", [](CameraWrapper &c) { c.queryContrast(); }, "810904a2ff", 11);
    row(
        "hue", [](CameraWrapper &c) { c.queryHue(); }, "8109044fff", 12);
    row(
        "aeMode", [](CameraWrapper &c) { c.queryAeMode(); }, "81090439ff", 13);
    row(
        "wbMode", [](CameraWrapper &c) { c.queryWBMode(); }, "81090435ff", 14);
}

void TestVisca::inquiryBytes()
{
    QFETCH(CameraCall, call);
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QCOMPARE(Visca::inquiry(kind), bytes);
    call(*m_cam);
    QCOMPARE(m_cam->queuedInquiries(), 1);
    QCOMPARE(m_cam->currentKind(), kind);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->bytesAvailable() >= bytes.size(), kWait);
    QCOMPARE(m_peer->readAll().toHex(' '), bytes.toHex(' '));
    // An error reply releases the queue for the next row.
    m_peer->write(hex("906002ff"));
    QTRY_COMPARE_WITH_TIMEOUT(m_cam->queuedInquiries(), 0, kWait);
}

void TestVisca::assembler_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Chunks>("frames");
    QByteArray full32 = hex("9050") + QByteArray(29, '\x01') + hex("ff");
    QByteArray over32 = hex("9050") + QByteArray(30, '\x01') + hex("ff");
    QTest::newRow("one frame") << Chunks{hex("905002ff")} << Chunks{hex("905002ff")};
    QTest::newRow("ack and completion")
        << Chunks{hex("9041ff9051ff")} << Chunks{hex("9041ff"), hex("9051ff")};
    QTest::newRow("split frame") << Chunks{hex("905000"), hex("000aff")}
                                 << Chunks{hex("905000000aff")};
    QTest::newRow("ff followed by data") << Chunks{hex("9050ff00ff")} << Chunks{hex("9050ff00ff")};
    QTest::newRow("leading bytes skipped")
        << Chunks{hex("00129050 03ff")} << Chunks{hex("905003ff")};
    QTest::newRow("error reply") << Chunks{hex("906002ff")} << Chunks{hex("906002ff")};
    QTest::newRow("ff ends chunk, next chunk garbage")
        << Chunks{hex("9041ff"), hex("0012"), hex("9051ff")}
        << Chunks{hex("9041ff"), hex("9051ff")};
    QTest::newRow("garbage after ff is data")
        << Chunks{hex("9041ff00129051ff")} << Chunks{hex("9041ff00129051ff")};
    QTest::newRow("ff split from next 90")
        << Chunks{hex("9041ff"), hex("9051ff")} << Chunks{hex("9041ff"), hex("9051ff")};
    QTest::newRow("ff inside, chunk ends mid-frame")
        << Chunks{hex("9050ff01"), hex("02ff")} << Chunks{hex("9050ff0102ff")};
    QTest::newRow("32 bytes kept") << Chunks{full32} << Chunks{full32};
    QTest::newRow("33 bytes dropped") << Chunks{over32} << Chunks{};
    QTest::newRow("overflow byte lost, then recovers")
        << Chunks{hex("9050") + QByteArray(40, '\x02') + hex("ff9051ff")} << Chunks{hex("9051ff")};
    QTest::newRow("nothing but garbage") << Chunks{hex("00ff12ff")} << Chunks{};
    QTest::newRow("90 inside frame is data")
        << Chunks{hex("90509090ff")} << Chunks{hex("90509090ff")};
    QTest::newRow("empty chunk") << Chunks{QByteArray(), hex("9041ff")} << Chunks{hex("9041ff")};
    QTest::newRow("90 ff") << Chunks{hex("90ff")} << Chunks{hex("90ff")};
}

void TestVisca::assembler()
{
    QFETCH(Chunks, chunks);
    QFETCH(Chunks, frames);
    Visca::ReplyAssembler a;
    QVector<QByteArray> got;
    for (const QByteArray &c : chunks)
        a.feed(c.constData(), c.size(), got);
    QCOMPARE(Chunks(got.begin(), got.end()), frames);
}

void TestVisca::assemblerByteByByte()
{
    // Every byte a chunk of its own: each 0xFF is the last byte of its chunk
    // and therefore closes the frame.
    Visca::ReplyAssembler a;
    QVector<QByteArray> got;
    const QByteArray stream = hex("9050ff00ff");
    for (char c : stream)
        a.feed(&c, 1, got);
    QCOMPARE(Chunks(got.begin(), got.end()), (Chunks{hex("9050ff")}));
    QVERIFY(!a.frameOpen());
}

void TestVisca::parser_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("error");
    QTest::addColumn<bool>("advance");
    QTest::addColumn<bool>("cycle");
    QTest::addColumn<StatusChange>("change");
    const StatusChange none = [](CameraStatus &) {
    };
    auto row = [](const char *name, int kind, const char *frame, bool error, bool advance,
                  bool cycle, StatusChange change) {
        QTest::newRow(name) << kind << hex(frame) << error << advance << cycle << change;
    };
    row("focus mode auto", 5, "905002ff", false, true, false,
        [](CameraStatus &s) { s.autoFocus = true; });
    row("focus mode manual", 5, "905003ff", false, true, false,
        [](CameraStatus &s) { s.autoFocus = false; });
    row("ack stores nothing", 5, "9041ff", false, false, false, none);
    row("completion stores nothing", 14, "9051ff", false, false, false, none);
    row("error reply", 9, "906002ff", true, true, false, none);
    row("error 61", 3, "906141ff", true, true, false, none);
    row("zoom", 3, "9050010203 04ff", false, true, false, [](CameraStatus &s) {
        s.zoomPos[0] = 1, s.zoomPos[1] = 2, s.zoomPos[2] = 3, s.zoomPos[3] = 4;
    });
    row("zoom too short", 3, "90500102ff", false, true, false, none);
    row("focus", 4, "90500f0e0d0cff", false, true, false, [](CameraStatus &s) {
        s.focusPos[0] = 0xF, s.focusPos[1] = 0xE, s.focusPos[2] = 0xD, s.focusPos[3] = 0xC;
    });
    row("shutter 4 bytes", 6, "905011ff", false, true, false,
        [](CameraStatus &s) { s.shutter = 0x11; });
    row("shutter 7 bytes", 6, "905000000101ff", false, true, false,
        [](CameraStatus &s) { s.shutter = 17; });
    row("shutter 5 bytes", 6, "90500101ff", false, true, false, none);
    row("iris 7 bytes", 7, "905000000a0cff", false, true, false,
        [](CameraStatus &s) { s.iris = 0xAC; });
    row("iris 7 bytes wraps", 7, "905000001f0fff", false, true, false,
        [](CameraStatus &s) { s.iris = uint8_t(0x1F * 16 + 0x0F); });
    row("bright any length", 8, "90500c0000ff", false, true, false,
        [](CameraStatus &s) { s.bright = 0x0C; });
    row("pan tilt", 9, "90500f0f0f00 00010203ff", false, true, false, [](CameraStatus &s) {
        const uint8_t v[8] = {0xF, 0xF, 0xF, 0, 0, 1, 2, 3};
        memcpy(s.panTiltPos, v, 8);
    });
    row("pan tilt too short", 9, "90500f0f0f00ff", false, true, false, none);
    row("luminance 4 bytes", 10, "905009ff", false, true, false,
        [](CameraStatus &s) { s.luminance = 9; });
    row("luminance 7 bytes", 10, "90500000011cff", false, true, false,
        [](CameraStatus &s) { s.luminance = 0x1C; });
    row("contrast 7 bytes", 11, "9050000000 0eff", false, true, false,
        [](CameraStatus &s) { s.contrast = 0x0E; });
    row("hue 6 bytes", 12, "9050000007ff", false, true, false, none);
    row("hue 4 bytes", 12, "905007ff", false, true, false, [](CameraStatus &s) { s.hue = 7; });
    row("ae mode", 13, "90500dff", false, true, false, [](CameraStatus &s) { s.aeMode = 0x0D; });
    row("wb mode ends cycle", 14, "905005ff", false, true, true,
        [](CameraStatus &s) { s.wbMode = 5; });
    row("no inquiry yet", 0, "905002ff", false, false, false, none);
    row("kind out of range", 15, "905002ff", false, false, false, none);
    row("two-byte frame", 5, "90ff", false, true, false, none);
}

void TestVisca::parser()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, frame);
    QFETCH(bool, error);
    QFETCH(bool, advance);
    QFETCH(bool, cycle);
    QFETCH(StatusChange, change);
    CameraStatus status = seeded();
    CameraStatus expected = seeded();
    change(expected);
    const Visca::ReplyEffect effect = Visca::parseReply(frame, kind, status);
    QCOMPARE(effect.error, error);
    QCOMPARE(effect.advanceQueue, advance);
    QCOMPARE(effect.readOneCycle, cycle);
    QCOMPARE(effect.statusUpdated, !error);
    QCOMPARE(dump(status), dump(expected));
}

QTEST_GUILESS_MAIN(TestVisca)
#include "tst_visca.moc"
