#include "applog.h"
#include "appsettings.h"
#include "cameracontrol.h"
#include "recordingcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QSignalSpy>
#include <QtTest>

// The control layer against recording cameras: speeds and the pan/tilt lock,
// the stop rules, the safe rebuild, presets and the stored-exposure stage
// plan. No widgets, no sockets.
class TestCameraControl : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void speedValuesFor_data();
    void speedValuesFor();
    void autoReconnectReachesLaterLists();
    void connectSelectsStoredSpeeds();
    void lockSharesClampedIndexAndStoresIt();
    void tickingLockSelectsIndex6();
    void lockWithShortListsKeepsBothInRange();

    void nothingIsSentWithoutConnection();
    void movesUseSelectedSpeeds_data();
    void movesUseSelectedSpeeds();
    void switchingMidMoveStopsTheFirstCameraBeforeItsDisconnect();
    void releaseAfterSwitchDoesNotStopTheNewCamera();
    void stopAllStopsOnlyRunningMotions();
    void reselectingConnectsAgainWithoutDisconnect();
    void lateConnectOfAnotherCameraIsRefused();
    void connectionLinesAreLogged();
    void disconnectOfSelectedCameraClearsSelection();
    void releaseStopsDisconnectsAndLetsGo();
    void destroyedCameraIsNeverDriven();
    void everyStartedMotionGetsItsStop_data();
    void everyStartedMotionGetsItsStop();
    void owedStopsGoFirstAndOncePerAxis();

    void recallRunsStageZeroAtOnce();
    void stagePlan_data();
    void stagePlan();
    void replayEndsOnSwitchAndOnLostConnection();
    void storeAndClearPresetSettings();

private:
    RecordingCamera *cam(int i) const { return static_cast<RecordingCamera *>(c->cameraAt(i)); }
    // Connected to camera i with call logs cleared.
    void connectTo(int i)
    {
        QVERIFY(c->selectCamera(i));
        QVERIFY(c->canDrive());
        for (int k = 0; k < c->cameraCount(); ++k)
            cam(k)->calls.clear();
    }

    AppSettings *s = nullptr;
    CameraControl *c = nullptr;
};

void TestCameraControl::init()
{
    s = new AppSettings;
    c = new CameraControl(s);
    QList<CameraWrapper *> list;
    for (int i = 0; i < 3; ++i)
        list << new RecordingCamera(QStringLiteral("127.0.1.%1").arg(i + 1));
    c->setCameras(list);
}

void TestCameraControl::cleanup()
{
    delete c;
    delete s;
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                  "/corvanta-controller/settings.ini");
}

void TestCameraControl::speedValuesFor_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("no range") << 0 << 0 << QList<int>{0};
    QTest::newRow("zero minimum starts at 1") << 0 << 4 << QList<int>{1, 2, 3, 4};
    QTest::newRow("minimum above maximum") << 5 << 3 << QList<int>{};
    QTest::newRow("negative maximum") << -3 << -1 << QList<int>{-3, -2, -1};
}

void TestCameraControl::speedValuesFor()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QList<int>, values);
    QCOMPARE(CameraControl::speedValuesFor(min, max), values);
    QCOMPARE(CameraControl::speedValuesFor(1, std::numeric_limits<int>::max()).size(), 256);
}

void TestCameraControl::autoReconnectReachesLaterLists()
{
    c->setAutoReconnect(true);
    QVERIFY(cam(2)->autoReconnect);
    auto *late = new RecordingCamera(QStringLiteral("127.0.1.9"));
    c->setCameras({late});
    QVERIFY(late->autoReconnect);
    c->setAutoReconnect(false);
    QVERIFY(!late->autoReconnect);
}

void TestCameraControl::connectSelectsStoredSpeeds()
{
    QCOMPARE(c->speedValues(CameraControl::Pan), QList<int>{0});
    s->setPanSpeedIndex("127.0.1.1", 9);
    s->setTiltSpeedIndex("127.0.1.1", 3);
    s->setPanTiltLocked("127.0.1.1", false);
    s->setZoomSpeedIndex("127.0.1.1", 99); // untrusted: nearest entry
    connectTo(0);
    QCOMPARE(c->speedValues(CameraControl::Pan).size(), 24);
    QCOMPARE(c->speed(CameraControl::Pan), 10);
    QCOMPARE(c->speed(CameraControl::Tilt), 4);
    QCOMPARE(c->speed(CameraControl::Zoom), 7);
    QCOMPARE(c->speed(CameraControl::Focus), 6); // default index 5
    QCOMPARE(s->zoomSpeedIndex("127.0.1.1"), 6);
    QVERIFY(!c->panTiltLocked());
}

