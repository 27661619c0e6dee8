// IPCamera against the camera simulator and scripted raw peers on loopback:
// connection, reconnect and its automatic retries, pending connects, polling,
// reply attribution (late replies, command errors), stale replies, inquiry
// queue time-out and bound, device configuration, snapshots.

#include "camerasimulator.h"
#include "ipcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "visca.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kWait = 5000;
constexpr int kFastPollMs = 10;
constexpr int kNoPoll = 100000;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Position digit bytes as hexadecimal text.
QByteArray digits(const uint8_t *bytes, int count)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), count).toHex();
}

// The state names a clientStateChanged spy recorded, oldest first.
QStringList seenStates(const QSignalSpy &spy)
{
    QStringList names;
    for (const auto &args : spy)
        names << args.at(0).toString();
    return names;
}

// A loopback port nothing listens on.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace

class TestIPCamera : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stateNames_data();
    void stateNames();
    void connectsAndReportsStates();
    void commandsReachCameraByteExact();
    void fullPollCycleFillsStatus();
    void readOneCycleOncePerCycle();
    void pollsSurviveSplitAndGarbage();
    void reconnectsOnceAfterDrop();
    void disconnectRequestSuppressesOneReconnect_data();
    void disconnectRequestSuppressesOneReconnect();
    void failedReconnectStaysUnconnected();
    void peerDroppingEveryConnectionDoesNotLoop();
    void unansweredInquiryTimesOut();
    void queueIsBounded();
    void lateReplyIsDiscarded();
    void commandErrorKeepsInquiryOrder();
    void repliesGoStaleAndRecover();
    void pendingConnectEnds_data();
    void pendingConnectEnds();
    void autoReconnectBacksOff();
    void deviceNameAndSerial_data();
    void deviceNameAndSerial();
    void deviceConfFailureReportsError_data();
    void deviceConfFailureReportsError();
    void snapshotsAnsweredInReverseOrder();
    void snapshotReplacesThumbnailWhole();
    void flappingCameraShowsOneBoxPerOutage();
    void snapshotFailureReportsError();

private:
    std::unique_ptr<IPCamera> makeCamera(int pollMs = kFastPollMs);
    bool connectAndWait(IPCamera &cam);
    QTcpSocket *connectToRawPeer(IPCamera &cam, QTcpServer &server);
    // Reads the next message from peer and checks it is the inquiry of kind.
    bool expectInquiry(QTcpSocket *peer, int kind);

    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<CameraSimulator> m_sim;
};

void TestIPCamera::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.camera.debug=false"));
}

void TestIPCamera::init()
{
    m_home = std::make_unique<TempDataHome>();
    QVERIFY(QDir().mkpath(Storage::downloadsFolder()));
    m_sim = std::make_unique<CameraSimulator>();
    QVERIFY2(m_sim->listen(QHostAddress::LocalHost, 0, 0), qPrintable(m_sim->errorString()));
}

void TestIPCamera::cleanup()
{
    m_sim.reset();
    m_home.reset();
}

std::unique_ptr<IPCamera> TestIPCamera::makeCamera(int pollMs)
{
    auto cam = std::make_unique<IPCamera>(QStringLiteral("127.0.0.1"), QStringLiteral("Camera1"),
                                          QStringLiteral("0.0.0.0"));
    cam->setViscaPort(m_sim->viscaPort());
    cam->setHttpPort(m_sim->httpPort());
    cam->setPollInterval(pollMs);
    return cam;
}

bool TestIPCamera::connectAndWait(IPCamera &cam)
{
    QSignalSpy connected(&cam, &CameraWrapper::clientConnected);
    cam.connectCamera();
    return connected.count() > 0 || connected.wait(kWait);
}

// Connects cam's VISCA side to server (a raw loopback peer) instead of the
// simulator and returns the peer's socket; null on failure.
QTcpSocket *TestIPCamera::connectToRawPeer(IPCamera &cam, QTcpServer &server)
{
    if (!server.listen(QHostAddress::LocalHost, 0))
        return nullptr;
    cam.setViscaPort(server.serverPort());
    if (!connectAndWait(cam))
        return nullptr;
    if (!server.hasPendingConnections() && !server.waitForNewConnection(kWait))
        return nullptr;
    return server.nextPendingConnection();
}

