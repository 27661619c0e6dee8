// Replay of the exposure stored with a preset through the window: which
// stages reach the camera, and that a replay never outlives its camera's
// connection.
#include "recordingpanel.h"

#include <QCheckBox>

class TestPresetReplay : public RecordingPanel
{
    Q_OBJECT
private slots:
    void init()
    {
        createPanel();
        // The panel starts from AE auto, shutter 1/30, iris Close, sliders 7, WB
        // auto; a stage whose value does not change its widget sends nothing.
        for (int i = 0; i < 2; ++i)
            cam(i)->status().luminance = cam(i)->status().contrast = cam(i)->status().hue = 7;
        storeExposure(0, 6, {1, 8, 4, 3, 2, 2, 2, 1});
        storeExposure(1, 6, {1, 9, 6, 3, 11, 11, 11, 2});
        connectTo(0);
        child<QCheckBox>("storeExposure")->setChecked(true);
    }
    void cleanup() { destroyPanel(); }
    void replayTimeline_data()
    {
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("AAE: iris, no shutter or bright")
            << QList<int>{3, 5, 9, 4, 10, 3, 12, 2}
            << QStringList{"setAeMode(3)",   "setIris(9)", "setLuminance(10)",
                           "setContrast(3)", "setHue(12)", "setWBMode(2)"};
        QTest::newRow("indices outside their lists are skipped")
            << QList<int>{9, 99, -1, 40, 10, 3, 12, 7}
            << QStringList{"setLuminance(10)", "setContrast(3)", "setHue(12)"};
    }
    void replayTimeline()
    {
        QFETCH(QList<int>, stored);
        QFETCH(QStringList, calls);
        storeExposure(0, 3, stored);
        w->setExposureReplayInterval(0);
        child("mem3")->click();
        QTRY_COMPARE(c->runningReplays(), 0);
        QCOMPARE(cam()->calls, QStringList{"callPreset(3)"} + calls);
    }
    void replayStops_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("another camera selected") << 0;
        QTest::newRow("camera disconnected, then connected again") << 1;
        QTest::newRow("network connection lost and reopened") << 2;
    }
    // The second stage would run only after the event, which must end the replay.
    void replayStops()
    {
        QFETCH(int, how);
        w->setExposureReplayInterval(60 * 1000);
        w->onCallPreset(6);
        QCOMPARE(c->runningReplays(), 1);
        if (how == 0) {
            w->selectCamera(1);
        } else if (how == 1) {
            c->clearSelection();
            w->selectCamera(0);
        } else { // the window keeps its connected flag throughout
            emit cam()->clientStateChanged("Connecting");
            emit cam()->clientStateChanged("Connected");
            QVERIFY(w->cameraConnected());
        }
        QCoreApplication::processEvents();
        QCOMPARE(c->runningReplays(), 0);
        // Only stage 0 (AE mode) reached the first camera, nothing the second.
        QCOMPARE((cam(0)->calls + cam(1)->calls).filter(QRegularExpression("^set")),
                 QStringList{"setAeMode(1)"});
    }

private:
    // Stored exposure of preset n of camera i: AE mode, shutter, iris, bright
    // (list indices), luminance, contrast, hue (slider values), white balance.
    void storeExposure(int i, int n, const QList<int> &v)
    {
        PresetExposure e{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
        c->savePresetSettings(cam(i)->getCameraId(), n, QString(), &e);
    }
};

QTEST_MAIN(TestPresetReplay)
#include "tst_presetreplay.moc"
