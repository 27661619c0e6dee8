// The camera simulator seen from a raw VISCA client and an HTTP client:
// replies, state changes, motion, presets, faults.

#include "camerasimulator.h"
#include "visca.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

using SimCheck = std::function<bool(const CameraSimulator &)>;
Q_DECLARE_METATYPE(SimCheck)

namespace {

constexpr int kWait = 5000;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const QByteArray kDone = QByteArray::fromHex("9041ff9051ff");
const QByteArray kError = QByteArray::fromHex("906002ff");

} // namespace

class TestCameraSimulator : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void commands_data();
    void commands();
    void rejected_data();
    void rejected();
    void inquiryReplies_data();
    void inquiryReplies();
    void driveMovesAndStops();
    void limitsClampMotion();
    void presetsStoreRecallClear();
    void oversizedInputRecovers();
    void ignoredInquiry();
    void replyDelayKeepsOrder();
    void splitFramesArriveWhole();
    void dropNewConnections();
    void http_data();
    void http();

private:
    QByteArray exchange(const QByteArray &message, int replyLength);
    // Sends a command and returns the reply (ACK and completion when accepted).
    QByteArray command(const QByteArray &message) { return exchange(message, kDone.size()); }

    std::unique_ptr<CameraSimulator> m_sim;
    std::unique_ptr<QTcpSocket> m_client;
};

void TestCameraSimulator::init()
{
    m_sim = std::make_unique<CameraSimulator>();
    QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0, 0));
    QVERIFY(m_sim->viscaPort() != 0 && m_sim->httpPort() != 0);
    m_client = std::make_unique<QTcpSocket>();
    m_client->connectToHost(QHostAddress::LocalHost, m_sim->viscaPort());
    QVERIFY(m_client->waitForConnected(kWait));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
}

void TestCameraSimulator::cleanup()
{
    m_client.reset();
    m_sim.reset();
}

QByteArray TestCameraSimulator::exchange(const QByteArray &message, int replyLength)
{
    m_client->write(message);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < replyLength && t.elapsed() < kWait) {
        if (m_client->bytesAvailable() == 0)
            QTest::qWait(2);
        got += m_client->readAll();
    }
    return got;
}

void TestCameraSimulator::commands_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<SimCheck>("check");
    auto row = [](const char *name, const QByteArray &m, SimCheck check) {
        QTest::newRow(name) << m << check;
    };
    using S = const CameraSimulator &;
    row("auto focus off", Visca::setAutoFocus(false), [](S s) { return !s.autoFocus(); });
    row("ae mode", Visca::setAeMode(3), [](S s) { return s.aeMode() == 0x0B; });
    row("wb mode", Visca::setWBMode(5), [](S s) { return s.wbMode() == 0x10; });
    row("shutter", Visca::setShutter(16), [](S s) { return s.shutter() == 17; });
    row("iris", Visca::setIris(12), [](S s) { return s.iris() == 12; });
    row("bright", Visca::setBright(17), [](S s) { return s.bright() == 17; });
    row("bright up", Visca::brightUp(), [](S s) { return s.bright() == 8; });
    row("bright down", Visca::brightDown(), [](S s) { return s.bright() == 6; });
    row("luminance", Visca::setLuminance(0x1C), [](S s) { return s.luminance() == 0x1C; });
    row("contrast", Visca::setContrast(3), [](S s) { return s.contrast() == 3; });
    row("hue", Visca::setHue(9), [](S s) { return s.hue() == 9; });
    row("flip", Visca::setImageFlip(true), [](S s) { return s.flip(); });
    row("mirror", Visca::setImageMirror(true), [](S s) { return s.mirror(); });
    row("motion sync", Visca::setMotionSync(true), [](S s) { return s.motionSync(); });
    row("focus lock", Visca::setFocusLock(true), [](S s) { return s.focusLock(); });
    row("one push", Visca::onePushTrigger(), [](S s) { return s.onePushCount() == 1; });
    row("menu", Visca::osdMenu(), [](S s) { return s.menuOpen(); });
    row("menu enter", Visca::osdEnter(), [](S s) { return !s.menuOpen(); });
    row("menu back", Visca::osdBack(), [](S s) { return !s.menuOpen(); });
    row("preset speed", Visca::setPresetSpeed(9), [](S s) { return s.presetSpeed() == 10; });
    row("home", Visca::moveHome(), [](S s) { return s.pan() == 0 && s.tilt() == 0; });
    row("stop", Visca::moveStop(0, 0), [](S s) { return !s.isMoving(); });
    row("zoom stop", Visca::zoomStop(), [](S s) { return !s.isMoving(); });
    row("focus stop", Visca::focusStop(), [](S s) { return !s.isMoving(); });
    row("up-right limit", Visca::setUpRightLimit(0x0120, 0x0670), [](S s) {
        return s.hasUpRightLimit() && s.upRightLimit().pan == 0x670 &&
               s.upRightLimit().tilt == 0x120;
    });
    row("down-left limit", Visca::setDownLeftLimit(0xFF00, 0xF670), [](S s) {
        return s.hasDownLeftLimit() && s.downLeftLimit().pan == -0x990 &&
               s.downLeftLimit().tilt == -0x100;
    });
}