bool TestIPCamera::expectInquiry(QTcpSocket *peer, int kind)
{
    QElapsedTimer t;
    t.start();
    while (peer->bytesAvailable() < 5 && t.elapsed() < kWait)
        QTest::qWait(5);
    const QByteArray got = peer->read(5);
    if (got != Visca::inquiry(kind)) {
        qWarning() << "expected inquiry" << kind << "got" << got.toHex(' ');
        return false;
    }
    return true;
}

void TestIPCamera::stateNames_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "Unconnected";
    QTest::newRow("1") << 1 << "HostLookup";
    QTest::newRow("2") << 2 << "Connecting";
    QTest::newRow("3") << 3 << "Connected";
    QTest::newRow("4") << 4 << "Bound";
    QTest::newRow("5") << 5 << "Listening";
    QTest::newRow("6") << 6 << "Closing";
    QTest::newRow("7") << 7 << "Unknown";
    QTest::newRow("-1") << -1 << "Unknown";
}

void TestIPCamera::stateNames()
{
    QFETCH(int, state);
    QFETCH(QString, name);
    QCOMPARE(IPCamera::stateName(state), name);
}

void TestIPCamera::connectsAndReportsStates()
{
    auto cam = makeCamera(kNoPoll); // no polling
    QSignalSpy states(cam.get(), &CameraWrapper::clientStateChanged);
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    QVERIFY(connectAndWait(*cam));
    QCOMPARE(cam->socketState(), QAbstractSocket::ConnectedState);
    const QStringList seen = seenStates(states);
    QVERIFY2(seen.contains(QStringLiteral("Connecting")), qPrintable(seen.join(',')));
    QCOMPARE(seen.last(), QStringLiteral("Connected"));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
    QVERIFY(errors.isEmpty());

    // Connecting again while connected only reports the state.
    states.clear();
    cam->connectCamera();
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0).at(0).toString(), QStringLiteral("Connected"));
    QTest::qWait(50);
    QCOMPARE(m_sim->acceptedConnections(), 1);
}

void TestIPCamera::commandsReachCameraByteExact()
{
    auto cam = makeCamera(kNoPoll);
    cam->moveHome(); // dropped: nothing open
    QVERIFY(connectAndWait(*cam));
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    cam->moveUp(0, 7);
    cam->setUpRightLimit(0x0120, 0xF670);
    cam->setPreset(5);
    QTRY_COMPARE_WITH_TIMEOUT(commands.count(), 3, kWait);
    const QList<QByteArray> sent{hex("8101060100070301ff"), hex("8101060700010f06070000010200ff"),
                                 hex("8101043f0105ff")};
    QCOMPARE(m_sim->receivedMessages(), sent);
    QVERIFY(m_sim->hasPreset(5));
    QVERIFY(m_sim->hasUpRightLimit());
    QCOMPARE(m_sim->upRightLimit().pan, int(int16_t(0xF670)));
}

void TestIPCamera::fullPollCycleFillsStatus()
{
    m_sim->setPosition(-16, 0x123, 0x2A5F, 0x1B3C);
    QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
    auto control = makeCamera(kNoPoll);
    QVERIFY(connectAndWait(*control));
    control->setShutter(9); // shutter 10
    control->setIris(12);
    control->setBright(17);
    control->setLuminance(0x0C);
    control->setContrast(0x09);
    control->setHue(0x03);
    control->setAeMode(2); // 0x0A
    control->setWBMode(3);
    control->setAutoFocus(false);
    QTRY_COMPARE_WITH_TIMEOUT(commands.count(), 9, kWait);
    control->disconnectCamera();
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 0, kWait);

    auto cam = makeCamera();
    cam->status().autoFocus = true;
    QSignalSpy cycle(cam.get(), &CameraWrapper::clientReadOneCycle);
    QVERIFY(connectAndWait(*cam));
    QVERIFY(cycle.wait(kWait));
    const CameraStatus &s = cam->status();
    QCOMPARE(digits(s.panTiltPos, 8), QByteArray("0f0f0f0000010203"));
    QCOMPARE(digits(s.zoomPos, 4), QByteArray("020a050f"));
    QCOMPARE(digits(s.focusPos, 4), QByteArray("010b030c"));
    QCOMPARE(s.autoFocus, false);
    QCOMPARE(int(s.shutter), 10);
    QCOMPARE(int(s.iris), 12);
    QCOMPARE(int(s.bright), 17);
    QCOMPARE(int(s.luminance), 0x0C);
    QCOMPARE(int(s.contrast), 0x09);
    QCOMPARE(int(s.hue), 0x03);
    QCOMPARE(int(s.aeMode), 0x0A);
    QCOMPARE(int(s.wbMode), 0x03);
}

