// What the tally makes happen. Lamps: at camera simulators on loopback a kept
// connection of our own to a camera that is not selected is reopened and the
// message sent again; selecting the camera closes it and the camera's own
// connection carries the message. Protection, enforced by the control layer:
// each recall and motion start asks the guard with its kind and the selected
// slot, a refusal sends nothing and is signalled, stops always go through.
// (Lamps and protection following OBS end to end, and the camera API's
// refusal: tests/app.)

#include "cameracontrol.h"
#include "camerasimulator.h"
#include "ipcamera.h"
#include "recordingcamera.h"
#include "tallylamps.h"
#include "tempdatahome.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
constexpr int kWait = 10000;
const QByteArray kOn = QByteArray::fromHex("81017e010a0002ff");
const QByteArray kOff = QByteArray::fromHex("81017e010a0003ff");
using Op = std::function<bool(CameraControl &)>;
} // namespace

Q_DECLARE_METATYPE(Op)

class TestTallyActions : public QObject
{
    Q_OBJECT
private slots:
    void lampConnections();
    void guardedOperations_data();
    void guardedOperations();
    void stopsAreNeverRefused();

private:
    int count(int i, const QByteArray &m) { return sims[i]->receivedMessages().count(m); }
    // Two recording cameras, slot 1 selected; the guard refuses refusedKind
    // on slot 0 with "no 0".
    void startGuarded();
    RecordingCamera *cam(int i) { return static_cast<RecordingCamera *>(control->cameraAt(i)); }

    TempDataHome home;
    std::unique_ptr<CameraSimulator> sims[2];
    std::unique_ptr<CameraControl> control;
    std::unique_ptr<TallyModel> model;
    std::unique_ptr<TallyLamps> lamps;
    int refusedKind = -1;
};

// Two simulators, slot 1 selected, every slot with the lamp; slot 2 gets a
// connection of our own, slot 3 at the default address nothing.
void TestTallyActions::lampConnections()
{
    control = std::make_unique<CameraControl>(nullptr);
    QList<CameraWrapper *> list;
    for (int i = 0; i < 2; ++i) {
        const QString ip = QStringLiteral("127.0.0.%1").arg(i + 1);
        sims[i] = std::make_unique<CameraSimulator>();
        QVERIFY(sims[i]->listen(QHostAddress(ip), 0, 0));
        auto *cam = new IPCamera(ip, QStringLiteral("Sim%1").arg(i + 1), "dev");
        cam->setViscaPort(sims[i]->viscaPort());
        cam->setHttpPort(sims[i]->httpPort());
        list << cam;
    }
    control->setCameras(list << new IPCamera("0.0.0.0", "Camera3", "0.0.0.0"));
    model = std::make_unique<TallyModel>();
    model->setMappings({{"A", ""}, {"B", ""}, {"A", ""}});
    QVERIFY(control->selectCamera(0));
    QTRY_VERIFY_WITH_TIMEOUT(control->canDrive(), kWait);
    lamps = std::make_unique<TallyLamps>(control.get(), model.get());
    lamps->setReconnectBaseInterval(20);
    for (int slot : {0, 1, 2})
        lamps->setCommand(slot, {TallyLamps::Lamp, {}, {}, {}});
    // A command that is set sends the slot's state (all idle) at once.
    QTRY_COMPARE_WITH_TIMEOUT(count(0, kOff) + count(1, kOff), 2, kWait);
    QCOMPARE(lamps->openLinks(), 1);
    model->setObsScenes("B", QString());
    QTRY_VERIFY_WITH_TIMEOUT(sims[1]->tallyLamp(), kWait);
    // The camera restarts: its lamp is out and the connection gone.
    sims[1]->dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(count(1, kOn), 2, kWait);
    QCOMPARE(sims[1]->acceptedConnections(), 2);
    // Selected: sent again through the camera's own connection; ours closes.
    QVERIFY(control->selectCamera(1));
    QTRY_COMPARE_WITH_TIMEOUT(count(1, kOn), 3, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(sims[1]->openConnections(), 1, kWait);
    QCOMPARE(lamps->openLinks(), 0);
}

void TestTallyActions::startGuarded()
{
    lamps.reset();
    control = std::make_unique<CameraControl>(nullptr);
    control->setCameras({new RecordingCamera("127.0.1.1"), new RecordingCamera("127.0.1.2")});
    refusedKind = -1;
    control->setGuard([this](int slot, CameraControl::Guarded what) {
        return slot == 0 && what == refusedKind ? QStringLiteral("no 0") : QString();
    });
    QVERIFY(control->selectCamera(0));
    cam(0)->calls.clear();
}

void TestTallyActions::guardedOperations_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("sent");
    const auto row = [](const char *name, int kind, const char *sent, Op op) {
        QTest::newRow(name) << op << kind << QString(sent);
    };
    const int recall = CameraControl::GuardedRecall, move = CameraControl::GuardedMove;
    row("recall", recall, "callPreset(3)", [](auto &c) { return c.recallPreset(3); });
    row("map box", recall, "callPreset(9)", [](auto &c) { return c.recallPresetPosition(9); });
    row("move", move, "moveUp(0,5)", [](auto &c) { return c.move(CameraControl::Up, 0, 5); });
    row("home", move, "moveHome", [](auto &c) { return c.moveHome(); });
    row("zoom", move, "zoomIn(3)", [](auto &c) { return c.zoomIn(3); });
    row("focus", move, "focusOut(1)", [](auto &c) { return c.focusOut(); });
}

void TestTallyActions::guardedOperations()
{
    QFETCH(Op, op);
    QFETCH(int, kind);
    QFETCH(QString, sent);
    startGuarded();
    QSignalSpy refused(control.get(), &CameraControl::refused);
    refusedKind = kind;
    QVERIFY(!op(*control));
    QVERIFY(cam(0)->calls.isEmpty());
    QCOMPARE(refused.size(), 1);
    QCOMPARE(refused.at(0).at(0).toString(), QStringLiteral("no 0"));
    refusedKind = 1 - kind; // the other kind lets it run
    QVERIFY(op(*control));
    QCOMPARE(cam(0)->calls.join(' '), sent);
}

void TestTallyActions::stopsAreNeverRefused()
{
    startGuarded();
    QVERIFY(control->move(CameraControl::Left, 4, 0));
    QVERIFY(control->zoomOut(2));
    QVERIFY(control->focusIn(1));
    // The camera is cut to program while it moves: the stops still go.
    refusedKind = CameraControl::GuardedMove;
    QVERIFY(!control->move(CameraControl::Right, 4, 0));
    QVERIFY(control->stopMove());
    control->stopAll();
    QVERIFY(control->stopZoom()); // with nothing running, still sent
    QCOMPARE(cam(0)->calls, QStringList({"moveLeft(4,0)", "zoomOut(2)", "focusIn(1)",
                                         "moveStop(0,0)", "zoomStop", "focusStop", "zoomStop"}));
    QVERIFY(control->selectCamera(1)); // the guard is asked about the selected slot
    QVERIFY(control->move(CameraControl::Right, 4, 0));
}

QTEST_GUILESS_MAIN(TestTallyActions)
#include "tst_tallyactions.moc"