void TestCameraSimulator::commands()
{
    QFETCH(QByteArray, message);
    QFETCH(SimCheck, check);
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    QCOMPARE(command(message).toHex(' '), kDone.toHex(' '));
    QCOMPARE(commands.count(), 1);
    QCOMPARE(commands.at(0).at(0).toByteArray(), message);
    QCOMPARE(m_sim->lastCommand(), message);
    QVERIFY(check(*m_sim));
}

void TestCameraSimulator::rejected_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown command") << hex("8101049902ff");
    QTest::newRow("bad on/off byte") << hex("8101043804ff");
    QTest::newRow("bad direction") << hex("8101060105050403ff");
    QTest::newRow("unknown inquiry") << hex("81090002ff");
    QTest::newRow("other camera") << hex("82010604ff");
    QTest::newRow("preset speed 0") << hex("8101060100ff");
    QTest::newRow("ae mode byte") << hex("8101043901ff");
}

void TestCameraSimulator::rejected()
{
    QFETCH(QByteArray, message);
    QCOMPARE(exchange(message, kError.size()).toHex(' '), kError.toHex(' '));
}

void TestCameraSimulator::inquiryReplies_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("zoom") << 3 << hex("9050020a050fff");
    QTest::newRow("focus") << 4 << hex("9050010b030cff");
    QTest::newRow("focus mode") << 5 << hex("905002ff");
    QTest::newRow("shutter") << 6 << hex("90500000000bff");
    QTest::newRow("iris") << 7 << hex("90500000000cff");
    QTest::newRow("bright") << 8 << hex("905011ff");
    QTest::newRow("pan tilt") << 9 << hex("90500f0f0f0000010203ff");
    QTest::newRow("luminance") << 10 << hex("9050000000 1cff");
    QTest::newRow("contrast") << 11 << hex("90500000000eff");
    QTest::newRow("hue") << 12 << hex("905000000003ff");
    QTest::newRow("ae mode") << 13 << hex("90500dff");
    QTest::newRow("wb mode") << 14 << hex("905005ff");
}

void TestCameraSimulator::inquiryReplies()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, reply);
    m_sim->setPosition(-16, 0x123, 0x2A5F, 0x1B3C);
    for (const QByteArray &m : {Visca::setShutter(10), Visca::setIris(12), Visca::setBright(17),
                                Visca::setLuminance(0x1C), Visca::setContrast(14), Visca::setHue(3),
                                Visca::setAeMode(4), Visca::setWBMode(4)})
        QCOMPARE(command(m), kDone);
    QCOMPARE(exchange(Visca::inquiry(kind), reply.size()).toHex(' '), reply.toHex(' '));
    // The reply parses back to the same values.
    Visca::ReplyAssembler a;
    const auto frames = a.feed(reply);
    QCOMPARE(frames.size(), 1);
    CameraStatus status;
    QVERIFY(Visca::parseReply(frames.at(0), kind, status).advanceQueue);
}

void TestCameraSimulator::driveMovesAndStops()
{
    QCOMPARE(command(Visca::moveRight(24, 0)), kDone);
    QVERIFY(m_sim->isMoving());
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->pan() > 20, kWait);
    QCOMPARE(m_sim->tilt(), 0);
    QCOMPARE(command(Visca::moveStop(0, 0)), kDone);
    QVERIFY(!m_sim->isMoving());
    const int stoppedAt = m_sim->pan();
    QTest::qWait(100);
    QCOMPARE(m_sim->pan(), stoppedAt);

    QCOMPARE(command(Visca::moveDownLeft(24, 20)), kDone);
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->pan() < stoppedAt - 20 && m_sim->tilt() < -20, kWait);
    QCOMPARE(command(Visca::moveStop(0, 0)), kDone);

    QCOMPARE(command(Visca::zoomIn(7)), kDone);
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->zoom() > 100, kWait);
    QCOMPARE(command(Visca::zoomStop()), kDone);
    QCOMPARE(command(Visca::focusOut(7)), kDone);
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->focus() > CameraSimulator::kFocusMin + 100, kWait);
    QCOMPARE(command(Visca::focusStop()), kDone);
    QVERIFY(!m_sim->isMoving());

    QCOMPARE(command(Visca::moveHome()), kDone);
    QCOMPARE(m_sim->pan(), 0);
    QCOMPARE(m_sim->tilt(), 0);
}

