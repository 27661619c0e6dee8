// IPCamera against the camera simulator and scripted raw peers on loopback:
// connection, reconnect and its automatic retries, pending connects, polling,
// reply attribution (late replies, command errors), stale replies, device
// configuration, snapshots and the snapshot path of a hostile camera id.

#include "camerasimulator.h"
#include "ipcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "visca.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

constexpr int kWait = 5000;
constexpr int kNoPoll = 100000;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
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
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("corvanta.camera.debug=false"));
    }
    void init()
    {
        m_home = std::make_unique<TempDataHome>();
        QVERIFY(QDir().mkpath(Storage::downloadsFolder()));
        m_sim = std::make_unique<CameraSimulator>();
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0, 0));
    }
    void cleanup()
    {
        m_sim.reset();
        m_home.reset();
    }

    // Connecting reports Connecting, then Connected; connecting again while
    // connected only reports the state. Polls ask the twelve kinds in order,
    // a cycle ending with the white-balance answer, and store the simulator's
    // answers.
    void connectsAndPolls()
    {
        m_sim->setPosition(-16, 0x123, 0x2A5F, 0x1B3C);
        auto cam = makeCamera(10);
        cam->status().autoFocus = true; // the answer turns it off
        QSignalSpy states(cam.get(), &CameraWrapper::clientStateChanged);
        QSignalSpy inquiries(m_sim.get(), &CameraSimulator::inquiryReceived);
        QSignalSpy cycle(cam.get(), &CameraWrapper::clientReadOneCycle);
        QVERIFY(connectAndWait(*cam));
        QVERIFY(seenStates(states).contains("Connecting"));
        QCOMPARE(seenStates(states).last(), QStringLiteral("Connected"));
        states.clear();
        cam->connectCamera();
        QCOMPARE(seenStates(states), QStringList{"Connected"});
        QSignalSpy commands(m_sim.get(), &CameraSimulator::commandReceived);
        cam->setShutter(9); // shutter 10
        cam->setIris(12);
        cam->setBright(17);
        cam->setLuminance(0x0C);
        cam->setContrast(0x09);
        cam->setHue(0x03);
        cam->setAeMode(2); // 0x0A
        cam->setWBMode(3);
        cam->setAutoFocus(false);
        QTRY_COMPARE_WITH_TIMEOUT(commands.count(), 9, kWait);
        const int cycles = cycle.count();
        QTRY_VERIFY_WITH_TIMEOUT(cycle.count() >= cycles + 2, kWait); // a whole cycle after
        const CameraStatus &s = cam->status();
        QCOMPARE(QList<int>({s.autoFocus, s.shutter, s.iris, s.bright, s.luminance, s.contrast,
                             s.hue, s.aeMode, s.wbMode}),
                 QList<int>({0, 10, 12, 17, 0x0C, 0x09, 0x03, 0x0A, 0x03}));
        // Pan/tilt, zoom and focus digits: 16 bytes in a row.
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(s.panTiltPos), 16).toHex(),
                 QByteArray("0f0f0f0000010203020a050f010b030c"));
        cam->disconnectCamera();
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 0, kWait);
        QCOMPARE(m_sim->acceptedConnections(), 1);
        for (int i = 0; i < inquiries.count(); ++i)
            QCOMPARE(inquiries.at(i).at(0).toByteArray(), Visca::inquiry(3 + i % 12));
        QVERIFY(cycle.count() == inquiries.count() / 12 ||
                cycle.count() == inquiries.count() / 12 - 1);
    }

    void disconnectRequestSuppressesOneReconnect_data()
    {
        QTest::addColumn<bool>("requestedBeforeConnect");
        QTest::newRow("while polling") << false;
        QTest::newRow("before connect, then peer drops") << true;
    }
    void disconnectRequestSuppressesOneReconnect()
    {
        QFETCH(bool, requestedBeforeConnect);
        auto cam = makeCamera(requestedBeforeConnect ? kNoPoll : 10);
        if (requestedBeforeConnect)
            cam->disconnectCamera(); // unconnected: only remembers the request
        QVERIFY(connectAndWait(*cam));
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
        QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
        if (requestedBeforeConnect)
            m_sim->dropConnections();
        else
            cam->disconnectCamera();
        QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 0, kWait);
        QTest::qWait(100);
        QCOMPARE(
            QList<int>({connected.count(), m_sim->acceptedConnections(), cam->queuedInquiries()}),
            QList<int>({0, 1, 0}));
        // The request was used up by that disconnection: a later loss
        // reconnects, once, reported by state only.
        QVERIFY(connectAndWait(*cam));
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->openConnections(), 1, kWait);
        QSignalSpy disconnected(cam.get(), &CameraWrapper::clientDisconnected);
        QSignalSpy states(cam.get(), &CameraWrapper::clientStateChanged);
        m_sim->dropConnections();
        QVERIFY(connected.wait(kWait));
        QTest::qWait(100);
        QCOMPARE(
            QList<int>({connected.count(), m_sim->acceptedConnections(), disconnected.count()}),
            QList<int>({2, 3, 0}));
        QVERIFY(seenStates(states).contains(QStringLiteral("Unconnected")));
    }

    void failedReconnectIsNotRepeated_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("refused") << true;
        QTest::newRow("dropped at once") << false;
    }
    void failedReconnectIsNotRepeated()
    {
        QFETCH(bool, refused);
        auto cam = makeCamera(kNoPoll);
        QSignalSpy got(cam.get(), &CameraWrapper::clientFinishGetName);
        QVERIFY(connectAndWait(*cam));
        QVERIFY(got.wait(kWait)); // no HTTP request left in flight
        QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
        QSignalSpy states(cam.get(), &CameraWrapper::clientStateChanged);
        QSignalSpy connected(cam.get(), &CameraWrapper::clientConnected);
        m_sim->setDropNewConnections(true);
        refused ? m_sim->close() : m_sim->dropConnections(); // close: stop listening and drop
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->acceptedConnections(), refused ? 1 : 2, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(cam->socketState(), QAbstractSocket::UnconnectedState, kWait);
        QTest::qWait(200);
        QCOMPARE(m_sim->acceptedConnections(), refused ? 1 : 2);
        QCOMPARE(cam->socketState(), QAbstractSocket::UnconnectedState);
        QCOMPARE(seenStates(states).count(QStringLiteral("Connecting")), 1);
        if (refused) {
            QCOMPARE(connected.count(), 0);
            QCOMPARE(errors.value(1).value(0).toString(), QStringLiteral("Connection refused"));
        }
    }

    // An inquiry that times out puts the line into resynchronisation: its late
    // answer is discarded and the next inquiry waits for a quiet line.
    void lateReplyIsDiscarded()
    {
        QTcpServer raw; // a peer played by the test
        QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
        auto cam = makeCamera(kNoPoll);
        cam->setInquiryTimeout(50);
        cam->setResyncQuietInterval(1000); // longer than the late answer takes to arrive
        cam->setRepliesStaleInterval(20);
        QSignalSpy stale(cam.get(), &CameraWrapper::repliesStaleChanged);
        cam->setViscaPort(raw.serverPort());
        QVERIFY(connectAndWait(*cam));
        QTcpSocket *peer = raw.nextPendingConnection();
        QVERIFY(peer || (raw.waitForNewConnection(kWait) && (peer = raw.nextPendingConnection())));
        QSignalSpy updates(cam.get(), &CameraWrapper::clientStatusUpdated);
        cam->queryIris();
        cam->queryLuminance();
        QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(5), kWait);
        QCOMPARE(peer->read(5), Visca::inquiry(Visca::Iris));
        QTRY_VERIFY_WITH_TIMEOUT(cam->resynchronising(), kWait);
        cam->setInquiryTimeout(kNoPoll);    // the next inquiry waits for its answer
        peer->write(hex("905000000005ff")); // iris 5, after the time-out
        QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(5), kWait);
        QCOMPARE(peer->read(5), Visca::inquiry(Visca::Luminance));
        peer->write(hex("90500000000aff"));
        QTRY_COMPARE_WITH_TIMEOUT(int(cam->status().luminance), 10, kWait);
        QCOMPARE((QList<int>{cam->status().iris, updates.count(), cam->queuedInquiries(),
                             cam->currentKind()}),
                 (QList<int>{0, 1, 0, Visca::Luminance}));
        // Stale while nothing answered (the late answer does not count),
        // fresh again with the answer.
        QCOMPARE(stale.mid(0, 2), (QList<QVariantList>{{true}, {false}}));
    }

    void autoReconnectBacksOff()
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

    // The device page read after each connection; an empty error means a
    // reply is expected.
    void deviceConf_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("error");
        QTest::newRow("generated") << "sim" << QByteArray() << "Sim Stage Left"
                                   << "SN12345678" << QString();
        QTest::newRow("second '=' cuts")
            << "sim" << QByteArray("devname=\"a=b\"\n1\n2\n3\n4\nserial=\"S1\"\n") << "a"
            << "S1" << QString();
        // Failures keep the stored device name and serial number.
        const auto fail = [](const char *row, const char *peer, const QByteArray &body,
                             const char *error) {
            QTest::newRow(row) << peer << body << "0.0.0.0"
                               << "xx00000000" << error;
        };
        fail("body over the limit", "sim",
             "devname=\"Big\"\n" + QByteArray(int(IPCamera::kMaxDeviceConfBytes) * 2, 'x'),
             "Camera reply too large");
        fail("refused", "refused", {}, "Connection refused");
        fail("no answer", "silent", {},
             "The camera 127.0.0.1 did not answer its web page within 0.2 s.");
    }
    void deviceConf()
    {
        QFETCH(QString, peer);
        QFETCH(QByteArray, body);
        QFETCH(QString, name);
        QFETCH(QString, serial);
        QFETCH(QString, error);
        m_sim->setName(QStringLiteral("Sim Stage Left"));
        m_sim->setSerialNumber(QStringLiteral("SN12345678"));
        m_sim->setDeviceConfBody(body);
        auto cam = makeCamera(kNoPoll);
        QTcpServer silent; // accepts and never answers
        if (peer == QLatin1String("silent")) {
            QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
            cam->setHttpPort(silent.serverPort());
            cam->setHttpTimeout(200);
        } else if (peer == QLatin1String("refused")) {
            cam->setHttpPort(closedPort());
        }
        QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
        QSignalSpy got(cam.get(), &CameraWrapper::clientFinishGetName);
        QSignalSpy requests(m_sim.get(), &CameraSimulator::httpRequestReceived);
        QVERIFY(connectAndWait(*cam));
        QVERIFY(error.isEmpty() ? got.wait(kWait) : errors.wait(kWait));
        if (peer == QLatin1String("sim"))
            QCOMPARE(requests.at(0).at(0).toString(),
                     QStringLiteral("/cgi-bin/param.cgi?get_device_conf"));
        QCOMPARE(errors.value(0).value(0).toString(), error);
        QCOMPARE(got.count(), error.isEmpty() ? 1 : 0);
        QCOMPARE(cam->getDeviceName(), name);
        QCOMPARE(cam->getSerialNumber(), serial);
    }

    // Answers arrive in reverse order; a new thumbnail replaces the old file
    // whole: whoever has the old one open still reads it complete, and
    // nothing else is left in the folder.
    void snapshots()
    {
        const QString path3 = Storage::snapshotPath(QStringLiteral("127.0.0.1"), 3);
        const QString path4 = Storage::snapshotPath(QStringLiteral("127.0.0.1"), 4);
        QFile old(path3);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old thumbnail") == 13);
        old.close();
        QVERIFY(old.open(QIODevice::ReadOnly));
        auto cam = makeCamera(kNoPoll);
        m_sim->setSnapshotDelays({600, 0});
        QSignalSpy finished(cam.get(), &CameraWrapper::clientFinishDownload);
        QSignalSpy errors(cam.get(), &CameraWrapper::clientError);
        cam->downloadSnapshot(3);
        cam->downloadSnapshot(4);
        QVERIFY(finished.wait(kWait) && QFile::exists(path4));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kWait);
        QCOMPARE(QList<QVariantList>(finished), (QList<QVariantList>{{4}, {3}}));
        QCOMPARE(old.readAll(), QByteArray("old thumbnail"));
        QCOMPARE(QImage(path3, "JPG").size(), QSize(640, 360));
        QCOMPARE(QDir(Storage::downloadsFolder()).entryList(QDir::Files),
                 (QStringList{QFileInfo(path3).fileName(), QFileInfo(path4).fileName()}));
        QVERIFY(errors.isEmpty());

        cam->setHttpPort(closedPort());
        cam->downloadSnapshot(2);
        QVERIFY(errors.wait(kWait));
        QCOMPARE(finished.count(), 2);
        QVERIFY(!QFile::exists(Storage::snapshotPath(QStringLiteral("127.0.0.1"), 2)));
    }

    // A camera id never leads a snapshot path out of the downloads folder.
    void snapshotPathStaysInDownloads_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("ip") << "127.0.0.1"
                            << "snapshot_127.0.0.13.jpg";
        QTest::newRow("host") << "cam-1.studio"
                              << "snapshot_cam-1.studio3.jpg";
        QTest::newRow("parent") << "/../../victim"
                                << "snapshot__.._.._victim3.jpg";
        QTest::newRow("backslash") << "..\\..\\x"
                                   << "snapshot_.._.._x3.jpg";
        QTest::newRow("nul") << QString("a") + QChar(0) + "b"
                             << "snapshot_a_b3.jpg";
        QTest::newRow("dots only") << ".."
                                   << "snapshot_..3.jpg";
    }
    void snapshotPathStaysInDownloads()
    {
        QFETCH(QString, id);
        QFETCH(QString, fileName);
        const QString path = QDir::cleanPath(Storage::snapshotPath(id, 3));
        QCOMPARE(QFileInfo(path).absolutePath(), QDir::cleanPath(Storage::downloadsFolder()));
        QVERIFY(path.startsWith(Storage::appDataFolder() + "/corvanta-controller/downloads/"));
        QCOMPARE(QFileInfo(path).fileName(), fileName);
    }

private:
    std::unique_ptr<IPCamera> makeCamera(int pollMs)
    {
        auto cam = std::make_unique<IPCamera>(QStringLiteral("127.0.0.1"),
                                              QStringLiteral("Camera1"), QStringLiteral("0.0.0.0"));
        cam->setViscaPort(m_sim->viscaPort());
        cam->setHttpPort(m_sim->httpPort());
        cam->setPollInterval(pollMs);
        return cam;
    }
    bool connectAndWait(IPCamera &cam)
    {
        QSignalSpy connected(&cam, &CameraWrapper::clientConnected);
        cam.connectCamera();
        return connected.count() > 0 || connected.wait(kWait);
    }
    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<CameraSimulator> m_sim;
};

QTEST_MAIN(TestIPCamera)
#include "tst_ipcamera.moc"