void TestCameraControl::lockSharesClampedIndexAndStoresIt()
{
    connectTo(0); // stored lock defaults to on
    QVERIFY(c->panTiltLocked());
    c->setSpeedIndex(CameraControl::Pan, 22);
    QCOMPARE(c->speedIndex(CameraControl::Pan), 19);
    QCOMPARE(c->speedIndex(CameraControl::Tilt), 19);
    QCOMPARE(s->panSpeedIndex("127.0.1.1"), 19);
    QCOMPARE(s->tiltSpeedIndex("127.0.1.1"), 19);
    c->move(CameraControl::Up);
    QCOMPARE(cam(0)->calls, QStringList{"moveUp(0,20)"});
}

void TestCameraControl::tickingLockSelectsIndex6()
{
    {
        // Without a settings store a camera starts locked.
        CameraControl bare(nullptr);
        bare.setCameras({new RecordingCamera(QStringLiteral("127.0.1.7"))});
        QVERIFY(bare.selectCamera(0));
        QVERIFY(bare.panTiltLocked());
        bare.setSpeedIndex(CameraControl::Pan, 5);
        bare.setSpeedIndex(CameraControl::Pan, 0); // the shared index may be 0
        QCOMPARE(bare.speedIndex(CameraControl::Tilt), 0);
        QSignalSpy changed(&bare, &CameraControl::speedsChanged);
        bare.setSpeedIndex(CameraControl::Axis(4), 1);
        bare.setSpeedIndex(CameraControl::Axis(-1), 1);
        QCOMPARE(changed.size(), 0);
    }
    connectTo(0);
    c->setPanTiltLocked(false);
    QVERIFY(!s->panTiltLocked("127.0.1.1"));
    c->setSpeedIndex(CameraControl::Pan, 2);
    c->setSpeedIndex(CameraControl::Tilt, 11);
    QCOMPARE(c->speedIndex(CameraControl::Pan), 2); // unlocked: independent
    c->setPanTiltLocked(true);
    QCOMPARE(c->speedIndex(CameraControl::Pan), 6);
    QCOMPARE(c->speedIndex(CameraControl::Tilt), 6);
    QVERIFY(s->panTiltLocked("127.0.1.1"));
    QCOMPARE(s->panSpeedIndex("127.0.1.1"), 6);
}

void TestCameraControl::lockWithShortListsKeepsBothInRange()
{
    cam(0)->setRanges({1, 4, 2}, {1, 12, 5});
    s->setPanTiltLocked("127.0.1.1", true);
    s->setPanSpeedIndex("127.0.1.1", 2);
    s->setTiltSpeedIndex("127.0.1.1", 9);
    connectTo(0);
    // The stored tilt index 9 does not exist in the four-entry pan list.
    QCOMPARE(c->speedIndex(CameraControl::Pan), 3);
    QCOMPARE(c->speedIndex(CameraControl::Tilt), 3);
    c->setSpeedIndex(CameraControl::Tilt, 10);
    QCOMPARE(c->speedIndex(CameraControl::Tilt), 3);
    QCOMPARE(s->tiltSpeedIndex("127.0.1.1"), 3);
    c->setPanTiltLocked(false);
    c->setPanTiltLocked(true); // index 6 is beyond the pan list
    QCOMPARE(c->speed(CameraControl::Pan), 4);
}

void TestCameraControl::nothingIsSentWithoutConnection()
{
    cam(0)->connectsAtOnce = false;
    QVERIFY(c->selectCamera(0));
    QVERIFY(!c->canDrive());
    QVERIFY(!c->move(CameraControl::Left));
    QVERIFY(!c->stopMove());
    QVERIFY(!c->zoomIn());
    QVERIFY(!c->recallPreset(1));
    QVERIFY(!c->send([](CameraWrapper &w) { w.moveHome(); }));
    QCOMPARE(cam(0)->calls, QStringList{"connectCamera"});
    QVERIFY(!c->selectCamera(8));
    QVERIFY(!c->selectCamera(-1));
}