void TestCameraSimulator::limitsClampMotion()
{
    QCOMPARE(command(Visca::setUpRightLimit(0x0010, 0x0020)), kDone);
    QCOMPARE(command(Visca::moveUpRight(24, 20)), kDone);
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->pan() == 0x20 && m_sim->tilt() == 0x10, kWait);
    QCOMPARE(command(Visca::moveStop(0, 0)), kDone);
}

void TestCameraSimulator::presetsStoreRecallClear()
{
    QSignalSpy stored(m_sim.get(), &CameraSimulator::presetStored);
    m_sim->setPosition(300, -50, 1000, 5000);
    QCOMPARE(command(Visca::setPreset(254)), kDone);
    QCOMPARE(stored.count(), 1);
    QCOMPARE(stored.at(0).at(0).toInt(), 254);
    m_sim->setPosition(0, 0, 0, 4096);
    QCOMPARE(command(Visca::callPreset(254)), kDone);
    QCOMPARE(m_sim->pan(), 300);
    QCOMPARE(m_sim->tilt(), -50);
    QCOMPARE(m_sim->zoom(), 1000);
    QCOMPARE(m_sim->focus(), 5000);
    QCOMPARE(command(Visca::clearPreset(254)), kDone);
    QVERIFY(!m_sim->hasPreset(254));
    QCOMPARE(m_sim->presetCount(), 0);
}

void TestCameraSimulator::oversizedInputRecovers()
{
    const QByteArray junk = hex("8101") + QByteArray(40, 1);
    QCOMPARE(exchange(junk, kError.size()), kError);
    QCOMPARE(command(Visca::moveHome()), kDone);
}

void TestCameraSimulator::ignoredInquiry()
{
    m_sim->setIgnoredInquiry(Visca::inquiry(Visca::Iris));
    m_client->write(Visca::inquiry(Visca::Iris));
    QCOMPARE(exchange(Visca::inquiry(Visca::AeMode), 4), hex("905000ff"));
}

void TestCameraSimulator::replyDelayKeepsOrder()
{
    m_sim->setReplyDelay(50);
    QElapsedTimer t;
    t.start();
    m_client->write(Visca::moveHome());
    const QByteArray got = exchange(Visca::inquiry(Visca::FocusMode), 10);
    QVERIFY(t.elapsed() >= 40);
    QCOMPARE(got, kDone + hex("905002ff"));
}

void TestCameraSimulator::splitFramesArriveWhole()
{
    m_sim->setSplitFrames(true);
    m_sim->setGarbage(true);
    const QByteArray got = exchange(Visca::inquiry(Visca::PanTiltPos), 14);
    QCOMPARE(got.toHex(' '), (hex("001234") + hex("90500000000000000000ff")).toHex(' '));
}

void TestCameraSimulator::dropNewConnections()
{
    QSignalSpy gone(m_sim.get(), &CameraSimulator::clientDisconnected);
    m_sim->dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(m_client->state(), QAbstractSocket::UnconnectedState, kWait);
    QCOMPARE(gone.count(), 1);
    m_sim->setDropNewConnections(true);
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, m_sim->viscaPort());
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->acceptedConnections(), 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QAbstractSocket::UnconnectedState, kWait);
    QCOMPARE(m_sim->openConnections(), 0);
}

void TestCameraSimulator::http_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("type");
    auto row = [](const char *name, const char *target, QByteArray verb, int status,
                  QByteArray type) {
        QTest::newRow(name) << target << verb << status << type;
    };
    row("snapshot", "/snapshot.jpg", "GET", 200, "image/jpeg");
    row("device conf", "/cgi-bin/param.cgi?get_device_conf", "GET", 200, "text/plain");
    row("unknown", "/etc/passwd", "GET", 404, "text/plain");
    row("post", "/snapshot.jpg", "POST", 405, "text/plain");
}

void TestCameraSimulator::http()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, verb);
    QFETCH(int, status);
    QFETCH(QByteArray, type);
    m_sim->setName(QStringLiteral("Sim One"));
    m_sim->setSerialNumber(QStringLiteral("S-77"));
    QNetworkAccessManager nam;
    const QUrl url(QStringLiteral("http://127.0.0.1:%1%2").arg(m_sim->httpPort()).arg(target));
    std::unique_ptr<QNetworkReply> reply(nam.sendCustomRequest(QNetworkRequest(url), verb));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    QVERIFY(finished.wait(kWait));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
    QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), type);
    const QByteArray body = reply->readAll();
    if (type == "image/jpeg") {
        QImage image;
        QVERIFY(image.loadFromData(body, "JPG"));
        QCOMPARE(image.size(), QSize(640, 360));
    } else if (status == 200) {
        const QList<QByteArray> lines = body.split('\n');
        QVERIFY(lines.size() >= 6);
        QCOMPARE(lines.at(0), QByteArray("devname=\"Sim One\""));
        QCOMPARE(lines.at(5), QByteArray("serial_num=\"S-77\""));
    }
}

QTEST_MAIN(TestCameraSimulator)
#include "tst_camerasimulator.moc"
