// VISCA wire format: the bytes every camera operation writes (through a real
// IPCamera to a raw loopback peer), the reply assembler on awkward chunkings,
// and the reply parser per inquiry kind.

#include "ipcamera.h"
#include "visca.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using CameraCall = std::function<void(CameraWrapper &)>;
using C = CameraWrapper &;
using Chunks = QList<QByteArray>;
Q_DECLARE_METATYPE(CameraCall)

namespace {

constexpr int kWait = 5000;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// CameraStatus holds bytes only: its raw bytes are its value.
QByteArray dump(const CameraStatus &s)
{
    return QByteArray(reinterpret_cast<const char *>(&s), sizeof s);
}

// A status with every field set to a recognisable value.
CameraStatus seeded()
{
    CameraStatus s;
    for (size_t i = 0; i < sizeof s; ++i)
        reinterpret_cast<uint8_t *>(&s)[i] = uint8_t(0xA0 + i);
    s.autoFocus = true;
    return s;
}

} // namespace

class TestVisca : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
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

    void commandBytes_data()
    {
        QTest::addColumn<CameraCall>("call");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        auto row = [](const char *name, const char *bytes, CameraCall call, int kind = 0) {
            QTest::newRow(name) << call << hex(bytes) << kind;
        };
        auto inq = [&](int kind, const char *bytes, CameraCall call) {
            row(bytes, bytes, call, kind);
        };
        inq(3, "81090447ff", [](C c) { c.queryZoomPos(); });
        inq(4, "81090448ff", [](C c) { c.queryFocusPos(); });
        inq(5, "81090438ff", [](C c) { c.queryFocusMode(); });
        inq(6, "8109044aff", [](C c) { c.queryShutter(); });
        inq(7, "8109044bff", [](C c) { c.queryIris(); });
        inq(8, "8109044dff", [](C c) { c.queryBright(); });
        inq(9, "81090612ff", [](C c) { c.queryPanTiltPos(); });
        inq(10, "810904a1ff", [](C c) { c.queryLuminance(); });
        inq(11, "810904a2ff", [](C c) { c.queryContrast(); });
        inq(12, "8109044fff", [](C c) { c.queryHue(); });
        inq(13, "81090439ff", [](C c) { c.queryAeMode(); });
        inq(14, "81090435ff", [](C c) { c.queryWBMode(); });
        row("moveUp", "8101060100070301ff", [](C c) { c.moveUp(0, 7); });
        row("moveDown", "8101060103140302ff", [](C c) { c.moveDown(3, 20); });
        row("moveLeft", "8101060118000103ff", [](C c) { c.moveLeft(24, 0); });
        row("moveRight", "8101060101000203ff", [](C c) { c.moveRight(1, 0); });
        row("moveUpLeft", "8101060105060101ff", [](C c) { c.moveUpLeft(5, 6); });
        row("moveUpRight", "8101060105060201ff", [](C c) { c.moveUpRight(5, 6); });
        row("moveDownLeft", "8101060105060102ff", [](C c) { c.moveDownLeft(5, 6); });
        row("moveDownRight", "8101060105060202ff", [](C c) { c.moveDownRight(5, 6); });
        row("moveStop speeds", "8101060109040303ff", [](C c) { c.moveStop(9, 4); });
        row("speed mod 255", "8101060101000301ff", [](C c) { c.moveUp(256, 255); });
        row("moveHome", "81010604ff", [](C c) { c.moveHome(); });
        row("zoomIn 7", "8101040727ff", [](C c) { c.zoomIn(7); });
        row("zoomOut 7", "8101040737ff", [](C c) { c.zoomOut(7); });
        row("zoomStop", "8101040700ff", [](C c) { c.zoomStop(); });
        row("focusIn 5", "8101040835ff", [](C c) { c.focusIn(5); });
        row("focusOut 5", "8101040825ff", [](C c) { c.focusOut(5); });
        row("focusStop", "8101040800ff", [](C c) { c.focusStop(); });
        row("autoFocus on", "8101043802ff", [](C c) { c.setAutoFocus(true); });
        row("autoFocus off", "8101043803ff", [](C c) { c.setAutoFocus(false); });
        row("setPreset 5", "8101043f0105ff", [](C c) { c.setPreset(5); });
        row("setPreset 255", "8101043f0100ff", [](C c) { c.setPreset(255); });
        row("callPreset 254", "8101043f02feff", [](C c) { c.callPreset(254); });
        row("clearPreset 9", "8101043f0009ff", [](C c) { c.clearPreset(9); });
        row("presetSpeed 23", "8101060118ff", [](C c) { c.setPresetSpeed(23); });
        row("presetSpeed 24", "8101060101ff", [](C c) { c.setPresetSpeed(24); });
        row("setIris 12", "8101044b0000000cff", [](C c) { c.setIris(12); });
        row("setShutter 16", "8101044a00000101ff", [](C c) { c.setShutter(16); });
        row("setBright 17", "8101044d00000101ff", [](C c) { c.setBright(17); });
        row("brightUp", "8101040d02ff", [](C c) { c.brightUp(); });
        row("brightDown", "8101040d03ff", [](C c) { c.brightDown(); });
        row("aeMode 0", "8101043900ff", [](C c) { c.setAeMode(0); });
        row("aeMode 1", "8101043903ff", [](C c) { c.setAeMode(1); });
        row("aeMode 2", "810104390aff", [](C c) { c.setAeMode(2); });
        row("aeMode 3", "810104390bff", [](C c) { c.setAeMode(3); });
        row("aeMode 4", "810104390dff", [](C c) { c.setAeMode(4); });
        row("aeMode 7", "8101043900ff", [](C c) { c.setAeMode(7); });
        row("wbMode 0", "8101043500ff", [](C c) { c.setWBMode(0); });
        row("wbMode 3", "8101043503ff", [](C c) { c.setWBMode(3); });
        row("wbMode 4", "8101043505ff", [](C c) { c.setWBMode(4); });
        row("wbMode 5", "8101043510ff", [](C c) { c.setWBMode(5); });
        row("luminance low 8 bits", "810104a100000023ff", [](C c) { c.setLuminance(0x123); });
        row("contrast", "810104a20000000eff", [](C c) { c.setContrast(14); });
        row("hue", "8101044f00000007ff", [](C c) { c.setHue(7); });
        row("onePush", "8101041005ff", [](C c) { c.onePushTrigger(); });
        row("osdMenu", "8101043f025fff", [](C c) { c.osdMenu(); });
        row("osdEnter", "8101060605ff", [](C c) { c.osdEnter(); });
        row("osdBack", "8101060604ff", [](C c) { c.osdBack(); });
        row("flip on", "8101046602ff", [](C c) { c.setImageFlip(true); });
        row("mirror on", "8101046102ff", [](C c) { c.setImageMirror(true); });
        row("motionSync on", "810a111302ff", [](C c) { c.setMotionSync(true); });
        row("focusLock on", "810a046802ff", [](C c) { c.setFocusLock(true); });
        row("tally lamp on", "81017e010a0002ff",
            [](C c) { c.sendRawCommand(Visca::tallyLamp(true)); });
        row("upRightLimit", "8101060700010f06070000010200ff",
            [](C c) { c.setUpRightLimit(0x0120, 0xF670); });
        row("downLeftLimit", "810106070000000909000f0e0500ff",
            [](C c) { c.setDownLeftLimit(0xFE50, 0x0990); });
        row("limit low 16 bits", "8101060700000a0b0c0d0f0f0f0fff",
            [](C c) { c.setDownLeftLimit(-1, 0x1ABCD); });
    }
    // Through a real IPCamera: commands never queue; an inquiry (kind 3-14)
    // becomes the current kind, and an error reply releases it.
    void commandBytes()
    {
        QFETCH(CameraCall, call);
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        const int kindBefore = m_cam->currentKind();
        call(*m_cam);
        QTRY_VERIFY_WITH_TIMEOUT(m_peer->bytesAvailable() >= bytes.size(), kWait);
        QCOMPARE(m_peer->readAll().toHex(' '), bytes.toHex(' '));
        QCOMPARE(m_cam->queuedInquiries(), kind ? 1 : 0);
        QCOMPARE(m_cam->currentKind(), kind ? kind : kindBefore);
        if (kind) {
            QCOMPARE(Visca::inquiry(kind), bytes);
            m_peer->write(hex("906002ff"));
            QTRY_COMPARE_WITH_TIMEOUT(m_cam->queuedInquiries(), 0, kWait);
        }
    }

    void assembler_data()
    {
        QTest::addColumn<Chunks>("chunks");
        QTest::addColumn<Chunks>("frames");
        QByteArray full32 = hex("9050") + QByteArray(29, '\x01') + hex("ff");
        QByteArray over32 = hex("9050") + QByteArray(30, '\x01') + hex("ff");
        QTest::newRow("ack and completion")
            << Chunks{hex("9041ff9051ff")} << Chunks{hex("9041ff"), hex("9051ff")};
        QTest::newRow("split frame")
            << Chunks{hex("905000"), hex("000aff")} << Chunks{hex("905000000aff")};
        QTest::newRow("leading bytes skipped")
            << Chunks{hex("00129050 03ff")} << Chunks{hex("905003ff")};
        QTest::newRow("trailing bytes after ff")
            << Chunks{hex("905002ff0012")} << Chunks{hex("905002ff")};
        QTest::newRow("ff always closes") << Chunks{hex("9050ff00ff")} << Chunks{hex("9050ff")};
        QTest::newRow("garbage between frames")
            << Chunks{hex("9041ff0012"), hex("349051ff")} << Chunks{hex("9041ff"), hex("9051ff")};
        QTest::newRow("32 bytes kept") << Chunks{full32} << Chunks{full32};
        QTest::newRow("33 bytes dropped") << Chunks{over32} << Chunks{};
        QTest::newRow("overflow byte lost, then recovers")
            << Chunks{hex("9050") + QByteArray(40, '\x02') + hex("ff9051ff")}
            << Chunks{hex("9051ff")};
        QTest::newRow("90 inside frame is data")
            << Chunks{hex("90509090ff")} << Chunks{hex("90509090ff")};
        QTest::newRow("byte by byte")
            << Chunks{hex("00"), hex("90"), hex("50"), hex("02"), hex("ff")}
            << Chunks{hex("905002ff")};
    }
    void assembler()
    {
        QFETCH(Chunks, chunks);
        QFETCH(Chunks, frames);
        Visca::ReplyAssembler a;
        QVector<QByteArray> got;
        for (const QByteArray &c : chunks)
            a.feed(c.constData(), c.size(), got);
        QCOMPARE(Chunks(got.begin(), got.end()), frames);
        QVERIFY(!a.frameOpen());
    }

    void customCommand_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes"); // empty: refused
        QTest::newRow("spaced") << "81 01 7E 01 0A 00 02 FF" << hex("81017e010a0002ff");
        QTest::newRow("packed, lower case") << "8101040002ff" << hex("8101040002ff");
        QTest::newRow("address 8") << "88 01 00 01 FF" << hex("88010001ff");
        QTest::newRow("shortest") << "81 01 FF" << hex("8101ff");
        QTest::newRow("16 bytes") << "81" + QString("00").repeated(14) + "FF"
                                  << "\x81" + QByteArray(14, 0) + "\xff";
        QTest::newRow("17 bytes") << "81" + QString("00").repeated(15) + "FF" << QByteArray();
        QTest::newRow("no terminator") << "81 01 04 00 02" << QByteArray();
        QTest::newRow("wrong header") << "90 01 02 FF" << QByteArray();
        QTest::newRow("ff inside") << "81 FF 02 FF" << QByteArray();
        QTest::newRow("odd digits") << "81 01 0 FF" << QByteArray();
        QTest::newRow("not hex") << "81 0G 02 FF" << QByteArray();
        QTest::newRow("sign") << "81 +1 02 FF" << QByteArray();
        QTest::newRow("too short") << "81 FF" << QByteArray();
        QTest::newRow("empty") << "" << QByteArray();
    }
    void customCommand()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const QByteArray parsed = Visca::parseCustomCommand(text);
        QCOMPARE(parsed.toHex(), bytes.toHex());
        if (!bytes.isEmpty())
            QCOMPARE(Visca::parseCustomCommand(Visca::formatCommand(parsed)), parsed);
    }

    // Effects: e error, c command reply, a advance, m misfit, 1 cycle end.
    // `stored`: the bytes the frame writes into the status at offset `at`.
    void parser_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("effect");
        QTest::addColumn<int>("at");
        QTest::addColumn<QByteArray>("stored");
        auto row = [](const char *name, int kind, const char *frame, const char *effect, int at = 0,
                      const char *stored = "") {
            QTest::newRow(name) << kind << hex(frame) << QByteArray(effect) << at << hex(stored);
        };
