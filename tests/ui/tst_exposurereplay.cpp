#include "exposurereplay.h"
#include "exposuretables.h"

#include <QtTest>

// The stage timeline of the stored-exposure replay and the value tables behind
// the exposure panel.
class TestExposureReplay : public QObject
{
    Q_OBJECT
private slots:
    void stagesRunInOrderUntilTheHandlerSaysNo_data()
    {
        QTest::addColumn<int>("lastStage");  // the handler answers false from here
        QTest::addColumn<QString>("stages"); // c: with its camera, n: null
        QTest::newRow("all eight") << 9 << "0c1n2n3n4n5n6n7n";
        QTest::newRow("false at stage 2") << 2 << "0c1n2n";
    }
    // Stage 0 runs inside start(); a camera destroyed meanwhile reaches the
    // handler as null; two recalls run side by side.
    void stagesRunInOrderUntilTheHandlerSaysNo()
    {
        QFETCH(int, lastStage);
        QFETCH(QString, stages);
        auto *camera = new QObject;
        QMap<int, QString> seen; // per preset
        ExposureReplay replay([&](QObject *cam, int preset, int stage) {
            seen[preset] += QString::number(stage) + (cam ? 'c' : 'n');
            return stage < lastStage;
        });
        replay.setStageInterval(5);
        replay.start(camera, 3);
        QCOMPARE(seen[3], QStringLiteral("0c"));
        delete camera;
        replay.start(nullptr, 4);
        QCOMPARE(replay.runningChains(), 2);
        QTRY_COMPARE(seen[3], stages);
        QTRY_COMPARE(seen[4], QString(stages).replace('c', 'n'));
        QCOMPARE(replay.runningChains(), 0);
    }
    // Cancelled by the handler of stage 1 of the first chain (cancelling from
    // outside: tst_cameracontrol).
    void cancelFromInsideAStageStopsEveryChain()
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
        replay.setStageInterval(200);
        replay.start(nullptr, 1);
        replay.start(nullptr, 2);
        QTRY_COMPARE(stages.size(), 3);
        QCOMPARE(replay.runningChains(), 0); // no timer of theirs is left
        QCOMPARE(stages, (QList<int>{0, 0, 1}));
    }
    void statusTextsOutsideTheTablesShowTheNumber()
    {
        using namespace ExposureTables;
        QCOMPARE(irisStatusText(13) + shutterStatusText(18) + brightStatusText(255),
                 QStringLiteral("Iris:13Shutter:18Bright:255"));
    }
    void cameraBytesToListIndices()
    {
        const int bytes[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x0A, 0x0B, 0x0D, 0x10, 0xFF};
        const int ae[] = {0, -1, -1, 1, -1, -1, 2, 3, 4, -1, -1};
        const int wb[] = {0, 1, 2, 3, -1, 4, -1, -1, -1, -1, -1};
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(ExposureTables::aeModeIndexFromByte(bytes[i]), ae[i]);
            QCOMPARE(ExposureTables::wbIndexFromByte(bytes[i]), wb[i]);
        }
    }
};

QTEST_GUILESS_MAIN(TestExposureReplay)
#include "tst_exposurereplay.moc"
