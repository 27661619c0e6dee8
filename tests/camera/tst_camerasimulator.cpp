// The camera simulator seen from a raw VISCA client and an HTTP client:
// state changes and clamping, motion, presets, faults, bounds. Its inquiry
// replies are checked end to end through IPCamera (tst_ipcamera).

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
    void nonReadingClientIsBounded();
    void idleConnectionsClosed();
    void driveMovesAndStops();
    void limitsClampMotion();
    void presetsStoreRecallClear();
    void oversizedInputRecovers();
    void ignoredInquiry();
    void replyDelayKeepsOrder();
    void splitFramesArriveWhole();
    void dropNewConnections();
    void tallyLampKeptAndAnswered();
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
    row("shutter", Visca::setShutter(16), [](S s) { return s.shutter() == 17; });
    row("iris clamped", Visca::setIris(0x1F), [](S s) { return s.iris() == 0x11; });
    row("luminance clamped", Visca::setLuminance(0x1C), [](S s) { return s.luminance() == 14; });
    row("preset speed clamped", hex("8101060100ff"), [](S s) { return s.presetSpeed() == 1; });
    row("menu", Visca::osdMenu(), [](S s) { return s.menuOpen(); });
    row("down-left limit clamped", Visca::setDownLeftLimit(0xF000, 0xF670), [](S s) {
        return s.hasDownLeftLimit() && s.downLeftLimit().pan == -0x990 &&
               s.downLeftLimit().tilt == CameraSimulator::kTiltMin;
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

void TestCameraSimulator::tallyLampKeptAndAnswered()
{
    QSignalSpy changed(m_sim.get(), &CameraSimulator::tallyLampChanged);
    const QByteArray inquiry = Visca::tallyLampInquiry();
    QCOMPARE(exchange(inquiry, 4).toHex(), QByteArray("905003ff"));
    QCOMPARE(command(Visca::tallyLamp(true)).toHex(' '), kDone.toHex(' '));
    QVERIFY(m_sim->tallyLamp());
    QCOMPARE(exchange(inquiry, 4).toHex(), QByteArray("905002ff"));
    // The same state again is no change.
    QCOMPARE(command(Visca::tallyLamp(true)).toHex(' '), kDone.toHex(' '));
    QCOMPARE(command(Visca::tallyLamp(false)).toHex(' '), kDone.toHex(' '));
    QCOMPARE(exchange(inquiry, 4).toHex(), QByteArray("905003ff"));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(exchange(hex("81017e010a0004ff"), kError.size()).toHex(' '), kError.toHex(' '));
}

void TestCameraSimulator::rejected_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown command") << hex("8101049902ff");
    QTest::newRow("bad on/off byte") << hex("8101043804ff");
    QTest::newRow("bad direction") << hex("8101060105050403ff");
    QTest::newRow("unknown inquiry") << hex("81090002ff");
    QTest::newRow("other camera") << hex("82010604ff");
    QTest::newRow("ae mode byte") << hex("8101043901ff");
}

void TestCameraSimulator::rejected()
{
    QFETCH(QByteArray, message);
    QCOMPARE(exchange(message, kError.size()).toHex(' '), kError.toHex(' '));
}

void TestCameraSimulator::nonReadingClientIsBounded()
{
    // A client with a small receive window that sends inquiries and never
    // reads: the simulator stops reading it once its replies back up.
    QTcpSocket greedy;
    greedy.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    greedy.setReadBufferSize(4096);
    greedy.connectToHost(QHostAddress::LocalHost, m_sim->viscaPort());
    QVERIFY(greedy.waitForConnected(kWait));
    QSignalSpy inquiries(m_sim.get(), &CameraSimulator::inquiryReceived);
    constexpr int kCount = 200000;
    greedy.write(Visca::inquiry(Visca::ZoomPos).repeated(kCount));
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->pendingReplyBytes() >= CameraSimulator::kMaxPendingReplyBytes,
                             20000);
    // Still bounded a while later, with most of the input left unread.
    QTest::qWait(50);
    QVERIFY(m_sim->pendingReplyBytes() < CameraSimulator::kMaxPendingReplyBytes + 1024);
    QVERIFY(inquiries.count() < kCount / 2);
    // Once the client reads, every inquiry is answered.
    greedy.setReadBufferSize(0);
    qint64 received = 0;
    QTRY_VERIFY_WITH_TIMEOUT((received += greedy.readAll().size()) == 7LL * kCount, 20000);
    QCOMPARE(inquiries.count(), kCount);
}

void TestCameraSimulator::idleConnectionsClosed()
{
    m_sim->setIdleTimeout(50);
    QTcpSocket visca, http;
    visca.connectToHost(QHostAddress::LocalHost, m_sim->viscaPort());
    http.connectToHost(QHostAddress::LocalHost, m_sim->httpPort());
    QVERIFY(visca.waitForConnected(kWait) && http.waitForConnected(kWait));
    QTRY_COMPARE_WITH_TIMEOUT(visca.state(), QAbstractSocket::UnconnectedState, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(http.state(), QAbstractSocket::UnconnectedState, kWait);
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
