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
    void stagesRunInOrderUntilTheHandlerSaysNo_data()
    {
        QTest::addColumn<int>("lastStage"); // the handler answers false from here
        QTest::newRow("all eight") << 9;
        QTest::newRow("false at stage 2") << 2;
    }
    // Stage 0 runs inside start(); a camera destroyed meanwhile reaches the
    // handler as null; two recalls run side by side.
    void stagesRunInOrderUntilTheHandlerSaysNo()
    {
        QFETCH(int, lastStage);
        auto *camera = new QObject;
        QStringList seen;
        ExposureReplay replay([&](QObject *cam, int preset, int stage) {
            seen << QStringLiteral("%1:%2:%3").arg(preset).arg(stage).arg(cam ? "cam" : "null");
            return stage < lastStage;
        });
        replay.setStageInterval(5);
        replay.start(camera, 3);
        QCOMPARE(seen, QStringList{"3:0:cam"});
        delete camera;
        replay.start(nullptr, 4);
        QCOMPARE(replay.runningChains(), 2);
        const int stages = qMin(lastStage + 1, 8);
        QTRY_COMPARE(seen.size(), 2 * stages);
        QCOMPARE(replay.runningChains(), 0);
        for (int stage = 0; stage < stages; ++stage) {
            QVERIFY(
                seen.contains(QStringLiteral("3:%1:%2").arg(stage).arg(stage ? "null" : "cam")));
            QVERIFY(seen.contains(QStringLiteral("4:%1:null").arg(stage)));
        }
    }
    void cancelStopsEveryChain_data()
    {
        QTest::addColumn<bool>("fromInside"); // cancelled by the handler of stage 1
        QTest::newRow("from outside") << false;
        QTest::newRow("from inside a stage") << true;
    }
    void cancelStopsEveryChain()
    {
        QFETCH(bool, fromInside);
        QList<int> stages;
        ExposureReplay *self = nullptr;
        ExposureReplay replay([&](QObject *, int, int stage) {
            stages << stage;
            if (fromInside && stage == 1)
                self->cancel();
            return true;
        });
        self = &replay;
        replay.setStageInterval(200);
        replay.start(nullptr, 1);
        replay.start(nullptr, 2);
        QTRY_COMPARE(stages.size(), fromInside ? 3 : 4);
        if (!fromInside)
            replay.cancel();
        QCOMPARE(replay.runningChains(), 0); // no timer of theirs is left
        QCOMPARE(stages.mid(0, 3), (QList<int>{0, 0, 1}));
    }
    void statusTexts()
    {
        using namespace ExposureTables;
        const auto texts = [](int iris, int shutter, int bright) {
            return irisStatusText(iris) + ' ' + shutterStatusText(shutter) + ' ' +
                   brightStatusText(bright);
        };
        QCOMPARE(texts(0, 1, 0), QStringLiteral("Iris:Close Shutter:1/30 Bright:0"));
        QCOMPARE(texts(12, 17, 17), QStringLiteral("Iris:F1.8 Shutter:1/10000 Bright:17"));
        QCOMPARE(texts(9, 7, 5), QStringLiteral("Iris:F2.8 Shutter:1/250 Bright:5"));
        // Outside the tables: the number itself.
        QCOMPARE(texts(13, 18, 255), QStringLiteral("Iris:13 Shutter:18 Bright:255"));
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
