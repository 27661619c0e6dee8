// Protection of the camera on program, enforced by the control layer: which
// operations are refused at each level and state, stops that always go
// through, and the camera API answering a refusal with the envelope.

#include "appsettings.h"
#include "cameraapihandler.h"
#include "cameracontrol.h"
#include "recordingcamera.h"
#include "tallymodel.h"
#include "tempdatahome.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using Op = std::function<bool(CameraControl &)>;

} // namespace

Q_DECLARE_METATYPE(Op)

class TestTallyProtection : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void guardedOperations_data();
    void guardedOperations();
    void stopsAreNeverRefused();
    void cameraApiAnswersTheRefusal();

private:
    RecordingCamera *cam(int i) const { return static_cast<RecordingCamera *>(c->cameraAt(i)); }

    std::unique_ptr<CameraControl> c;
    std::unique_ptr<TallyModel> model;
    int level = 0;
};

void TestTallyProtection::init()
{
    c = std::make_unique<CameraControl>(nullptr);
    c->setCameras({new RecordingCamera("127.0.1.1", "Pulpit"), new RecordingCamera("127.0.1.2")});
    model = std::make_unique<TallyModel>();
    model->setMappings({{"Pulpit", ""}, {"Wide", ""}});
    // The application's guard.
    c->setGuard([this](int slot, CameraControl::Guarded what) {
        CameraWrapper *camera = c->cameraAt(slot);
        return TallyModel::refusal(slot, camera ? camera->getCameraName() : QString(),
                                   model->state(slot), level, what == CameraControl::GuardedRecall);
    });
    QVERIFY(c->selectCamera(0));
    QVERIFY(c->canDrive());
    cam(0)->calls.clear();
}

void TestTallyProtection::cleanup()
{
    c.reset();
    model.reset();
}

void TestTallyProtection::guardedOperations_data()
{
    QTest::addColumn<int>("protect");
    QTest::addColumn<QString>("program");
    QTest::addColumn<Op>("op");
    QTest::addColumn<QString>("sent");

    const Op recall = [](CameraControl &c) {
        return c.recallPreset(3);
    };
    const Op mapRecall = [](CameraControl &c) {
        return c.recallPresetPosition(103);
    };
    const Op move = [](CameraControl &c) {
        return c.move(CameraControl::Up, 0, 5);
    };
    const Op home = [](CameraControl &c) {
        return c.moveHome();
    };
    const Op zoom = [](CameraControl &c) {
        return c.zoomIn(3);
    };
    const Op focus = [](CameraControl &c) {
        return c.focusOut();
    };

    QTest::newRow("off: recall on program") << 0 << "Pulpit" << recall << "callPreset(3)";
    QTest::newRow("1: recall on program") << 1 << "Pulpit" << recall << "";
    QTest::newRow("1: map box on program") << 1 << "Pulpit" << mapRecall << "";
    QTest::newRow("1: recall on preview") << 1 << "Wide" << recall << "callPreset(3)";
    QTest::newRow("1: move on program") << 1 << "Pulpit" << move << "moveUp(0,5)";
    QTest::newRow("2: move on program") << 2 << "Pulpit" << move << "";
    QTest::newRow("2: home on program") << 2 << "Pulpit" << home << "";
    QTest::newRow("2: zoom on program") << 2 << "Pulpit" << zoom << "";
    QTest::newRow("2: focus on program") << 2 << "Pulpit" << focus << "";
    QTest::newRow("2: recall on program") << 2 << "Pulpit" << recall << "";
    QTest::newRow("2: zoom, other camera on program") << 2 << "Wide" << zoom << "zoomIn(3)";
}

void TestTallyProtection::guardedOperations()
{
    QFETCH(int, protect);
    QFETCH(QString, program);
    QFETCH(Op, op);
    QFETCH(QString, sent);
    level = protect;
    model->setObsScenes(program, program == "Pulpit" ? "Wide" : "Pulpit");
    QSignalSpy refused(c.get(), &CameraControl::refused);

    QCOMPARE(op(*c), !sent.isEmpty());
    QCOMPARE(cam(0)->calls.join(' '), sent);
    QCOMPARE(refused.count(), sent.isEmpty() ? 1 : 0);
    if (sent.isEmpty())
        QVERIFY(refused.at(0).at(0).toString().startsWith("Camera 1 (Pulpit) is on program: "));
}

void TestTallyProtection::stopsAreNeverRefused()
{
    level = 2;
    QVERIFY(c->move(CameraControl::Left, 4, 0));
    QVERIFY(c->zoomOut(2));
    QVERIFY(c->focusIn(1));
    // The camera is cut to program while it moves: the stops still go.
    model->setObsScenes("Pulpit", QString());
    QVERIFY(!c->move(CameraControl::Right, 4, 0));
    QVERIFY(c->stopMove());
    c->stopAll();
    QCOMPARE(cam(0)->calls, QStringList({"moveLeft(4,0)", "zoomOut(2)", "focusIn(1)",
                                         "moveStop(0,0)", "zoomStop", "focusStop"}));
    // With nothing running, a stop still reaches the selected camera.
    cam(0)->calls.clear();
    QVERIFY(c->stopZoom());
    QCOMPARE(cam(0)->calls, QStringList({"zoomStop"}));
}

void TestTallyProtection::cameraApiAnswersTheRefusal()
{
    AppSettings settings;
    CameraApiHandler api(c.get(), &settings, nullptr, [] { return QStringList(); });
    level = 1;
    model->setObsScenes("Pulpit", QString());

    const QJsonObject refused = api.recallPreset(4, 10).toJson();
    QCOMPARE(refused.value("status").toString(), QStringLiteral("FAILED"));
    QCOMPARE(refused.value("msg").toString(),
             QStringLiteral("Camera 1 (Pulpit) is on program: recall refused"));
    QVERIFY(!cam(0)->calls.join(' ').contains("callPreset"));
    // Moves are allowed at level 1.
    QCOMPARE(api.control(2, 5, 5, 0, 0).toJson().value("status").toString(), QStringLiteral("OK"));
    QVERIFY(cam(0)->calls.contains("moveUp(0,5)"));

    level = 2;
    const QJsonObject move = api.control(7, 0, 0, 3, 0).toJson();
    QCOMPARE(move.value("status").toString(), QStringLiteral("FAILED"));
    QCOMPARE(move.value("msg").toString(),
             QStringLiteral("Camera 1 (Pulpit) is on program: move refused"));
    QCOMPARE(api.stopControl(2).toJson().value("status").toString(), QStringLiteral("OK"));
    QCOMPARE(cam(0)->calls.last(), QStringLiteral("moveStop(0,0)"));

    // Another camera, not on program: the recall runs and answers OK.
    QVERIFY(c->selectCamera(1));
    const QJsonObject other = api.recallPreset(4, 10).toJson();
    QCOMPARE(other.value("status").toString(), QStringLiteral("OK"));
    QVERIFY(cam(1)->calls.contains("callPreset(4)"));
}

int main(int argc, char **argv)
{
    TempDataHome home;
    QCoreApplication app(argc, argv);
    TestTallyProtection tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_tallyprotection.moc"