void TestCameraControl::movesUseSelectedSpeeds_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("call");
    // Pan speed 10, tilt speed 4.
    QTest::newRow("up") << int(CameraControl::Up) << "moveUp(0,4)";
    QTest::newRow("down") << int(CameraControl::Down) << "moveDown(0,4)";
    QTest::newRow("left") << int(CameraControl::Left) << "moveLeft(10,0)";
    QTest::newRow("right") << int(CameraControl::Right) << "moveRight(10,0)";
    QTest::newRow("up-left") << int(CameraControl::UpLeft) << "moveUpLeft(10,4)";
    QTest::newRow("up-right") << int(CameraControl::UpRight) << "moveUpRight(10,4)";
    QTest::newRow("down-left") << int(CameraControl::DownLeft) << "moveDownLeft(10,4)";
    QTest::newRow("down-right") << int(CameraControl::DownRight) << "moveDownRight(10,4)";
}

void TestCameraControl::movesUseSelectedSpeeds()
{
    QFETCH(int, direction);
    QFETCH(QString, call);
    s->setPanTiltLocked("127.0.1.1", false);
    s->setPanSpeedIndex("127.0.1.1", 9);
    s->setTiltSpeedIndex("127.0.1.1", 3);
    connectTo(0);
    QVERIFY(c->move(CameraControl::Direction(direction)));
    QVERIFY(c->isMoving());
    QVERIFY(c->stopMove());
    QCOMPARE(cam(0)->calls, (QStringList{call, "moveStop(0,0)"}));
    QVERIFY(!c->isMoving());
}

void TestCameraControl::switchingMidMoveStopsTheFirstCameraBeforeItsDisconnect()
{
    connectTo(0);
    c->move(CameraControl::Left, 8, 0);
    c->zoomIn(3);
    c->focusOut(2);
    QSignalSpy changed(c, &CameraControl::currentCameraChanged);
    QVERIFY(c->selectCamera(1));
    QCOMPARE(cam(0)->calls,
             (QStringList{"moveLeft(8,0)", "zoomIn(3)", "focusOut(2)", "moveStop(0,0)", "zoomStop",
                          "focusStop", "disconnectCamera"}));
    QCOMPARE(cam(1)->calls, QStringList{"connectCamera"});
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().at(1).toInt(), 1);
    QCOMPARE(c->camera(), cam(1));
}

void TestCameraControl::releaseAfterSwitchDoesNotStopTheNewCamera()
{
    // A joystick switch while a panel button is held: the release arrives
    // after the switch.
    cam(1)->connectsAtOnce = false;
    connectTo(0);
    c->move(CameraControl::Up);
    c->stopAll(); // nothing to do twice after the switch either
    c->move(CameraControl::Up);
    QVERIFY(c->selectCamera(1));
    cam(0)->calls.clear();
    emit cam(1)->clientConnected();
    cam(1)->calls.clear();
    c->stopMove();
    QCOMPARE(cam(0)->calls, QStringList{});
    // Without a running move, a release still stops the selected camera.
    QCOMPARE(cam(1)->calls, QStringList{"moveStop(0,0)"});
}

void TestCameraControl::stopAllStopsOnlyRunningMotions()
{
    connectTo(0);
    c->stopAll();
    QVERIFY(cam(0)->calls.isEmpty());
    c->zoomOut();
    c->stopAll();
    c->stopAll();
    QCOMPARE(cam(0)->calls, (QStringList{"zoomOut(6)", "zoomStop"}));
}

void TestCameraControl::reselectingConnectsAgainWithoutDisconnect()
{
    connectTo(0);
    QSignalSpy connected(c, &CameraControl::connected);
    QVERIFY(c->selectCamera(0));
    QCOMPARE(cam(0)->calls, QStringList{"connectCamera"});
    QCOMPARE(connected.size(), 1);
}

void TestCameraControl::lateConnectOfAnotherCameraIsRefused()
{
    connectTo(0);
    QSignalSpy connected(c, &CameraControl::connected);
    emit cam(2)->clientConnected();
    QCOMPARE(cam(2)->calls, QStringList{"disconnectCamera"});
    QCOMPARE(connected.size(), 0);
    QCOMPARE(c->camera(), cam(0));
}

void TestCameraControl::connectionLinesAreLogged()
{
    const QString log = Storage::userFolder() + "/app.log";
    QFile::remove(log);
    connectTo(0);
    emit cam(1)->clientDisconnected(); // not selected: logged, selection stays
    emit cam(2)->clientConnected();    // late, not selected: refused, not logged
    QCOMPARE(c->camera(), cam(0));
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(),
             (AppLog::connectedLine() + "\n" + AppLog::disconnectedLine() + "\n").toUtf8());
}

