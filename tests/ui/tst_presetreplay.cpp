// Replay of the exposure stored with a preset, against camera simulators on
// loopback: which stages reach the camera, when, and that a replay never
// outlives its camera's connection.

#include "panelharness.h"

#include <QCheckBox>
#include <QElapsedTimer>
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
    w()->setExposureReplayInterval(40);
    child<QPushButton>("mem5")->click();
    QTest::qWait(8 * 40 + 100); // longer than a whole replay
    QCOMPARE(h.cams[0].commands, QList<QByteArray>{hex("8101043f0205ff")});
}

void TestPresetReplay::replayTimeline_data()
{
    // Stored: AE mode, shutter, iris, bright, luminance, contrast, hue, WB
    // (list indices and slider values). The camera and the panel start from
    // AE auto, shutter 1/30, iris Close, bright 7, sliders 7, WB auto; a stage
    // whose value does not change the widget sends nothing.
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<QList<int>>("stages");
    QTest::newRow("AAE: iris, no shutter or bright")
        << QList<int>{3, 5, 9, 4, 10, 3, 12, 2}
        << QList<QByteArray>{hex("810104390bff"),       hex("8101044b00000009ff"),
                             hex("810104a10000000aff"), hex("810104a200000003ff"),
                             hex("8101044f0000000cff"), hex("8101043502ff")}
        << QList<int>{0, 2, 4, 5, 6, 7};
    QTest::newRow("Auto: image and white balance only")
        << QList<int>{0, 5, 9, 4, 10, 3, 12, 2}
        << QList<QByteArray>{hex("810104a10000000aff"), hex("810104a200000003ff"),
                             hex("8101044f0000000cff"), hex("8101043502ff")}
        << QList<int>{4, 5, 6, 7};
    QTest::newRow("Manual: shutter and iris")
        << QList<int>{1, 8, 4, 3, 2, 4, 6, 1}
        << QList<QByteArray>{hex("8101043903ff"),       hex("8101044a00000009ff"),
                             hex("8101044b00000004ff"), hex("810104a100000002ff"),
                             hex("810104a200000004ff"), hex("8101044f00000006ff"),
                             hex("8101043501ff")}
        << QList<int>{0, 1, 2, 4, 5, 6, 7};
    QTest::newRow("SAE: shutter only")
        << QList<int>{2, 16, 4, 3, 7, 7, 7, 0}
        << QList<QByteArray>{hex("810104390aff"), hex("8101044a00000101ff")} << QList<int>{0, 1};
    QTest::newRow("indices outside their lists are skipped")
        << QList<int>{9, 99, -1, 40, 10, 3, 12, 7}
        << QList<QByteArray>{hex("810104a10000000aff"), hex("810104a200000003ff"),
                             hex("8101044f0000000cff")}
        << QList<int>{4, 5, 6};
    QTest::newRow("Brightness: bright only")
        << QList<int>{4, 3, 3, 12, 7, 7, 7, 3}
        << QList<QByteArray>{hex("810104390dff"), hex("8101044d0000000cff"), hex("8101043503ff")}
        << QList<int>{0, 3, 7};
}

void TestPresetReplay::replayTimeline()
{
    QFETCH(QList<int>, stored);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QList<int>, stages);
    constexpr int interval = 50;
    h.storeExposure(0, 3, stored);
    startWithReplayOn(interval);

    QElapsedTimer sinceRecall;
    sinceRecall.start();
    child<QPushButton>("mem3")->click();
    const QList<QByteArray> expected = QList<QByteArray>{hex("8101043f0203ff")} + commands;
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands.size(), expected.size(), kWait);
    // Until the whole replay is over.
    QTest::qWait(int(qMax<qint64>(0, 8 * interval + 50 - sinceRecall.elapsed())));
    QCOMPARE(h.cams[0].commands, expected);

    // Stage k runs k intervals after the recall; stage 0 at once.
    const QList<qint64> &t = h.cams[0].times;
    for (int i = 0; i < stages.size(); ++i) {
        const qint64 offset = t[1 + i] - t[0];
        if (stages[i] == 0)
            QVERIFY2(offset < interval / 2, "stage 0 is not sent at once");
        else
            QVERIFY2(offset >= stages[i] * interval - interval / 4,
                     qPrintable(QString("stage %1 after %2 ms").arg(stages[i]).arg(offset)));
    }
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
    constexpr int interval = 100;
    // Manual exposure stored for preset 6 on both cameras.
    h.storeExposure(0, 6, {1, 8, 4, 3, 2, 2, 2, 1});
    h.storeExposure(1, 6, {1, 9, 6, 3, 11, 11, 11, 2});
    startWithReplayOn(interval);

    QElapsedTimer sinceRecall;
    sinceRecall.start();
    w()->onCallPreset(6);
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
    // Stages were still due when the window was connected again.
    QVERIFY2(sinceRecall.elapsed() < 6 * interval,
             qPrintable(QString("reconnecting took %1 ms").arg(sinceRecall.elapsed())));
    QTest::qWait(int(qMax<qint64>(0, 8 * interval + 150 - sinceRecall.elapsed())));

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