#define AT(field) int(offsetof(CameraStatus, field))
        row("focus mode auto", 5, "905002ff", "a", AT(autoFocus), "01");
        row("focus mode manual", 5, "905003ff", "a", AT(autoFocus), "00");
        row("ack", 5, "9041ff", "c");
        row("error, no socket", 9, "906002ff", "ea");
        row("command error, socket 1", 6, "906141ff", "ec");
        row("zoom", 3, "905001020304ff", "a", AT(zoomPos), "01020304");
        row("zoom too short", 3, "90500102ff", "m");
        row("zoom digit out of range", 3, "905010020304ff", "m");
        row("focus", 4, "90500f0e0d0cff", "a", AT(focusPos), "0f0e0d0c");
        row("shutter 4 bytes", 6, "905011ff", "a", AT(shutter), "11");
        row("shutter 7 bytes", 6, "905000000101ff", "a", AT(shutter), "11");
        row("shutter 5 bytes", 6, "90500101ff", "m");
        row("iris 7 bytes", 7, "905000000a0cff", "a", AT(iris), "ac");
        row("iris 7 bytes wraps", 7, "905000001f0fff", "a", AT(iris), "ff");
        row("bright", 8, "90500cff", "a", AT(bright), "0c");
        row("bright 6 bytes", 8, "90500c0000ff", "m");
        row("pan tilt", 9, "90500f0f0f0000010203ff", "a", AT(panTiltPos), "0f0f0f0000010203");
        row("pan tilt too short", 9, "90500f0f0f00ff", "m");
        row("pan tilt reply to zoom", 3, "90500f0f0f0000010203ff", "m");
        row("luminance 7 bytes", 10, "90500000011cff", "a", AT(luminance), "1c");
        row("contrast 7 bytes", 11, "90500000000eff", "a", AT(contrast), "0e");
        row("hue 6 bytes", 12, "9050000007ff", "m");
        row("hue 4 bytes", 12, "905007ff", "a", AT(hue), "07");
        row("ae mode", 13, "90500dff", "a", AT(aeMode), "0d");
        row("ae mode 7 bytes", 13, "905000000d00ff", "m");
        row("wb mode ends cycle", 14, "905005ff", "a1", AT(wbMode), "05");
        row("not a completion", 14, "904105ff", "m");
        row("no inquiry in flight", 0, "905002ff", "");
        row("kind out of range", 15, "905002ff", "");
        row("two-byte frame", 5, "90ff", "m");