void TestIPCamera::readOneCycleOncePerCycle()
{
    auto cam = makeCamera();
    QSignalSpy inquiries(m_sim.get(), &CameraSimulator::inquiryReceived);
    QSignalSpy cycle(cam.get(), &CameraWrapper::clientReadOneCycle);
    QSignalSpy updates(cam.get(), &CameraWrapper::clientStatusUpdated);
    QVERIFY(connectAndWait(*cam));
    QTRY_VERIFY_WITH_TIMEOUT(cycle.count() >= 3, kWait);
    cam->disconnectCamera();
    QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 0, kWait);

    // Inquiries arrive in poll order, one white-balance answer per 12.
    QVERIFY(inquiries.count() >= 36);
    for (int i = 0; i < inquiries.count(); ++i) {
        static const int order[12] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        QCOMPARE(inquiries.at(i).at(0).toByteArray(), Visca::inquiry(order[i % 12]));
    }
    QVERIFY(cycle.count() == inquiries.count() / 12 || cycle.count() == inquiries.count() / 12 - 1);
    QVERIFY(updates.count() >= cycle.count() * 12);
}

void TestIPCamera::pollsSurviveSplitAndGarbage()
{
    m_sim->setSplitFrames(true);
    m_sim->setGarbage(true);
    m_sim->setPosition(100, 200, 300, 5000);
    auto cam = makeCamera(50); // slower than a split reply takes
    QSignalSpy cycle(cam.get(), &CameraWrapper::clientReadOneCycle);
    QVERIFY(connectAndWait(*cam));
    QTRY_VERIFY_WITH_TIMEOUT(cycle.count() >= 1, kWait);
    QCOMPARE(digits(cam->status().panTiltPos, 8), QByteArray("0000060400000c08"));
    QCOMPARE(digits(cam->status().focusPos, 4), QByteArray("01030808"));
}

void TestIPCamera::reconnectsOnceAfterDrop()
{
    auto cam = makeCamera(kNoPoll);
    QVERIFY(connectAndWait(*cam));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
    QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
    QSignalSpy disconnected(cam.get(), &CameraWrapper::clientDisconnected);
    QSignalSpy states(cam.get(), &CameraWrapper::clientStateChanged);

    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.camera.debug=true"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^reconnecting IPCamera")));
    QTest::ignoreMessage(
        QtDebugMsg, QRegularExpression(QStringLiteral("^reconnecting pending\\.\\.\\. IPCamera")));
    m_sim->dropConnections();
    QVERIFY(connected.wait(kWait));
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.camera.debug=false"));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->acceptedConnections(), 2, kWait);
    QCOMPARE(cam->socketState(), QAbstractSocket::ConnectedState);
    QTest::qWait(100);
    QCOMPARE(connected.count(), 1);
    QCOMPARE(m_sim->acceptedConnections(), 2);
    QVERIFY(disconnected.isEmpty()); // a network camera reports loss by state only
    const QStringList seen = seenStates(states);
    QVERIFY2(seen.contains(QStringLiteral("Unconnected")), qPrintable(seen.join(',')));
}

void TestIPCamera::disconnectRequestSuppressesOneReconnect_data()
{
    QTest::addColumn<bool>("requestedBeforeConnect");
    QTest::newRow("while polling") << false;
    QTest::newRow("before connect, then peer drops") << true;
}

void TestIPCamera::disconnectRequestSuppressesOneReconnect()
{
    QFETCH(bool, requestedBeforeConnect);
    auto cam = makeCamera(requestedBeforeConnect ? kNoPoll : kFastPollMs);
    if (requestedBeforeConnect)
        cam->disconnectCamera(); // unconnected: only remembers the request
    QVERIFY(connectAndWait(*cam));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
    QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.camera.debug=true"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^reconnecting ended$")));
    if (requestedBeforeConnect)
        m_sim->dropConnections();
    else
        cam->disconnectCamera();
    QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
    QLoggingCategory::setFilterRules(QStringLiteral("corvanta.camera.debug=false"));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 0, kWait);
    QTest::qWait(100);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(m_sim->acceptedConnections(), 1);
    QCOMPARE(cam->queuedInquiries(), 0);

    // The request was used up by that disconnection: a later loss reconnects.
    QVERIFY(connectAndWait(*cam));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
    m_sim->dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->acceptedConnections(), 3, kWait);
}

