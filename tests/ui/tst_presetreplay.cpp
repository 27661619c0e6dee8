// Replay of the exposure stored with a preset, against camera simulators on
// loopback: which stages reach the camera, when, and that a replay never
// outlives its camera's connection.

#include "panelharness.h"

#include <QCheckBox>
#include <QPushButton>

using namespace PanelHarness;

namespace {

// Exposure commands of the panel (set iris/shutter/bright, AE mode, white
// balance, luminance, contrast, hue): their fourth byte.
bool isExposureCommand(const QByteArray &m)
{
    static const QByteArray codes = hex("4b4a4d3935a1a24f");
    return m.size() >= 4 && quint8(m[0]) == 0x81 && m[1] == 0x01 && m[2] == 0x04 &&
           codes.contains(m[3]);
}

} // namespace

class TestPresetReplay : public PanelTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void recallWithStoreExposureOffSendsOnlyPosition();
    void replayTimeline_data();
    void replayTimeline();
    void replayStops_data();
    void replayStops();

private:
    // Camera 1 connected, exposure stored with presets, stages `interval` ms
    // apart, logs empty.
    void startWithReplayOn(int interval)
    {
        h.connectCamera(0);
        child<QCheckBox>("storeExposure")->setChecked(true);
        w()->setExposureReplayInterval(interval);
        h.clearLogs();
    }
};

void TestPresetReplay::initTestCase()
{
    QVERIFY(h.setUp());
}

void TestPresetReplay::init()
{
    resetPanel();
}

void TestPresetReplay::recallWithStoreExposureOffSendsOnlyPosition()
{
    h.storeExposure(0, 5, {1, 8, 4, 3, 2, 2, 2, 1});
    h.connectCamera(0);
    h.clearLogs();
    child<QCheckBox>("storeExposure")->setChecked(false);
    w()->setExposureReplayInterval(0);
    child<QPushButton>("mem5")->click();
    // No replay runs, so nothing follows the recall.
    QCOMPARE(w()->control()->runningReplays(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands, QList<QByteArray>{hex("8101043f0205ff")}, kWait);
}

void TestPresetReplay::replayTimeline_data()
{
    // Stored: AE mode, shutter, iris, bright, luminance, contrast, hue, WB
    // (list indices and slider values). The camera and the panel start from
    // AE auto, shutter 1/30, iris Close, bright 7, sliders 7, WB auto; a stage
    // whose value does not change the widget sends nothing.
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::newRow("AAE: iris, no shutter or bright")
        << QList<int>{3, 5, 9, 4, 10, 3, 12, 2}
        << QList<QByteArray>{hex("810104390bff"),       hex("8101044b00000009ff"),
                             hex("810104a10000000aff"), hex("810104a200000003ff"),
                             hex("8101044f0000000cff"), hex("8101043502ff")};
    QTest::newRow("Auto: image and white balance only")
        << QList<int>{0, 5, 9, 4, 10, 3, 12, 2}
        << QList<QByteArray>{hex("810104a10000000aff"), hex("810104a200000003ff"),
                             hex("8101044f0000000cff"), hex("8101043502ff")};
    QTest::newRow("Manual: shutter and iris")
        << QList<int>{1, 8, 4, 3, 2, 4, 6, 1}
        << QList<QByteArray>{hex("8101043903ff"),       hex("8101044a00000009ff"),
                             hex("8101044b00000004ff"), hex("810104a100000002ff"),
                             hex("810104a200000004ff"), hex("8101044f00000006ff"),
                             hex("8101043501ff")};
    QTest::newRow("SAE: shutter only")
        << QList<int>{2, 16, 4, 3, 7, 7, 7, 0}
        << QList<QByteArray>{hex("810104390aff"), hex("8101044a00000101ff")};
    QTest::newRow("indices outside their lists are skipped")
        << QList<int>{9, 99, -1, 40, 10, 3, 12, 7}
        << QList<QByteArray>{hex("810104a10000000aff"), hex("810104a200000003ff"),
                             hex("8101044f0000000cff")};
    QTest::newRow("Brightness: bright only")
        << QList<int>{4, 3, 3, 12, 7, 7, 7, 3}
        << QList<QByteArray>{hex("810104390dff"), hex("8101044d0000000cff"), hex("8101043503ff")};
}

void TestPresetReplay::replayTimeline()
{
    QFETCH(QList<int>, stored);
    QFETCH(QList<QByteArray>, commands);
    h.storeExposure(0, 3, stored);
    startWithReplayOn(0);

    child<QPushButton>("mem3")->click();
    // Once the replay is over nothing more is sent: the list only grows.
    QTRY_COMPARE_WITH_TIMEOUT(w()->control()->runningReplays(), 0, kWait);
    const QList<QByteArray> expected = QList<QByteArray>{hex("8101043f0203ff")} + commands;
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands, expected, kWait);
}

void TestPresetReplay::replayStops_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("another camera selected") << 0;
    QTest::newRow("camera disconnected, then connected again") << 1;
    QTest::newRow("network connection lost and reopened") << 2;
}

void TestPresetReplay::replayStops()
{
    QFETCH(int, how);
    // Manual exposure stored for preset 6 on both cameras; the second stage
    // would run only after the event below, which must end the replay.
    h.storeExposure(0, 6, {1, 8, 4, 3, 2, 2, 2, 1});
    h.storeExposure(1, 6, {1, 9, 6, 3, 11, 11, 11, 2});
    startWithReplayOn(60 * 1000);

    w()->onCallPreset(6);
    QCOMPARE(w()->control()->runningReplays(), 1);
    if (how == 0) {
        h.connectCamera(1);
    } else if (how == 1) {
        h.disconnectAll();
        h.connectCamera(0);
    } else {
        // The camera reopens a dropped connection by itself; the window keeps
        // its connected flag throughout.
        MessageBoxCloser errors(w()->messages());
        const int accepted = h.cams[0].sim->acceptedConnections();
        h.cams[0].sim->dropConnections();
        QTRY_VERIFY_WITH_TIMEOUT(h.cams[0].sim->acceptedConnections() > accepted &&
                                     h.cams[0].sim->openConnections() == 1,
                                 kWait);
        QVERIFY(w()->cameraConnected());
    }
    QCOMPARE(w()->control()->runningReplays(), 0);

    // Only the recall and stage 0 (AE mode) reach the first camera, nothing
    // of the replay the second.
    const QList<QByteArray> started = {hex("8101043f0206ff"), hex("8101043903ff")};
    for (const QByteArray &m : qAsConst(h.cams[0].commands))
        QVERIFY2(started.contains(m), m.toHex().constData());
    for (const QByteArray &m : qAsConst(h.cams[1].commands))
        QVERIFY2(!isExposureCommand(m), m.toHex().constData());
}

PANEL_TEST_MAIN(TestPresetReplay)
#include "tst_presetreplay.moc"
