#include "exposurereplay.h"
#include "exposuretables.h"

#include <QPointer>
#include <QtTest>

// The stage timeline of the stored-exposure replay and the value tables behind
// the exposure panel.
class TestExposureReplay : public QObject
{
    Q_OBJECT
private slots:
    void stageZeroRunsAtOnceThenStagesInOrder();
    void handlerAnsweringFalseEndsTheChain();
    void cancelStopsEveryChain();
    void cancelFromInsideAStage();
    void twoRecallsInterleave();
    void destroyedCameraReachesTheHandlerAsNull();
    void productionIntervalIsHalfASecond();

    void statusTexts_data();
    void statusTexts();
    void cameraBytesToListIndices_data();
    void cameraBytesToListIndices();
};

namespace {
struct Call
{
    QObject *camera;
    int preset;
    int stage;
};
} // namespace

void TestExposureReplay::stageZeroRunsAtOnceThenStagesInOrder()
{
    QObject camera;
    QList<Call> calls;
    ExposureReplay replay([&](QObject *cam, int preset, int stage) {
        calls.append({cam, preset, stage});
        return true;
    });
    replay.setStageInterval(10);
    replay.start(&camera, 3);
    QCOMPARE(calls.size(), 1); // stage 0 inside start()
    QCOMPARE(calls[0].stage, 0);
    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), 8, 5000);
    QCOMPARE(replay.runningChains(), 0); // nothing after stage 7
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(calls[i].stage, i);
        QCOMPARE(calls[i].preset, 3);
        QCOMPARE(calls[i].camera, &camera);
    }
}

void TestExposureReplay::handlerAnsweringFalseEndsTheChain()
{
    QList<int> stages;
    ExposureReplay replay([&](QObject *, int, int stage) {
        stages << stage;
        return stage < 2;
    });
    replay.setStageInterval(5);
    replay.start(nullptr, 1);
    QTRY_COMPARE(stages.size(), 3);
    QCOMPARE(replay.runningChains(), 0);
    QCOMPARE(stages, (QList<int>{0, 1, 2}));
}

void TestExposureReplay::cancelStopsEveryChain()
{
    QList<int> stages;
    ExposureReplay replay([&](QObject *, int, int stage) {
        stages << stage;
        return true;
    });
    replay.setStageInterval(200);
    replay.start(nullptr, 1);
    replay.start(nullptr, 2);
    QTRY_COMPARE(stages.size(), 4);
    replay.cancel();
    QCOMPARE(replay.runningChains(), 0); // no timer of theirs is left
    QCOMPARE(stages, (QList<int>{0, 0, 1, 1}));
}

void TestExposureReplay::cancelFromInsideAStage()
{
    QList<int> stages;
    ExposureReplay *self = nullptr;
    ExposureReplay replay([&](QObject *, int, int stage) {
        stages << stage;
        if (stage == 1)
            self->cancel();
        return true;
    });
    self = &replay;
    replay.setStageInterval(5);
    replay.start(nullptr, 9);
    QTRY_COMPARE(stages.size(), 2);
    QCOMPARE(replay.runningChains(), 0);
    QCOMPARE(stages, (QList<int>{0, 1}));
}

void TestExposureReplay::twoRecallsInterleave()
{
    QList<QPair<int, int>> seen;
    ExposureReplay replay([&](QObject *, int preset, int stage) {
        seen.append({preset, stage});
        return true;
    });
    replay.setStageInterval(10);
    replay.start(nullptr, 4);
    replay.start(nullptr, 5);
    QCOMPARE(replay.runningChains(), 2);
    QTRY_COMPARE(seen.size(), 16);
    int fours = 0;
    for (const auto &p : qAsConst(seen))
        fours += p.first == 4;
    QCOMPARE(fours, 8);
    QCOMPARE(replay.runningChains(), 0);
}

void TestExposureReplay::destroyedCameraReachesTheHandlerAsNull()
{
    auto *camera = new QObject;
    QList<QObject *> cams;
    ExposureReplay replay([&](QObject *cam, int, int) {
        cams << cam;
        return true;
    });
    replay.setStageInterval(10);
    replay.start(camera, 2);
    delete camera;
    QTRY_COMPARE(cams.size(), 8);
    QCOMPARE(cams.count(nullptr), 7);
}

void TestExposureReplay::productionIntervalIsHalfASecond()
{
    ExposureReplay replay([](QObject *, int, int) { return true; });
    QCOMPARE(replay.stageInterval(), 500);
}

void TestExposureReplay::statusTexts_data()
{
    QTest::addColumn<int>("iris");
    QTest::addColumn<int>("shutter");
    QTest::addColumn<int>("bright");
    QTest::addColumn<QString>("texts"); // iris, shutter, bright
    QTest::newRow("low ends") << 0 << 1 << 0 << "Iris:Close Shutter:1/30 Bright:0";
    QTest::newRow("high ends") << 12 << 17 << 17 << "Iris:F1.8 Shutter:1/10000 Bright:17";
    QTest::newRow("middle") << 9 << 7 << 5 << "Iris:F2.8 Shutter:1/250 Bright:5";
    QTest::newRow("outside the tables") << 15 << 18 << 200 << "Iris:15 Shutter:18 Bright:200";
    QTest::newRow("byte maximum") << 255 << 255 << 255 << "Iris:255 Shutter:255 Bright:255";
}

void TestExposureReplay::statusTexts()
{
    QFETCH(int, iris);
    QFETCH(int, shutter);
    QFETCH(int, bright);
    QFETCH(QString, texts);
    QCOMPARE(QStringList({ExposureTables::irisStatusText(iris),
                          ExposureTables::shutterStatusText(shutter),
                          ExposureTables::brightStatusText(bright)}),
             texts.split(' '));
}

void TestExposureReplay::cameraBytesToListIndices_data()
{
    QTest::addColumn<int>("cameraByte");
    QTest::addColumn<int>("aeIndex");
    QTest::addColumn<int>("wbIndex");
    QTest::newRow("0x00") << 0x00 << 0 << 0;
    QTest::newRow("0x01") << 0x01 << -1 << 1;
    QTest::newRow("0x02") << 0x02 << -1 << 2;
    QTest::newRow("0x03") << 0x03 << 1 << 3;
    QTest::newRow("0x04") << 0x04 << -1 << -1;
    QTest::newRow("0x05") << 0x05 << -1 << 4;
    QTest::newRow("0x0A") << 0x0A << 2 << -1;
    QTest::newRow("0x0B") << 0x0B << 3 << -1;
    QTest::newRow("0x0D") << 0x0D << 4 << -1;
    QTest::newRow("0x10") << 0x10 << -1 << -1;
    QTest::newRow("0xFF") << 0xFF << -1 << -1;
}

void TestExposureReplay::cameraBytesToListIndices()
{
    QFETCH(int, cameraByte);
    QFETCH(int, aeIndex);
    QFETCH(int, wbIndex);
    QCOMPARE(ExposureTables::aeModeIndexFromByte(cameraByte), aeIndex);
    QCOMPARE(ExposureTables::wbIndexFromByte(cameraByte), wbIndex);
}

QTEST_GUILESS_MAIN(TestExposureReplay)
#include "tst_exposurereplay.moc"