void TestIPCamera::failedReconnectStaysUnconnected()
{
    auto cam = makeCamera(kNoPoll);
    QSignalSpy got(cam.get(), &CameraWrapper::clientFinishGetName);
    QVERIFY(connectAndWait(*cam));
    QVERIFY(got.wait(kWait)); // no HTTP request left in flight
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    QSignalSpy states(cam.get(), &CameraWrapper::clientStateChanged);
    QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
    m_sim->close(); // stop listening and drop: the reconnect is refused
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, kWait);
    QCOMPARE(errors.at(1).at(0).toString(), QStringLiteral("Connection refused"));
    QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
    QTest::qWait(100);
    const QStringList seen = seenStates(states);
    QCOMPARE(seen.count(QStringLiteral("Connecting")), 1);
    QCOMPARE(seen.last(), QStringLiteral("Unconnected"));
    QCOMPARE(errors.count(), 2);
    QCOMPARE(connected.count(), 0);
}

void TestIPCamera::peerDroppingEveryConnectionDoesNotLoop()
{
    auto cam = makeCamera(kNoPoll);
    QVERIFY(connectAndWait(*cam));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
    m_sim->setDropNewConnections(true);
    m_sim->dropConnections();
    // One reconnect is made and dropped at once; that one is not repeated.
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->acceptedConnections(), 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
    QTest::qWait(200);
    QCOMPARE(m_sim->acceptedConnections(), 2);
    QCOMPARE(cam->socketState(), QAbstractSocket::UnconnectedState);
}

void TestIPCamera::unansweredInquiryTimesOut()
{
    m_sim->setIgnoredInquiry(Visca::inquiry(Visca::Shutter));
    auto cam = makeCamera(kNoPoll);
    cam->setInquiryTimeout(100);
    cam->setResyncQuietInterval(20);
    QVERIFY(connectAndWait(*cam));
    QSignalSpy inquiries(m_sim.get(), &CameraSimulator::inquiryReceived);
    cam->queryShutter();
    cam->queryIris();
    QCOMPARE(cam->queuedInquiries(), 2);
    QVERIFY(inquiries.wait(kWait));
    QCOMPARE(inquiries.count(), 1);
    // The iris inquiry goes out once the shutter inquiry has timed out and
    // the line has been quiet.
    QTRY_COMPARE_WITH_TIMEOUT(inquiries.count(), 2, kWait);
    QCOMPARE(inquiries.at(1).at(0).toByteArray(), Visca::inquiry(Visca::Iris));
    QTRY_COMPARE_WITH_TIMEOUT(cam->queuedInquiries(), 0, kWait);
    QCOMPARE(cam->currentKind(), int(Visca::Iris));
}

void TestIPCamera::queueIsBounded()
{
    // A peer that accepts and never answers.
    QTcpServer silent;
    auto cam = makeCamera(kNoPoll);
    cam->setInquiryTimeout(kNoPoll);
    QTcpSocket *peer = connectToRawPeer(*cam, silent);
    QVERIFY(peer);
    for (int i = 0; i < 40; ++i)
        cam->queryZoomPos();
    QCOMPARE(cam->queuedInquiries(), IPCamera::kMaxQueuedInquiries);
    // Only the head was written.
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(5), kWait);
    QTest::qWait(50);
    QCOMPARE(peer->readAll(), Visca::inquiry(Visca::ZoomPos));
}

void TestIPCamera::lateReplyIsDiscarded()
{
    QTcpServer raw;
    auto cam = makeCamera(kNoPoll);
    cam->setInquiryTimeout(50);
    cam->setResyncQuietInterval(1000); // longer than the late answer takes to arrive
    QTcpSocket *peer = connectToRawPeer(*cam, raw);
    QVERIFY(peer);
    QSignalSpy updates(cam.get(), &CameraWrapper::clientStatusUpdated);
    cam->queryIris();
    cam->queryLuminance();
    QVERIFY(expectInquiry(peer, Visca::Iris));
    QTRY_VERIFY_WITH_TIMEOUT(cam->resynchronising(), kWait);
    peer->write(hex("905000000005ff")); // iris 5, after the time-out
    // Nothing is sent until the line is quiet; then the luminance inquiry.
    QVERIFY(expectInquiry(peer, Visca::Luminance));
    peer->write(hex("90500000000aff"));
    QTRY_COMPARE_WITH_TIMEOUT(int(cam->status().luminance), 10, kWait);
    QCOMPARE(int(cam->status().iris), 0);
    QCOMPARE(updates.count(), 1);
    QCOMPARE(cam->queuedInquiries(), 0);
}

