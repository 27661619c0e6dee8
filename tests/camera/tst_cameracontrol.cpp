#include "applog.h"
#include "appsettings.h"
#include "cameracontrol.h"
#include "recordingcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QtTest>

// The control layer against recording cameras: speeds and the pan/tilt lock,
// the stop rules, the safe rebuild, presets and the stored-exposure stage
// plan. No widgets, no sockets.

class TestCameraControl : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        s = new AppSettings;
        c = new CameraControl(s);
        QList<CameraWrapper *> list;
        for (int i = 0; i < 3; ++i)
            list << new RecordingCamera(QStringLiteral("127.0.1.%1").arg(i + 1));
        c->setCameras(list);
    }
    void cleanup()
    {
        delete c;
        delete s;
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                      "/corvanta-controller/settings.ini");
    }

    void speedValuesFor()
    {
        using L = QList<int>;
        QCOMPARE(CameraControl::speedValuesFor(0, 0), L{0});
        QCOMPARE(CameraControl::speedValuesFor(0, 4), (L{1, 2, 3, 4})); // zero minimum: from 1
        QCOMPARE(CameraControl::speedValuesFor(5, 3), L{});
        QCOMPARE(CameraControl::speedValuesFor(-3, -1), (L{-3, -2, -1}));
        QCOMPARE(CameraControl::speedValuesFor(1, std::numeric_limits<int>::max()).size(), 256);
    }
    void storedSpeedsAndTheLock()
    {
        c->setAutoReconnect(true); // reaches every camera, also of later lists
        auto *late = new RecordingCamera(QStringLiteral("127.0.1.1"));
        c->setCameras({late});
        QCOMPARE(c->cameras().indexOf(late), 3); // appended
        QVERIFY(late->autoReconnect);
        c->setAutoReconnect(false);
        QVERIFY(!late->autoReconnect);

        QCOMPARE(c->speedValues(CameraControl::Pan), QList<int>{0});
        s->setPanSpeedIndex("127.0.1.1", 9);
        s->setTiltSpeedIndex("127.0.1.1", 3);
        s->setPanTiltLocked("127.0.1.1", false);
        s->setZoomSpeedIndex("127.0.1.1", 99); // untrusted: nearest entry
        connectTo(0);
        QCOMPARE(c->speedValues(CameraControl::Pan).size(), 24);
        QCOMPARE(indices(), QStringLiteral("9 3 6 5 / 9 3 6 5")); // focus: default index 5
        c->setSpeedIndex(CameraControl::Tilt, 11);                // unlocked: independent
        c->setSpeedIndex(CameraControl::Focus, 99);
        QCOMPARE(indices(), QStringLiteral("9 11 6 6 / 9 11 6 6"));
        c->setPanTiltLocked(true); // both take index 6
        QCOMPARE(indices(), QStringLiteral("6 6 6 6 L / 6 6 6 6 L"));
        c->setSpeedIndex(CameraControl::Pan, 22); // shared, within the 20-entry tilt list
        QCOMPARE(indices(), QStringLiteral("19 19 6 6 L / 19 19 6 6 L"));
        c->move(CameraControl::Up);
        QCOMPARE(cam(0)->calls, QStringList{"moveUp(0,20)"});
        c->setPanTiltLocked(false);
        QCOMPARE(indices(), QStringLiteral("19 19 6 6 / 19 19 6 6"));

        // Without a settings store a camera starts locked; the shared index may
        // be 0; axes outside the four are ignored.
        CameraControl bare(nullptr);
        bare.setCameras({new RecordingCamera(QStringLiteral("127.0.1.7"))});
        QVERIFY(bare.selectCamera(0) && bare.panTiltLocked());
        bare.setSpeedIndex(CameraControl::Pan, 5);
        bare.setSpeedIndex(CameraControl::Pan, 0);
        QCOMPARE(bare.speedIndex(CameraControl::Tilt), 0);
        QSignalSpy changed(&bare, &CameraControl::speedsChanged);
        bare.setSpeedIndex(CameraControl::Axis(4), 1);
        bare.setSpeedIndex(CameraControl::Axis(-1), 1);
        QCOMPARE(changed.size(), 0);
    }
    void lockWithShortListsKeepsBothInRange()
    {
        cam(0)->setRanges({1, 4, 2}, {1, 12, 5});
        s->setPanTiltLocked("127.0.1.1", true);
        s->setPanSpeedIndex("127.0.1.1", 2);
        s->setTiltSpeedIndex("127.0.1.1", 9); // beyond the four-entry pan list
        connectTo(0);
        QCOMPARE(indices(), QStringLiteral("3 3 5 5 L / 3 3 5 5 L"));
        c->setSpeedIndex(CameraControl::Tilt, 10);
        QCOMPARE(indices(), QStringLiteral("3 3 5 5 L / 3 3 5 5 L"));
        c->setPanTiltLocked(false);
        c->setPanTiltLocked(true); // index 6 is beyond the pan list
        QCOMPARE(c->speed(CameraControl::Pan), 4);
    }
    void nothingIsSentWithoutConnection()
    {
        cam(0)->connectsAtOnce = false;
        QVERIFY(c->selectCamera(0));
        QVERIFY(!c->canDrive() && !c->move(CameraControl::Left) && !c->stopMove() && !c->zoomIn() &&
                !c->recallPreset(1) && !c->recallPresetPosition(1) && !c->clearPreset(1) &&
                !c->send([](CameraWrapper &w) { w.moveHome(); }));
        QCOMPARE(cam(0)->calls, QStringList{"connectCamera"});
        QVERIFY(!c->selectCamera(8) && !c->selectCamera(-1));
    }
    void movesUseSelectedSpeeds()
    {
        s->setPanTiltLocked("127.0.1.1", false);
        s->setPanSpeedIndex("127.0.1.1", 9);
        s->setTiltSpeedIndex("127.0.1.1", 3);
        connectTo(0);
        // One after the other on the same camera: no stop in between.
        for (int d = CameraControl::Up; d <= CameraControl::DownRight; ++d)
            QVERIFY(c->move(CameraControl::Direction(d)));
        QVERIFY(c->isMoving() && c->stopMove() && !c->isMoving());
        QCOMPARE(cam(0)->calls,
                 (QStringList{"moveUp(0,4)", "moveDown(0,4)", "moveLeft(10,0)", "moveRight(10,0)",
                              "moveUpLeft(10,4)", "moveUpRight(10,4)", "moveDownLeft(10,4)",
                              "moveDownRight(10,4)", "moveStop(0,0)"}));
    }
    void switchingStopsEveryMotionOnceBeforeTheDisconnect()
    {
        connectTo(0);
        c->stopAll(); // nothing runs: nothing sent
        c->move(CameraControl::Left, 8, 0);
        c->zoomIn(3);
        c->focusOut(2);
        QSignalSpy changed(c, &CameraControl::currentCameraChanged);
        QVERIFY(c->selectCamera(1));
        c->stopAll();
        QCOMPARE(cam(0)->calls,
                 (QStringList{"moveLeft(8,0)", "zoomIn(3)", "focusOut(2)", "moveStop(0,0)",
                              "zoomStop", "focusStop", "disconnectCamera"}));
        QCOMPARE(cam(1)->calls, QStringList{"connectCamera"});
        QCOMPARE(changed.value(0).value(1), QVariant(1));
        QCOMPARE(c->camera(), cam(1));
        // Selecting the current camera again only asks it to connect.
        QSignalSpy connected(c, &CameraControl::connected);
        QVERIFY(c->selectCamera(1));
        QCOMPARE(cam(1)->calls, (QStringList{"connectCamera", "connectCamera"}));
        QCOMPARE(connected.size(), 1);
    }
    void signalsOfOtherCamerasAndLog()
    {
        const QString log = Storage::userFolder() + "/app.log";
        QFile::remove(log);
        connectTo(0);
        c->move(CameraControl::Down);
        QSignalSpy connected(c, &CameraControl::connected);
        QSignalSpy disconnected(c, &CameraControl::disconnected);
        QSignalSpy changed(c, &CameraControl::currentCameraChanged);
        emit cam(1)->clientDisconnected(); // not selected: logged, selection stays
        emit cam(2)->clientConnected();    // late, not selected: refused, not logged
        QCOMPARE(cam(2)->calls, QStringList{"disconnectCamera"});
        QCOMPARE(connected.size() + disconnected.size() + changed.size(), 0);
        QVERIFY(c->canDrive());
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(),
                 (AppLog::connectedLine() + "\n" + AppLog::disconnectedLine() + "\n").toUtf8());

        emit cam(0)->clientDisconnected();
        QCOMPARE(QList<int>({disconnected.size(), changed.size()}), QList<int>({1, 1}));
        QCOMPARE(changed.value(0).value(1), QVariant(-1));
        QCOMPARE(c->currentIndex(), -1);
        QVERIFY(!c->camera() && !c->canDrive());
        QCOMPARE(cam(0)->calls.last(), QStringLiteral("moveStop(0,0)"));
    }
    void releaseStopsDisconnectsAndLetsGo()
    {
        connectTo(0);
        c->move(CameraControl::Right);
        QPointer<RecordingCamera> first = cam(0);
        QStringList seenAtRelease;
        connect(c, &CameraControl::aboutToReleaseCameras, this,
                [&] { seenAtRelease = first ? first->calls : QStringList(); });
        QSignalSpy changed(c, &CameraControl::currentCameraChanged);
        c->releaseCameras();
        QCOMPARE(seenAtRelease,
                 (QStringList{"moveRight(8,0)", "moveStop(0,0)", "disconnectCamera"}));
        QCOMPARE(QList<int>({changed.size(), c->cameraCount()}), QList<int>({1, 0}));
        QVERIFY(!c->camera() && !c->move(CameraControl::Left));
        QVERIFY(first); // released with deleteLater
        QTRY_VERIFY(!first);
    }
    void destroyedCameraIsNeverDriven()
    {
        connectTo(1);
        delete cam(1);
        QCOMPARE(c->currentIndex(), -1);
        QVERIFY(!c->camera() && !c->canDrive() && !c->move(CameraControl::Up) && !c->stopMove() &&
                !c->selectCamera(1));
    }
    void everyStartedMotionGetsItsStop_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<QString>("script");
        // Paths: a button or key at the selected speeds; explicit speeds (preset
        // pad, limit dialog, controller, web); zoom; focus.
        const char *paths[] = {"panel move", "explicit move", "zoom", "focus"};
        // "box": the application lost the focus, or a box opened.
        const std::pair<const char *, const char *> cases[] = {
            {"release", "release"},
            {"box", "stopAll"},
            {"switch", "select1"},
            {"rebuild", "rebuild"},
            {"unplug", "unplug"},
            {"drop, box, return", "drop stopAll return"},
            {"drop, release, return", "drop release return"},
            {"drop, switch, back", "drop select1 select0"},
            {"drop, rebuild", "drop rebuild"}};
        for (int p = 0; p < 4; ++p) {
            for (const auto &i : cases)
                QTest::addRow("%s / %s", paths[p], i.first) << p << QString(i.second);
        }
    }
    void everyStartedMotionGetsItsStop()
    {
        QFETCH(int, path);
        QFETCH(QString, script);
        using Ctl = CameraControl;
        const char *started =
            QList<const char *>{"moveUp(", "moveDownLeft(5,5)", "zoomIn(", "focusOut(2)"}[path];
        const char *stop =
            QList<const char *>{"moveStop(", "moveStop(", "zoomStop", "focusStop"}[path];
        connectTo(0);
        RecordingCamera *first = cam(0);
        RecordingCamera *second = cam(1);
        QHash<QString, std::function<void()>> act;
        act.insert("start0", [&] { QVERIFY(c->move(Ctl::Up)); });
        act.insert("start1", [&] { QVERIFY(c->move(Ctl::DownLeft, 5, 5)); });
        act.insert("start2", [&] { QVERIFY(c->zoomIn()); });
        act.insert("start3", [&] { QVERIFY(c->focusOut(2)); });
        act.insert("release0", [&] { c->stopMove(c->speed(Ctl::Pan), 4); });
        act.insert("release1", [&] { c->stopMove(5, 5); });
        act.insert("release2", [&] { c->stopZoom(); });
        act.insert("release3", [&] { c->stopFocus(); });
        act.insert("stopAll", [&] { c->stopAll(); });
        act.insert("select0", [&] { QVERIFY(c->selectCamera(0)); });
        act.insert("select1", [&] { QVERIFY(c->selectCamera(1)); });
        act.insert("rebuild", [&] { c->releaseCameras(); });
        act.insert("unplug", [&] { emit first->clientDisconnected(); });
        act.insert("drop", [&] { first->dropLink(); });
        act.insert("return", [&] { first->restoreLink(); });
        // The operator lets go at last.
        script = QStringLiteral("start%1 %2 release%1").arg(path).arg(script);
        for (QString step : script.split(' '))
            act.value(step == "release" ? step + QString::number(path) : step)();

        const QStringList &calls = first->calls;
        const QString all = calls.join('|');
        QVERIFY2(calls.value(0).startsWith(started), qPrintable(all));
        // The first operation the camera gets after the start is its stop; a
        // released camera cannot be reached once its link is down.
        QStringList operations;
        for (const QString &call : calls.mid(1)) {
            if (call != "connectCamera" && call != "disconnectCamera" && !call.startsWith("lost:"))
                operations << call;
        }
        QCOMPARE(operations.value(0).startsWith(stop), !script.contains("drop rebuild"));
        QVERIFY2(!all.contains("lost:"), qPrintable(all));
        QCOMPARE(c->owedStops(first), 0);
        // Nothing reaches the camera between its deselection and its next
        // selection.
        bool deselected = false;
        for (const QString &call : calls) {
            if (call == "disconnectCamera" || call == "connectCamera")
                deselected = call == "disconnectCamera";
            else
                QVERIFY2(!deselected, qPrintable(all));
        }
        // The other camera is never driven.
        QVERIFY2(!second->calls.join('|').contains(started), qPrintable(second->calls.join('|')));
    }
    // Two axes owed to one camera arrive once each, before anything else, when
    // its link returns; a repeated stop of the same axis is owed once.
    void owedStopsGoFirstAndOncePerAxis()
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
        QVERIFY(!c->isMoving() && !c->isZooming());
    }
    void stagePlan_data()
    {
        QTest::addColumn<int>("aeMode");
        QTest::addColumn<QList<int>>("stages");
        QTest::newRow("Auto") << 0 << QList<int>{0, 4, 5, 6, 7};
        QTest::newRow("Manual") << 1 << QList<int>{0, 1, 2, 4, 5, 6, 7};
        QTest::newRow("SAE") << 2 << QList<int>{0, 1, 4, 5, 6, 7};
        QTest::newRow("AAE") << 3 << QList<int>{0, 2, 4, 5, 6, 7};
        QTest::newRow("Brightness") << 4 << QList<int>{0, 3, 4, 5, 6, 7};
    }
    // The replay of stored values: stage 0 with the recall, the rest in order
    // on the event loop, each only where the AE mode gives it a meaning.
    void stagePlan()
    {
        QFETCH(int, aeMode);
        QFETCH(QList<int>, stages);
        const PresetExposure v{aeMode, 11, 12, 13, 14, 15, 16, 17};
        c->savePresetSettings("127.0.1.1", 2, "Desk", &v);
        connectTo(0);
        c->setStoreExposure(true);
        c->setExposureReplayInterval(0);
        QSignalSpy due(c, &CameraControl::exposureStageDue);
        QVERIFY(c->recallPreset(2));
        QCOMPARE(cam(0)->calls, QStringList{"callPreset(2)"});
        QCOMPARE(due.size(), 1);
        QTRY_COMPARE(c->runningReplays(), 0);
        QList<QVariantList> expected;
        for (int stage : stages)
            expected << QVariantList{stage, stage == 0 ? aeMode : 10 + stage};
        QCOMPARE(QList<QVariantList>(due), expected);
        QVERIFY(!CameraControl::exposureStageValue(v, 8, nullptr) &&
                !CameraControl::exposureStageValue(v, -1, nullptr));
    }
    void replayEndsOnSwitchAndOnLostConnection()
    {
        connectTo(0);
        QSignalSpy due(c, &CameraControl::exposureStageDue);
        QVERIFY(c->recallPreset(1)); // store-exposure off: no replay
        c->setStoreExposure(true);
        QVERIFY(c->recallPresetPosition(1)); // the position alone
        QVERIFY(c->clearPreset(1));
        QCOMPARE(due.size(), 0);
        QCOMPARE(cam(0)->calls, (QStringList{"callPreset(1)", "callPreset(1)", "clearPreset(1)"}));
        c->recallPreset(1);
        QCOMPARE(c->runningReplays(), 1);
        c->stopExposureReplay();
        QCOMPARE(c->runningReplays(), 0);
        c->recallPreset(1);
        c->selectCamera(1);
        QCOMPARE(c->runningReplays(), 0);
        c->recallPreset(1);
        emit cam(1)->clientDisconnected();
        QCOMPARE(c->runningReplays(), 0);
        QVERIFY(c->selectCamera(1));

        c->recallPreset(1);
        emit cam(1)->clientStateChanged("Connected");
        QCOMPARE(c->runningReplays(), 1);
        emit cam(1)->clientStateChanged("Unconnected");
        QCOMPARE(c->runningReplays(), 0);
    }
    // Stored values round-trip through the replay (stagePlan); clearing
    // empties the name and every value.
    void storeAndClearPresetSettings()
    {
        connectTo(0);
        QVERIFY(c->storePresetPosition(3, true) && c->storePresetPosition(8, false));
        const PresetExposure v{1, 2, 3, 4, 5, 6, 7, 1};
        c->savePresetSettings("127.0.1.1", 3, "Desk", &v);
        QCOMPARE(s->presetName("127.0.1.1", 3), QStringLiteral("Desk"));
        QVERIFY(c->clearPreset(3));
        QCOMPARE(cam(0)->calls, (QStringList{"downloadSnapshot(3)", "setPreset(3)", "setPreset(8)",
                                             "clearPreset(3)"}));
        QCOMPARE(s->presetName("127.0.1.1", 3), QString());
        const PresetExposure cleared = c->storedExposure("127.0.1.1", 3);
        QCOMPARE(cleared.luminance + cleared.wbMode, 0);
    }

private:
    // Selected speed indices (pan tilt zoom focus, L when locked) / the stored
    // ones of the first camera.
    QString indices() const
    {
        const QString id = QStringLiteral("127.0.1.1");
        const auto text = [](int p, int t, int z, int f, bool locked) {
            return QStringLiteral("%1 %2 %3 %4").arg(p).arg(t).arg(z).arg(f) + (locked ? " L" : "");
        };
        return text(c->speedIndex(CameraControl::Pan), c->speedIndex(CameraControl::Tilt),
                    c->speedIndex(CameraControl::Zoom), c->speedIndex(CameraControl::Focus),
                    c->panTiltLocked()) +
               " / " +
               text(s->panSpeedIndex(id), s->tiltSpeedIndex(id), s->zoomSpeedIndex(id),
                    s->focusSpeedIndex(id), s->panTiltLocked(id));
    }
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

int main(int argc, char **argv)
{
    TempDataHome home;
    QCoreApplication app(argc, argv);
    TestCameraControl tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_cameracontrol.moc"
