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
        QTest::newRow("Auto") << 0 << "000000000";
        QTest::newRow("Manual") << 1 << "111111000";
        QTest::newRow("SAE") << 2 << "111000000";
        QTest::newRow("AAE") << 3 << "000111000";
        QTest::newRow("Brightness") << 4 << "000000111";
    }
    void aeModeEnablingAndCalls()
    {
        QFETCH(int, index);
        connectTo();
        combo("aeModeSelect", (index + 1) % 5);
        cam()->calls.clear();
        combo("aeModeSelect", index);
        QString enabled; // each of Up, Down and the list, per axis
        for (const char *axis : {"shutter", "iris", "bright"}) {
            for (const char *suffix : {"Up", "Down", "Combo"})
                enabled +=
                    child<QWidget>(qPrintable(axis + QString(suffix)))->isEnabled() ? '1' : '0';
        }
        QTEST(enabled, "enabled");
        QCOMPARE(cam()->calls, QStringList{QStringLiteral("setAeMode(%1)").arg(index)});
    }
    void stepButtons_data()
    {
        QTest::addColumn<QString>("button"); // steps the combo named after it
        QTest::addColumn<int>("start");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("iris up at 12") << "irisUp" << 12 << QStringList();
        QTest::newRow("iris up") << "irisUp" << 8 << QStringList{"setIris(9)"};
        QTest::newRow("shutter up at 16") << "shutterUp" << 16 << QStringList();
        QTest::newRow("shutter down") << "shutterDown" << 4 << QStringList{"setShutter(3)"};
        QTest::newRow("bright up") << "brightUp" << 5 << QStringList{"brightUp"};
    }
    void stepButtons()
    {
        QFETCH(QString, button);
        QFETCH(int, start);
        connectTo();
        const QString name = QString(button).remove(QRegularExpression("(Up|Down)$")) + "Combo";
        combo("aeModeSelect", name == "brightCombo" ? 4 : 1); // enables the buttons
        combo(qPrintable(name), start);
        cam()->calls.clear();
        child(qPrintable(button))->click();
        QTEST(cam()->calls, "calls");
    }
    // A scene sends only what changes.
    void scenes()
    {
        connectTo();
        for (const char *scene : {"lowLightBtn", "lowLightBtn", "sportsDayBtn", "sportsNightBtn"})
            child(scene)->click();
        QCOMPARE(cam()->calls,
                 (QStringList{"setAeMode(1)", "setShutter(1)", "setIris(12)", "setShutter(6)",
                              "setIris(5)", "setShutter(4)", "setIris(12)"}));
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
        QTest::newRow("counter shared across sliders, down") << "LCh" << QStringList{"setHue(6)"};
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
        // The camera's AE mode byte, shutter, iris, white-balance byte and
        // luminance; the panel starts from shutter 5, iris 3, white balance 2,
        // luminance 7. Values outside a list leave that widget as it is.
        QTest::addColumn<QList<int>>("state");
        QTest::addColumn<QList<int>>("shown"); // AE mode, shutter, iris, WB index, luminance
        QTest::newRow("in the lists")
            << QList<int>{0x0B, 7, 9, 0x05, 5} << QList<int>{3, 6, 9, 4, 5};
        QTest::newRow("outside the lists")
            << QList<int>{0x04, 20, 15, 0x04, 4} << QList<int>{0, 5, 3, 2, 4};
    }
    // Once per connection, and nothing is sent back; later changes of the
    // camera show in the status texts only.
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
        st.luminance = uint8_t(state[4]);
        w->selectCamera(0);
        QCoreApplication::processEvents();
        cam()->calls.clear();
        for (int cycle = 0; cycle < 2; ++cycle) {
            pollCycle();
            QList<int> shown;
            for (const char *name : {"aeModeSelect", "shutterCombo", "irisCombo", "wbCombo"})
                shown << child<QComboBox>(name)->currentIndex();
            QTEST(shown << child<QSlider>("luminanceSlider")->value(), "shown");
            st.iris = 12;
            st.luminance = 9;
        }
        QCOMPARE(statusText("irisStatus"), QStringLiteral("Iris:F1.8"));
        QCOMPARE(cam()->calls, QStringList());
    }

private:
    void combo(const char *name, int index) { child<QComboBox>(name)->setCurrentIndex(index); }
};

QTEST_MAIN(TestExposure)
#include "tst_exposure.moc"