void TestIPCamera::commandErrorKeepsInquiryOrder()
{
    QTcpServer raw;
    auto cam = makeCamera(kNoPoll);
    QTcpSocket *peer = connectToRawPeer(*cam, raw);
    QVERIFY(peer);
    QSignalSpy updates(cam.get(), &CameraWrapper::clientStatusUpdated);
    QSignalSpy cycle(cam.get(), &CameraWrapper::clientReadOneCycle);
    cam->queryShutter();
    cam->setPreset(3);
    cam->queryIris();
    cam->queryWBMode();
    QVERIFY(expectInquiry(peer, Visca::Shutter));
    QTRY_VERIFY_WITH_TIMEOUT(peer->bytesAvailable() >= 7, kWait);
    QCOMPARE(peer->read(7), Visca::setPreset(3));
    // The command is rejected on its socket (1) before the shutter answer.
    peer->write(hex("906141ff"
                    "90500000000aff"));
    QVERIFY(expectInquiry(peer, Visca::Iris));
    peer->write(hex("90500000000cff"));
    QVERIFY(expectInquiry(peer, Visca::WbMode));
    peer->write(hex("905003ff"
                    "0012")); // stray bytes after the frame, same segment
    QVERIFY(cycle.wait(kWait));
    QCOMPARE(int(cam->status().shutter), 10);
    QCOMPARE(int(cam->status().iris), 12);
    QCOMPARE(int(cam->status().wbMode), 3);
    QCOMPARE(updates.count(), 3);
    QCOMPARE(cam->queuedInquiries(), 0);
    QTest::qWait(50);
    QCOMPARE(cycle.count(), 1);
}

void TestIPCamera::repliesGoStaleAndRecover()
{
    QTcpServer raw;
    auto cam = makeCamera(kNoPoll);
    cam->setInquiryTimeout(kNoPoll);
    cam->setRepliesStaleInterval(50);
    QSignalSpy stale(cam.get(), &CameraWrapper::repliesStaleChanged);
    QTcpSocket *peer = connectToRawPeer(*cam, raw);
    QVERIFY(peer);
    cam->queryZoomPos();
    QVERIFY(expectInquiry(peer, Visca::ZoomPos));
    QVERIFY(stale.count() == 1 || stale.wait(kWait));
    QCOMPARE(stale.at(0).at(0).toBool(), true);
    peer->write(hex("905001020304ff"));
    QTRY_VERIFY_WITH_TIMEOUT(stale.count() >= 2, kWait);
    QCOMPARE(stale.at(1).at(0).toBool(), false);
}

namespace {

// A loopback listener that never accepts, its backlog filled: a connect to it
// stays pending.
class FullBacklog
{
public:
    ~FullBacklog()
    {
        m_fillers.clear();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool open()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), len) != 0 ||
            ::listen(m_fd, 0) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
            return false;
        m_port = ntohs(addr.sin_port);
        for (int i = 0; i < 8; ++i) {
            m_fillers.push_back(std::make_unique<QTcpSocket>());
            m_fillers.back()->connectToHost(QHostAddress::LocalHost, m_port);
            if (!m_fillers.back()->waitForConnected(300))
                return true; // this one stays pending: the backlog is full
        }
        return false;
    }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    std::vector<std::unique_ptr<QTcpSocket>> m_fillers;
};

} // namespace

void TestIPCamera::pendingConnectEnds_data()
{
    QTest::addColumn<bool>("deselect");
    QTest::newRow("deselected while connecting") << true;
    QTest::newRow("never accepted") << false;
}

