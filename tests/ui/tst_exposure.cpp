// The exposure, image and colour panel over recording cameras: the operation
// each widget gives the selected camera, the enabling table, and the one-time
// copy of the camera's values after a connection.
#include "recordingpanel.h"

#include <QComboBox>
#include <QSlider>

class TestExposure : public RecordingPanel
{
    Q_OBJECT
private slots:
    void init() { createPanel(); }
    void cleanup() { destroyPanel(); }

    void aeModeEnablingAndCalls_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("enabled"); // shutter, iris, bright
        QTest::newRow("Auto") << 0 << "000";
        QTest::newRow("Manual") << 1 << "110";
        QTest::newRow("SAE") << 2 << "100";
        QTest::newRow("AAE") << 3 << "010";
        QTest::newRow("Brightness") << 4 << "001";
    }
    void aeModeEnablingAndCalls()
    {
        QFETCH(int, index);
        connectTo();
        combo("aeModeSelect", (index + 1) % 5);
        cam()->calls.clear();
        combo("aeModeSelect", index);
        QString enabled;
        for (const char *axis : {"shutter", "iris", "bright"}) {
            QString on;
            for (const char *suffix : {"Up", "Down", "Combo"})
                on += child<QWidget>(qPrintable(axis + QString(suffix)))->isEnabled() ? '1' : '0';
            enabled += on == "111" ? '1' : on == "000" ? '0' : '?';
        }
        QTEST(enabled, "enabled");
        QCOMPARE(cam()->calls, QStringList{QStringLiteral("setAeMode(%1)").arg(index)});
    }
    void stepButtons_data()
    {
        QTest::addColumn<QString>("button"); // steps the combo named after it
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("expectedIndex");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("iris up at 12") << "irisUp" << 12 << 12 << QStringList();
        QTest::newRow("iris up") << "irisUp" << 8 << 9 << QStringList{"setIris(9)"};
        QTest::newRow("iris down at 0") << "irisDown" << 0 << 0 << QStringList();
        QTest::newRow("shutter up at 16") << "shutterUp" << 16 << 16 << QStringList();
        QTest::newRow("shutter down") << "shutterDown" << 4 << 3 << QStringList{"setShutter(3)"};
        QTest::newRow("bright up") << "brightUp" << 5 << 5 << QStringList{"brightUp"};
        QTest::newRow("bright down") << "brightDown" << 5 << 5 << QStringList{"brightDown"};
    }
    void stepButtons()
    {
        QFETCH(QString, button);
        QFETCH(int, start);
        connectTo();
        const QString name = QString(button).remove(QRegularExpression("(Up|Down)$")) + "Combo";
        combo("aeModeSelect", name == "brightCombo" ? 4 : 1); // enables the buttons
        auto *box = child<QComboBox>(qPrintable(name));
        box->setCurrentIndex(start);
        cam()->calls.clear();
        child(qPrintable(button))->click();
        QTEST(box->currentIndex(), "expectedIndex");
        QTEST(cam()->calls, "calls");
    }
    void scenes_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("low light")
            << "lowLightBtn" << QStringList{"setAeMode(1)", "setShutter(1)", "setIris(12)"};
        QTest::newRow("sports day")
            << "sportsDayBtn" << QStringList{"setAeMode(1)", "setShutter(6)", "setIris(5)"};
        QTest::newRow("sports night")
            << "sportsNightBtn" << QStringList{"setAeMode(1)", "setShutter(4)", "setIris(12)"};
    }
    void scenes()
    {
        QFETCH(QString, button);
        connectTo();
        child(qPrintable(button))->click();
        QTEST(cam()->calls, "calls");
        cam()->calls.clear(); // the same scene again changes nothing, sends nothing
        child(qPrintable(button))->click();
        QCOMPARE(cam()->calls, QStringList());
    }
    void buttonsAndSliders()
    {
        connectTo();
        auto *onePush = child("onePushTriggerBtn");
        combo("wbCombo", 3);
        QVERIFY(onePush->isEnabled());
        onePush->click();
        combo("wbCombo", 4);
        QVERIFY(!onePush->isEnabled());
        for (const char *name : {"osdMenuBtn", "osdEnterBtn", "osdBackBtn", "imgFlipBtn",
                                 "imgFlipBtn", "imgMirrorBtn", "syncOnBtn", "syncOffBtn"})
            child(name)->click();
        child<QSlider>("luminanceSlider")->setValue(14);
        child<QSlider>("contrastSlider")->setValue(3);
        child<QSlider>("hueSlider")->setValue(200); // clamped to 14
        QCOMPARE(cam()->calls,
                 (QStringList{"setWBMode(3)", "onePushTrigger", "setWBMode(4)", "osdMenu",
                              "osdEnter", "osdBack", "setImageFlip(1)", "setImageFlip(0)",
                              "setImageMirror(1)", "setMotionSync(1)", "setMotionSync(0)",
                              "setLuminance(14)", "setContrast(3)", "setHue(14)"}));
    }
    void joystickSteps_data()
    {
        // 'L'/'l' luminance up/down, 'C'/'c' contrast, 'H'/'h' hue.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("three steps move once") << "LLL" << QStringList{"setLuminance(8)"};
        QTest::newRow("six move twice")
            << "LLLLLL" << QStringList{"setLuminance(8)", "setLuminance(9)"};
        QTest::newRow("two do nothing") << "LL" << QStringList();
        QTest::newRow("counter shared across sliders") << "LCH" << QStringList{"setHue(8)"};
        QTest::newRow("down") << "hhh" << QStringList{"setHue(6)"};
    }
    void joystickSteps()
    {
        QFETCH(QString, steps);
        connectTo();
        for (const char *name : {"luminanceSlider", "contrastSlider", "hueSlider"})
            child<QSlider>(name)->setValue(7);
        cam()->calls.clear();
        using Step = void (MainWindow::*)(bool);
        const QHash<QChar, Step> step = {{'l', &MainWindow::onLuminanceChangeTriggered},
                                         {'c', &MainWindow::onContrastChangeTriggered},
                                         {'h', &MainWindow::onHueChangeTriggered}};
        for (QChar ch : steps)
            (w->*step.value(ch.toLower()))(ch.isUpper());
        QTEST(cam()->calls, "calls");
    }
    void syncFromCamera_data()
    {
        // The camera's AE mode byte, shutter, iris, white-balance byte; the panel
        // starts from shutter 5, iris 3, white balance 2. Values outside a list
        // leave that widget as it is.
        QTest::addColumn<QList<int>>("state");
        QTest::addColumn<QList<int>>("indices"); // AE mode, shutter, iris, white balance
        QTest::newRow("in the lists") << QList<int>{0x0B, 7, 9, 0x05} << QList<int>{3, 6, 9, 4};
        QTest::newRow("outside the lists")
            << QList<int>{0x04, 20, 15, 0x04} << QList<int>{0, 5, 3, 2};
    }
    void syncFromCamera()
    {
        QFETCH(QList<int>, state);
        combo("shutterCombo", 5);
        combo("irisCombo", 3);
        combo("wbCombo", 2);
        CameraStatus &st = cam()->status();
        st.aeMode = uint8_t(state[0]);
        st.shutter = uint8_t(state[1]);
        st.iris = uint8_t(state[2]);
        st.wbMode = uint8_t(state[3]);
        w->selectCamera(0);
        QCoreApplication::processEvents();
        cam()->calls.clear();
        pollCycle();
        QList<int> shown;
        for (const char *name : {"aeModeSelect", "shutterCombo", "irisCombo", "wbCombo"})
            shown << child<QComboBox>(name)->currentIndex();
        QTEST(shown, "indices");
        QCOMPARE(cam()->calls, QStringList()); // nothing sent back
    }
    void syncHappensOncePerConnection()
    {
        cam()->status().luminance = 5;
        cam()->status().aeMode = 0x03; // Manual: the enabling table follows
        connectTo();
        auto *lum = child<QSlider>("luminanceSlider");
        QCOMPARE(lum->value(), 5);
        QVERIFY(child("irisUp")->isEnabled());
        cam()->status().luminance = 9; // later changes show in the status texts only
        cam()->status().iris = 12;
        pollCycle();
        QCOMPARE(statusText("irisStatus"), QStringLiteral("Iris:F1.8"));
        QCOMPARE(lum->value(), 5);
        QCOMPARE(cam()->calls, QStringList());
    }

private:
    void combo(const char *name, int index) { child<QComboBox>(name)->setCurrentIndex(index); }
};

QTEST_MAIN(TestExposure)
#include "tst_exposure.moc"
