// Lamp commands at camera simulators on loopback: the selected camera through
// its own connection, cameras that are not selected over a kept connection of
// their own, custom messages, once per change, again after a reconnection.

#include "cameracontrol.h"
#include "camerasimulator.h"
#include "ipcamera.h"
#include "tallylamps.h"
#include "visca.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 10000;
const QByteArray kLampOn = QByteArray::fromHex("81017e010a0002ff");
const QByteArray kLampOff = QByteArray::fromHex("81017e010a0003ff");
const QByteArray kCustomProgram = QByteArray::fromHex("81010a0102ff");
const QByteArray kCustomIdle = QByteArray::fromHex("81010a0103ff");

int countOf(const CameraSimulator &sim, const QByteArray &message)
{
    return sim.receivedMessages().count(message);
}

} // namespace

class TestTallyLamps : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void messageFor_data();
    void messageFor();
    void selectedAndOtherCamerasGetTheirLamp();
    void keptConnectionIsReopenedAndResent();
    void selectedCameraReconnectingGetsItAgain();
    void selectingACameraClosesItsOwnConnection();

private:
    CameraSimulator &sim(int i) { return *m_sims[i]; }

    std::unique_ptr<CameraSimulator> m_sims[3];
    std::unique_ptr<CameraControl> control;
    std::unique_ptr<TallyModel> model;
    std::unique_ptr<TallyLamps> lamps;
};

void TestTallyLamps::init()
{
    control = std::make_unique<CameraControl>(nullptr);
    QList<CameraWrapper *> list;
    for (int i = 0; i < 3; ++i) {
        const QString ip = QStringLiteral("127.0.0.%1").arg(i + 1);
        m_sims[i] = std::make_unique<CameraSimulator>();
        QVERIFY(sim(i).listen(QHostAddress(ip), 0, 0));
        auto *cam = new IPCamera(ip, QStringLiteral("Sim%1").arg(i + 1), "dev");
        cam->setViscaPort(sim(i).viscaPort());
        cam->setHttpPort(sim(i).httpPort());
        list << cam;
    }
    // A slot left at the default address gets nothing, whatever its command.
    list << new IPCamera("0.0.0.0", "Camera4", "0.0.0.0");
    control->setCameras(list);
    model = std::make_unique<TallyModel>();
    model->setMappings({{"A", ""}, {"B", ""}, {"C", ""}, {"A", ""}});
    QVERIFY(control->selectCamera(0));
    QTRY_VERIFY_WITH_TIMEOUT(control->canDrive(), kWait);
    lamps = std::make_unique<TallyLamps>(control.get(), model.get());
    lamps->setReconnectBaseInterval(20);
    TallyLamps::Command lamp;
    lamp.mode = TallyLamps::Lamp;
    TallyLamps::Command custom;
    custom.mode = TallyLamps::Custom;
    custom.program = kCustomProgram;
    custom.off = kCustomIdle; // nothing on preview
    lamps->setCommand(0, lamp);
    lamps->setCommand(1, lamp);
    lamps->setCommand(2, custom);
    lamps->setCommand(3, lamp);
    // A command that is set sends the slot's state (all idle) at once.
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(0), kLampOff), 1, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(1), kLampOff), 1, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(2), kCustomIdle), 1, kWait);
    QCOMPARE(lamps->openLinks(), 2);
    for (auto &s : m_sims)
        s->clearLog();
}

void TestTallyLamps::cleanup()
{
    lamps.reset();
    model.reset();
    control.reset();
    for (auto &s : m_sims)
        s.reset();
}

void TestTallyLamps::messageFor_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("lamp, program") << int(TallyLamps::Lamp) << int(TallyModel::Program) << kLampOn;
    QTest::newRow("lamp, preview") << int(TallyLamps::Lamp) << int(TallyModel::Preview) << kLampOff;
    QTest::newRow("lamp, idle") << int(TallyLamps::Lamp) << int(TallyModel::Idle) << kLampOff;
    QTest::newRow("custom, program")
        << int(TallyLamps::Custom) << int(TallyModel::Program) << kCustomProgram;
    QTest::newRow("custom, preview empty")
        << int(TallyLamps::Custom) << int(TallyModel::Preview) << QByteArray();
    QTest::newRow("off") << int(TallyLamps::Off) << int(TallyModel::Program) << QByteArray();
}