void TestIPCamera::pendingConnectEnds()
{
    QFETCH(bool, deselect);
    FullBacklog listener;
    QVERIFY(listener.open());
    auto cam = makeCamera();
    cam->setViscaPort(listener.port());
    cam->setConnectTimeout(deselect ? kNoPoll : 100);
    QSignalSpy states(cam.get(), &CameraWrapper::clientStateChanged);
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
    cam->connectCamera();
    QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::ConnectingState, kWait);
    if (deselect) {
        cam->disconnectCamera();
        QCOMPARE(cam->socketState(), QAbstractSocket::UnconnectedState);
        QCOMPARE(errors.count(), 0);
    } else {
        QVERIFY(errors.wait(kWait));
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Connection timed out"));
        QCOMPARE(cam->socketState(), QAbstractSocket::UnconnectedState);
    }
    QCOMPARE(seenStates(states).last(), QStringLiteral("Unconnected"));
    QCOMPARE(connected.count(), 0);
    QCOMPARE(cam->retryInterval(), -1);
}

void TestIPCamera::autoReconnectBacksOff()
{
    const quint16 port = closedPort();
    auto cam = makeCamera(kNoPoll);
    cam->setViscaPort(port);
    cam->setAutoReconnect(true);
    cam->setReconnectBaseInterval(5);
    QList<int> delays;
    connect(cam.get(), &CameraWrapper::clientStateChanged, this, [&](const QString &state) {
        if (state == QLatin1String("Reconnecting"))
            delays << cam->retryInterval();
    });
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
    cam->connectCamera();
    QTRY_VERIFY_WITH_TIMEOUT(delays.size() >= 8, kWait);
    QCOMPARE(delays.mid(0, 8), (QList<int>{0, 5, 10, 20, 40, 80, 150, 150}));
    QCOMPARE(errors.count(), 1); // the first failure only: no box per retry

    // The camera answers again: a later retry connects.
    QVERIFY(m_sim->listen(QHostAddress::LocalHost, port, 0));
    QVERIFY(connected.wait(kWait));
    // A drop is retried at once.
    m_sim->dropConnections();
    QVERIFY(connected.wait(kWait));
    // Deselected: no more retries.
    cam->disconnectCamera();
    QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
    QCOMPARE(cam->retryInterval(), -1);
    QCOMPARE(connected.count(), 2);
}

void TestIPCamera::deviceNameAndSerial_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("serial");
    QTest::newRow("generated") << QByteArray() << "Sim Stage Left"
                               << "SN12345678";
    QTest::newRow("two lines") << QByteArray("devname=\"Two Line Cam\"\ndevtype=\"x\"")
                               << "Two Line Cam"
                               << "xx00000000";
    QTest::newRow("second '=' cuts")
        << QByteArray("devname=\"a=b\"\n1\n2\n3\n4\nserial=\"S1\"\n") << "a"
        << "S1";
    QTest::newRow("line without '='")
        << QByteArray("nothing here\n\n\n\n\nsn=\"Q9\"\r\n") << "0.0.0.0"
        << "Q9\r";
}

void TestIPCamera::deviceNameAndSerial()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, name);
    QFETCH(QString, serial);
    m_sim->setName(QStringLiteral("Sim Stage Left"));
    m_sim->setSerialNumber(QStringLiteral("SN12345678"));
    m_sim->setDeviceConfBody(body);
    auto cam = makeCamera(kNoPoll);
    QSignalSpy got(cam.get(), &CameraWrapper::clientFinishGetName);
    QSignalSpy requests(m_sim.get(), &CameraSimulator::httpRequestReceived);
    QVERIFY(connectAndWait(*cam));
    QVERIFY(got.wait(kWait));
    QCOMPARE(requests.at(0).at(0).toString(), QStringLiteral("/cgi-bin/param.cgi?get_device_conf"));
    QCOMPARE(cam->getDeviceName(), name);
    QCOMPARE(cam->getSerialNumber(), serial);
}

void TestIPCamera::deviceConfFailureReportsError_data()
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("error");
    QTest::newRow("refused") << "refused"
                             << "Connection refused";
    QTest::newRow("body over the limit") << "oversized"
                                         << "Camera reply too large";
    QTest::newRow("no answer") << "silent"
                               << "The camera 127.0.0.1 did not answer its web page within 0.2 s.";
}