void TestCameraControl::disconnectOfSelectedCameraClearsSelection()
{
    connectTo(0);
    c->move(CameraControl::Down);
    QSignalSpy disconnected(c, &CameraControl::disconnected);
    QSignalSpy changed(c, &CameraControl::currentCameraChanged);
    emit cam(2)->clientDisconnected(); // another camera: the selection stays
    QVERIFY(c->canDrive());
    emit cam(0)->clientDisconnected();
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().at(1).toInt(), -1);
    QVERIFY(!c->camera());
    QCOMPARE(c->currentIndex(), -1);
    QVERIFY(!c->canDrive());
    QCOMPARE(cam(0)->calls.last(), QStringLiteral("moveStop(0,0)"));
}

void TestCameraControl::releaseStopsDisconnectsAndLetsGo()
{
    connectTo(0);
    c->move(CameraControl::Right);
    QPointer<RecordingCamera> first = cam(0);
    QStringList seenAtRelease;
    connect(c, &CameraControl::aboutToReleaseCameras, this,
            [&] { seenAtRelease = first ? first->calls : QStringList(); });
    QSignalSpy changed(c, &CameraControl::currentCameraChanged);
    c->releaseCameras();
    QCOMPARE(seenAtRelease, (QStringList{"moveRight(8,0)", "moveStop(0,0)", "disconnectCamera"}));
    QCOMPARE(changed.size(), 1);
    QVERIFY(!c->camera());
    QCOMPARE(c->cameraCount(), 0);
    QVERIFY(!c->move(CameraControl::Left));
    QVERIFY(first); // released with deleteLater
    QTRY_VERIFY(!first);

    seenAtRelease.clear();
    c->rebuildCameras(); // from the (empty) store: eight network cameras
    QCOMPARE(c->cameraCount(), 8);
    QCOMPARE(c->cameraAt(2)->getCameraName(), QStringLiteral("Camera3"));
}

void TestCameraControl::destroyedCameraIsNeverDriven()
{
    connectTo(1);
    delete cam(1);
    QVERIFY(!c->camera());
    QVERIFY(!c->canDrive());
    QCOMPARE(c->currentIndex(), -1);
    QVERIFY(!c->move(CameraControl::Up));
    QVERIFY(!c->stopMove());
    QVERIFY(!c->selectCamera(1));
}

namespace {

enum HeldPath
{
    PanelMove,    // button or key at the selected speeds
    ExplicitMove, // preset pad, limit dialog, controller, web
    Zoom,
    Focus
};

enum Interruption
{
    Release,
    LookedAway, // the application lost the focus, or a box opened
    Switch,
    Rebuild,
    Unplug,
    DropAndReturn,     // link drops, a box opens, link returns
    DropReleaseReturn, // link drops, the operator lets go, link returns
    DropSwitchBack,    // link drops, another camera selected, then this one again
    DropAndRebuild
};

bool isOperation(const QString &call)
{
    return call != QLatin1String("connectCamera") && call != QLatin1String("disconnectCamera") &&
           !call.startsWith(QLatin1String("lost:"));
}

} // namespace

void TestCameraControl::everyStartedMotionGetsItsStop_data()
{
    QTest::addColumn<int>("path");
    QTest::addColumn<int>("interruption");
    QTest::addColumn<bool>("stopArrives");
    const struct
    {
        const char *name;
        HeldPath path;
    } paths[] = {{"panel move", PanelMove},
                 {"explicit move", ExplicitMove},
                 {"zoom", Zoom},
                 {"focus", Focus}};
    const struct
    {
        const char *name;
        Interruption interruption;
    } interruptions[] = {{"release", Release},
                         {"looked away", LookedAway},
                         {"switch", Switch},
                         {"rebuild", Rebuild},
                         {"unplug", Unplug},
                         {"drop, box, return", DropAndReturn},
                         {"drop, release, return", DropReleaseReturn},
                         {"drop, switch, back", DropSwitchBack},
                         {"drop, rebuild", DropAndRebuild}};
    for (const auto &p : paths) {
        for (const auto &i : interruptions) {
            // A released camera cannot be reached once its link is down.
            QTest::addRow("%s / %s", p.name, i.name)
                << int(p.path) << int(i.interruption) << (i.interruption != DropAndRebuild);
        }
    }
}

