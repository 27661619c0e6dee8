// What the tally makes happen. Lamps: the message for each state; at camera
// simulators on loopback a kept connection of our own to a camera that is not
// selected is reopened and the message sent again; selecting the camera
// closes it and the camera's own connection carries the message, again after
// a reconnection. Protection, enforced by the control layer: each recall and
// motion start asks the guard with its kind and the selected slot, a refusal
// sends nothing and is signalled, stops always go through. The "Tally
// Setting" dialog over a real settings file: a bad custom message blocks the
// save, a good one is stored normalised. (Lamps and protection following OBS
// end to end, and the camera API's refusal: tests/app.)

#include "appsettings.h"
#include "cameracontrol.h"
#include "camerasimulator.h"
#include "ipcamera.h"
#include "recordingcamera.h"
#include "tallylamps.h"
#include "tallysettingdlg.h"
#include "tempdatahome.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
constexpr int kWait = 10000;
const QByteArray kOn = QByteArray::fromHex("81017e010a0002ff");
const QByteArray kOff = QByteArray::fromHex("81017e010a0003ff");
const QByteArray kCustomProgram = QByteArray::fromHex("81010a0102ff");
const QByteArray kCustomIdle = QByteArray::fromHex("81010a0103ff");
using Op = std::function<bool(CameraControl &)>;
} // namespace

Q_DECLARE_METATYPE(Op)

class TestTallyActions : public QObject
{
    Q_OBJECT
private slots:
    void messageFor();
    void keptConnectionIsReopenedAndResent();
    void selectingACameraClosesItsOwnConnection();
    void guardedOperations_data();
    void guardedOperations();
    void stopsAreNeverRefused();
    void settingDialog();

private:
    // Two simulators, slot 1 selected, every slot with the lamp; slot 2 gets
    // a connection of our own, slot 3 at the default address nothing.
    void startLamps();
    int count(int i, const QByteArray &message)
    {
        return sims[i]->receivedMessages().count(message);
    }
    // Two recording cameras, slot 1 selected; the guard refuses refusedKind
    // on slot 0 with "no 0".
    void startGuarded();
    RecordingCamera *cam(int i) { return static_cast<RecordingCamera *>(control->cameraAt(i)); }

    std::unique_ptr<CameraSimulator> sims[2];
    std::unique_ptr<CameraControl> control;
    std::unique_ptr<TallyModel> model;
    std::unique_ptr<TallyLamps> lamps;
    int refusedKind = -1;
};

void TestTallyActions::startLamps()
{
    lamps.reset();
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
}

void TestTallyActions::messageFor()
{
    const TallyLamps::Command lamp{TallyLamps::Lamp, kCustomProgram, {}, kCustomIdle};
    const TallyLamps::Command custom{TallyLamps::Custom, kCustomProgram, {}, kCustomIdle};
    QList<QByteArray> sent;
    for (const TallyLamps::Command &c : {lamp, custom, TallyLamps::Command{}}) {
        for (TallyModel::State s : {TallyModel::Program, TallyModel::Preview, TallyModel::Idle})
            sent << TallyLamps::messageFor(c, s);
    }
    QCOMPARE(sent,
             QList<QByteArray>({kOn, kOff, kOff, kCustomProgram, {}, kCustomIdle, {}, {}, {}}));
}

void TestTallyActions::keptConnectionIsReopenedAndResent()
{
    startLamps();
    // The camera restarts: its lamp is out and the connection gone.
    sims[1]->dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(count(1, kOn), 2, kWait);
    QCOMPARE(sims[1]->acceptedConnections(), 2);
    // Unreachable for a while (some retries fail; how many does not matter):
    // retried until it listens again.
    const quint16 port = sims[1]->viscaPort();
    sims[1]->close();
    QTest::qWait(100);
    QVERIFY(sims[1]->listen(QHostAddress("127.0.0.2"), port, 0));
    QTRY_COMPARE_WITH_TIMEOUT(count(1, kOn), 3, kWait);
}

void TestTallyActions::selectingACameraClosesItsOwnConnection()
{
    startLamps();
    QVERIFY(control->selectCamera(1));
    // Sent again through the selected camera's connection; ours is closed.
    QTRY_COMPARE_WITH_TIMEOUT(count(1, kOn), 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(sims[1]->openConnections(), 1, kWait);
    QCOMPARE(lamps->openLinks(), 0);
    // The selected camera reconnecting (by itself) gets it again.
    sims[1]->dropConnections();
    QTRY_COMPARE_WITH_TIMEOUT(count(1, kOn), 3, kWait);
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
    const int recall = CameraControl::GuardedRecall;
    const int move = CameraControl::GuardedMove;
    QTest::newRow("recall") << Op([](auto &c) { return c.recallPreset(3); }) << recall
                            << "callPreset(3)";
    QTest::newRow("map box") << Op([](auto &c) { return c.recallPresetPosition(9); }) << recall
                             << "callPreset(9)";
    QTest::newRow("move") << Op([](auto &c) { return c.move(CameraControl::Up, 0, 5); }) << move
                          << "moveUp(0,5)";
    QTest::newRow("home") << Op([](auto &c) { return c.moveHome(); }) << move << "moveHome";
    QTest::newRow("zoom") << Op([](auto &c) { return c.zoomIn(3); }) << move << "zoomIn(3)";
    QTest::newRow("focus") << Op([](auto &c) { return c.focusOut(); }) << move << "focusOut(1)";
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

void TestTallyActions::settingDialog()
{
    AppSettings settings;
    TallySettingDlg dlg(&settings, {}, {"Cam 1", "Cam 2"}, {});
    QSignalSpy saved(&dlg, &TallySettingDlg::saved);
    auto *obs = dlg.findChild<QComboBox *>("obsScene1");
    obs->setCurrentIndex(obs->findText("Cam 2"));
    dlg.findChild<QComboBox *>("vmixInput1")->setEditText(" 7 ");
    dlg.findChild<QComboBox *>("command1")->setCurrentIndex(2);
    dlg.findChild<QComboBox *>("protectLive")->setCurrentIndex(2);
    auto *bytes = dlg.findChild<QLineEdit *>("programBytes1");
    bytes->setText("81 01 04 00 02"); // no terminator: refused, nothing written
    dlg.save();
    QVERIFY(dlg.problem().startsWith("Camera 1, program bytes"));
    QCOMPARE(settings.tallySlot(1).command, 0);
    QCOMPARE(settings.protectLive(), 0);
    bytes->setText("8101047e010a0002ff");
    dlg.save();
    const TallySlotSetting t = settings.tallySlot(1);
    QCOMPARE(QStringList({t.obs, t.vmix, QString::number(t.command), t.program}),
             QStringList({"Cam 2", "7", "2", "81 01 04 7E 01 0A 00 02 FF"}));
    QCOMPARE(settings.protectLive(), 2);
    QCOMPARE(saved.size(), 1);
}

int main(int argc, char **argv)
{
    TempDataHome home;
    QApplication app(argc, argv);
    TestTallyActions tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_tallyactions.moc"