void TestIPCamera::deviceConfFailureReportsError()
{
    QFETCH(QString, peer);
    QFETCH(QString, error);
    auto cam = makeCamera(kNoPoll);
    QTcpServer silent; // accepts and never answers
    if (peer == QLatin1String("oversized")) {
        m_sim->setDeviceConfBody("devname=\"Big\"\n" +
                                 QByteArray(int(IPCamera::kMaxDeviceConfBytes) * 2, 'x'));
    } else if (peer == QLatin1String("silent")) {
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        cam->setHttpPort(silent.serverPort());
        cam->setHttpTimeout(200);
    } else {
        cam->setHttpPort(closedPort());
    }
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    QSignalSpy got(cam.get(), &CameraWrapper::clientFinishGetName);
    QVERIFY(connectAndWait(*cam));
    QVERIFY(errors.wait(kWait));
    QCOMPARE(errors.at(0).at(0).toString(), error);
    QCOMPARE(got.count(), 0);
    QCOMPARE(cam->getDeviceName(), QStringLiteral("0.0.0.0"));
    QCOMPARE(cam->getSerialNumber(), QStringLiteral("xx00000000"));
}

// A new thumbnail replaces the old file whole: whoever has the old one open
// still reads it complete, and nothing half-written is ever at the path.
void TestIPCamera::snapshotReplacesThumbnailWhole()
{
    const QString path = Storage::snapshotPath(QStringLiteral("127.0.0.1"), 5);
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old thumbnail");
    old.close();
    QVERIFY(old.open(QIODevice::ReadOnly));

    auto cam = makeCamera(kNoPoll);
    QSignalSpy finished(cam.get(), &CameraWrapper::clientFinishDownload);
    cam->downloadSnapshot(5);
    QVERIFY(finished.wait(kWait));
    QCOMPARE(old.readAll(), QByteArray("old thumbnail"));
    QFile fresh(path);
    QVERIFY(fresh.open(QIODevice::ReadOnly));
    QImage image;
    QVERIFY(image.loadFromData(fresh.readAll(), "JPG"));
    QCOMPARE(QDir(Storage::downloadsFolder()).entryList(QDir::Files),
             QStringList{QFileInfo(path).fileName()});
}

// With automatic reconnection a camera that keeps dropping its connection
// opens one box for the outage, not one per drop; selecting it anew starts
// a new story.
void TestIPCamera::flappingCameraShowsOneBoxPerOutage()
{
    auto cam = makeCamera(kNoPoll);
    cam->setAutoReconnect(true);
    cam->setReconnectBaseInterval(5);
    cam->setStableConnectionInterval(0); // every connection counts as established
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
    QVERIFY(connectAndWait(*cam));
    for (int drop = 1; drop <= 3; ++drop) {
        m_sim->dropConnections();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), drop + 1, kWait);
    }
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(),
             QStringLiteral("The remote host closed the connection"));

    cam->disconnectCamera();
    QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
    QVERIFY(connectAndWait(*cam));
    m_sim->dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, kWait);
}

void TestIPCamera::snapshotsAnsweredInReverseOrder()
{
    auto cam = makeCamera(kNoPoll);
    m_sim->setSnapshotDelays({600, 0});
    QSignalSpy finished(cam.get(), &CameraWrapper::clientFinishDownload);
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    cam->downloadSnapshot(3);
    cam->downloadSnapshot(4);
    QVERIFY(finished.wait(kWait));
    const QString path4 = Storage::snapshotPath(QStringLiteral("127.0.0.1"), 4);
    const QString path3 = Storage::snapshotPath(QStringLiteral("127.0.0.1"), 3);
    QCOMPARE(finished.at(0).at(0).toInt(), 4);
    QVERIFY(QFile::exists(path4));
    QVERIFY(!QFile::exists(path3));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kWait);
    QCOMPARE(finished.at(1).at(0).toInt(), 3);
    QVERIFY(path4.endsWith(QStringLiteral("/snapshot_127.0.0.14.jpg")));
    QFile file(path3);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QImage image;
    QVERIFY(image.loadFromData(file.readAll(), "JPG"));
    QCOMPARE(image.size(), QSize(640, 360));
    QVERIFY(errors.isEmpty());
}

void TestIPCamera::snapshotFailureReportsError()
{
    auto cam = makeCamera(kNoPoll);
    cam->setHttpPort(closedPort());
    QSignalSpy finished(cam.get(), &CameraWrapper::clientFinishDownload);
    QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
    cam->downloadSnapshot(2);
    QVERIFY(errors.wait(kWait));
    QCOMPARE(finished.count(), 0);
    QVERIFY(!QFile::exists(Storage::snapshotPath(QStringLiteral("127.0.0.1"), 2)));
}

QTEST_MAIN(TestIPCamera)
#include "tst_ipcamera.moc"