void TestCameraControl::everyStartedMotionGetsItsStop()
{
    QFETCH(int, path);
    QFETCH(int, interruption);
    QFETCH(bool, stopArrives);
    connectTo(0);
    RecordingCamera *first = cam(0);
    RecordingCamera *second = cam(1);
    QString start;
    QString stop;
    std::function<void()> release;
    switch (path) {
    case PanelMove:
        QVERIFY(c->move(CameraControl::Up));
        start = "moveUp(";
        stop = "moveStop(";
        release = [this] {
            c->stopMove(c->speed(CameraControl::Pan), 4);
        };
        break;
    case ExplicitMove:
        QVERIFY(c->move(CameraControl::DownLeft, 5, 5));
        start = "moveDownLeft(5,5)";
        stop = "moveStop(";
        release = [this] {
            c->stopMove(5, 5);
        };
        break;
    case Zoom:
        QVERIFY(c->zoomIn());
        start = "zoomIn(";
        stop = "zoomStop";
        release = [this] {
            c->stopZoom();
        };
        break;
    case Focus:
        QVERIFY(c->focusOut(2));
        start = "focusOut(2)";
        stop = "focusStop";
        release = [this] {
            c->stopFocus();
        };
        break;
    }

    switch (interruption) {
    case Release:
        release();
        break;
    case LookedAway:
        c->stopAll();
        break;
    case Switch:
        QVERIFY(c->selectCamera(1));
        break;
    case Rebuild:
        c->releaseCameras();
        break;
    case Unplug:
        emit first->clientDisconnected();
        break;
    case DropAndReturn:
        first->dropLink();
        c->stopAll();
        QCOMPARE(c->owedStops(first), 1);
        first->restoreLink();
        break;
    case DropReleaseReturn:
        first->dropLink();
        release();
        first->restoreLink();
        break;
    case DropSwitchBack:
        first->dropLink();
        QVERIFY(c->selectCamera(1));
        QVERIFY(c->selectCamera(0));
        break;
    case DropAndRebuild:
        first->dropLink();
        c->releaseCameras();
        QCOMPARE(c->owedStops(first), 0);
        break;
    }
    release(); // the operator lets go at last

    const QStringList &calls = first->calls;
    QVERIFY2(calls.value(0).startsWith(start), qPrintable(calls.join('|')));
    // The first operation the camera gets after the start is its stop.
    const QStringList after = calls.mid(1);
    QStringList operations;
    for (const QString &call : after) {
        if (isOperation(call))
            operations << call;
    }
    QCOMPARE(operations.value(0).startsWith(stop), stopArrives);
    QVERIFY2(!calls.join('|').contains("lost:"), qPrintable(calls.join('|')));
    QCOMPARE(c->owedStops(first), 0);
    // Nothing reaches the camera between its deselection and its next
    // selection.
    bool deselected = false;
    for (const QString &call : calls) {
        if (call == QLatin1String("disconnectCamera"))
            deselected = true;
        else if (call == QLatin1String("connectCamera"))
            deselected = false;
        else
            QVERIFY2(!deselected, qPrintable(calls.join('|')));
    }
    // The other camera is never driven.
    for (const QString &call : qAsConst(second->calls))
        QVERIFY2(!call.startsWith(start), qPrintable(second->calls.join('|')));
}

// Two axes owed to one camera arrive once each, before anything else, when
// its link returns; a repeated stop of the same axis is owed once.
void TestCameraControl::owedStopsGoFirstAndOncePerAxis()
{
    connectTo(0);
    c->move(CameraControl::Left, 8, 0);
    c->zoomOut(3);
    cam(0)->dropLink();
    c->stopMove(8, 0);
    c->stopZoom();
    c->stopMove(2, 2); // no running move: owed again, replacing the speeds
    QCOMPARE(c->owedStops(cam(0)), 2);
    QCOMPARE(c->owedStops(cam(1)), 0);
    emit cam(0)->clientStateChanged("Connected"); // the socket; the camera reports next
    QCOMPARE(c->owedStops(cam(0)), 2);
    cam(0)->restoreLink();
    QCOMPARE(c->owedStops(cam(0)), 0);
    QCOMPARE(cam(0)->calls,
             (QStringList{"moveLeft(8,0)", "zoomOut(3)", "moveStop(2,2)", "zoomStop"}));
    QVERIFY(!c->isMoving());
    QVERIFY(!c->isZooming());
}