#undef AT
    }
    void parser()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, effect);
        QFETCH(int, at);
        QFETCH(QByteArray, stored);
        CameraStatus status = seeded();
        QByteArray expected = dump(seeded());
        expected.replace(at, stored.size(), stored);
        const Visca::ReplyEffect e = Visca::parseReply(frame, kind, status);
        QByteArray got;
        got += e.error ? "e" : "";
        got += e.commandReply ? "c" : "";
        got += e.advanceQueue ? "a" : "";
        got += e.misfit ? "m" : "";
        got += e.readOneCycle ? "1" : "";
        QCOMPARE(got, effect);
        QCOMPARE(e.statusUpdated, !e.error);
        QCOMPARE(dump(status).toHex(' '), expected.toHex(' '));
    }
    // The queue sends one inquiry at a time; a time-out resynchronises: nothing is
    // sent and late answers are discarded until the line has been quiet.
    void inquiryLink()
    {
        Visca::InquiryLink link(2);
        Visca::CameraCommand sent;
        CameraStatus status;
        QVERIFY(!link.takeNextToSend(sent) && !link.inquiryTimedOut() && !link.resyncing());
        QVERIFY(link.enqueue(Visca::Iris) && link.enqueue(Visca::Hue) && !link.enqueue(Visca::Hue));
        QVERIFY(link.takeNextToSend(sent));
        QCOMPARE(sent.bytes, Visca::inquiry(Visca::Iris));
        QVERIFY(!link.takeNextToSend(sent)); // one in flight
        QVERIFY(link.inquiryTimedOut() && link.resyncing() && !link.takeNextToSend(sent));
        const auto late = link.onFrame(hex("905000000005ff"), status);
        QVERIFY(late.restartQuiet && !late.answered);
        QCOMPARE(int(status.iris), 0);
        link.quietElapsed();
        QVERIFY(link.takeNextToSend(sent));
        QCOMPARE(sent.kind, int(Visca::Hue));
        // A command's error reply (socket 1) leaves the inquiry in flight.
        QVERIFY(!link.onFrame(hex("906141ff"), status).answered);
        QVERIFY(link.onFrame(hex("905007ff"), status).answered && link.queued() == 0);
        QCOMPARE(int(status.hue), 7);
    }

private:
    QTcpServer m_server;
    std::unique_ptr<IPCamera> m_cam;
    QTcpSocket *m_peer = nullptr;
};

QTEST_GUILESS_MAIN(TestVisca)
#include "tst_visca.moc"