void TestTallyLamps::messageFor()
{
    QFETCH(int, mode);
    QFETCH(int, state);
    QFETCH(QByteArray, message);
    TallyLamps::Command c;
    c.mode = mode;
    c.program = kCustomProgram;
    c.off = kCustomIdle;
    QCOMPARE(TallyLamps::messageFor(c, TallyModel::State(state)), message);
}

void TestTallyLamps::selectedAndOtherCamerasGetTheirLamp()
{
    // Slot 2 (not selected) goes to program, slot 1 (selected) to preview.
    model->setObsScenes("B", "A");
    QTRY_VERIFY_WITH_TIMEOUT(sim(1).tallyLamp(), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(0), kLampOff), 1, kWait);
    QCOMPARE(sim(0).acceptedConnections(), 1); // its own connection, not a second one

    // Slot 3 to program: its custom message; slots 1 and 2 unchanged, so
    // nothing more for them.
    model->setObsScenes("C", "A");
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(2), kCustomProgram), 1, kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!sim(1).tallyLamp(), kWait);
    QCOMPARE(countOf(sim(1), kLampOn), 1);
    QCOMPARE(countOf(sim(1), kLampOff), 1);
    QCOMPARE(countOf(sim(0), kLampOff), 1);
    // The kept connection carried both of slot 2's messages.
    QCOMPARE(sim(1).acceptedConnections(), 1);

    // Slot 3 back to idle: its idle message over the kept connection.
    model->setObsScenes(QString(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(2), kCustomIdle), 1, kWait);
    QCOMPARE(sim(2).acceptedConnections(), 1);
    QCOMPARE(lamps->openLinks(), 2);
    QCOMPARE(countOf(sim(0), kLampOn), 0);
}

void TestTallyLamps::keptConnectionIsReopenedAndResent()
{
    model->setObsScenes("B", QString());
    QTRY_VERIFY_WITH_TIMEOUT(sim(1).tallyLamp(), kWait);
    // The camera restarts: its lamp is out and the connection gone.
    sim(1).dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(1), kLampOn), 2, kWait);
    QCOMPARE(sim(1).acceptedConnections(), 2);

    // Unreachable for a while: retried until it listens again.
    const quint16 port = sim(1).viscaPort();
    sim(1).close();
    QTest::qWait(100);
    QVERIFY(sim(1).listen(QHostAddress("127.0.0.2"), port, 0));
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(1), kLampOn), 3, kWait);
}

void TestTallyLamps::selectedCameraReconnectingGetsItAgain()
{
    model->setObsScenes("A", QString());
    QTRY_VERIFY_WITH_TIMEOUT(sim(0).tallyLamp(), kWait);
    QCOMPARE(countOf(sim(0), kLampOn), 1);
    sim(0).dropConnections(); // the camera reopens it by itself
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(0), kLampOn), 2, kWait);
    QCOMPARE(sim(0).acceptedConnections(), 2);
}

void TestTallyLamps::selectingACameraClosesItsOwnConnection()
{
    model->setObsScenes("B", QString());
    QTRY_VERIFY_WITH_TIMEOUT(sim(1).tallyLamp(), kWait);
    QCOMPARE(lamps->openLinks(), 2);
    QVERIFY(control->selectCamera(1));
    // Sent again through the selected camera's connection; ours is closed.
    QTRY_COMPARE_WITH_TIMEOUT(countOf(sim(1), kLampOn), 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(sim(1).openConnections(), 1, kWait);
    QCOMPARE(lamps->openLinks(), 1);
}

QTEST_GUILESS_MAIN(TestTallyLamps)
#include "tst_tallylamps.moc"