void TestCameraControl::recallRunsStageZeroAtOnce()
{
    s->setPresetAeMode("127.0.1.1", 4, 3);
    connectTo(0);
    c->setStoreExposure(true);
    QSignalSpy stages(c, &CameraControl::exposureStageDue);
    QVERIFY(c->recallPreset(4));
    QCOMPARE(cam(0)->calls, QStringList{"callPreset(4)"});
    QCOMPARE(stages.size(), 1);
    QCOMPARE(stages.first(), (QVariantList{CameraControl::StageAeMode, 3}));
    c->stopExposureReplay();
    QCOMPARE(c->runningReplays(), 0);

    c->setStoreExposure(false);
    stages.clear();
    QVERIFY(c->recallPreset(4));
    QCOMPARE(stages.size(), 0);
}

void TestCameraControl::stagePlan_data()
{
    QTest::addColumn<int>("aeMode");
    QTest::addColumn<QList<int>>("stages");
    QTest::newRow("Auto") << 0 << QList<int>{0, 4, 5, 6, 7};
    QTest::newRow("Manual") << 1 << QList<int>{0, 1, 2, 4, 5, 6, 7};
    QTest::newRow("SAE") << 2 << QList<int>{0, 1, 4, 5, 6, 7};
    QTest::newRow("AAE") << 3 << QList<int>{0, 2, 4, 5, 6, 7};
    QTest::newRow("Brightness") << 4 << QList<int>{0, 3, 4, 5, 6, 7};
}

void TestCameraControl::stagePlan()
{
    QFETCH(int, aeMode);
    QFETCH(QList<int>, stages);
    const PresetExposure v{aeMode, 11, 12, 13, 14, 15, 16, 17};
    QVERIFY(!CameraControl::exposureStageValue(v, 8, nullptr));
    QVERIFY(!CameraControl::exposureStageValue(v, -1, nullptr));
    for (int stage = 0; stage < 8; ++stage) {
        int value = -1;
        QCOMPARE(CameraControl::exposureStageValue(v, stage, &value), stages.contains(stage));
        if (stages.contains(stage))
            QCOMPARE(value, stage == 0 ? aeMode : 10 + stage);
    }
    // The whole replay, in order, on the event loop.
    s->setPresetAeMode("127.0.1.1", 2, aeMode);
    connectTo(0);
    c->setStoreExposure(true);
    c->setExposureReplayInterval(0);
    QSignalSpy due(c, &CameraControl::exposureStageDue);
    c->recallPreset(2);
    QTRY_COMPARE(c->runningReplays(), 0);
    QList<int> seen;
    for (const QVariantList &args : qAsConst(due))
        seen << args.first().toInt();
    QCOMPARE(seen, stages);
}

void TestCameraControl::replayEndsOnSwitchAndOnLostConnection()
{
    connectTo(0);
    c->setStoreExposure(true);
    c->recallPreset(1);
    QCOMPARE(c->runningReplays(), 1);
    c->selectCamera(1);
    QCOMPARE(c->runningReplays(), 0);

    c->recallPreset(1);
    emit cam(1)->clientStateChanged("Connected");
    QCOMPARE(c->runningReplays(), 1);
    emit cam(1)->clientStateChanged("Unconnected");
    QCOMPARE(c->runningReplays(), 0);
}

void TestCameraControl::storeAndClearPresetSettings()
{
    connectTo(0);
    QVERIFY(c->storePresetPosition(3, true));
    QVERIFY(c->storePresetPosition(8, false));
    QCOMPARE(cam(0)->calls, (QStringList{"downloadSnapshot(3)", "setPreset(3)", "setPreset(8)"}));
    const PresetExposure v{1, 2, 3, 4, 5, 6, 7, 1};
    c->savePresetSettings("127.0.1.1", 3, "Desk", &v);
    QCOMPARE(s->presetName("127.0.1.1", 3), QStringLiteral("Desk"));
    const PresetExposure back = c->storedExposure("127.0.1.1", 3);
    QCOMPARE(QList<int>({back.aeMode, back.shutter, back.iris, back.bright, back.luminance,
                         back.contrast, back.hue, back.wbMode}),
             QList<int>({1, 2, 3, 4, 5, 6, 7, 1}));
    QVERIFY(c->clearPreset(3));
    QCOMPARE(cam(0)->calls.last(), QStringLiteral("clearPreset(3)"));
    QCOMPARE(s->presetName("127.0.1.1", 3), QString());
    QCOMPARE(c->storedExposure("127.0.1.1", 3).luminance, 0);
}

int main(int argc, char **argv)
{
    TempDataHome home;
    QCoreApplication app(argc, argv);
    TestCameraControl tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_cameracontrol.moc"
