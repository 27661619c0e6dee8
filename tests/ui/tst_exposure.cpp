// The exposure, image and colour panel of the main window over recording
// cameras: the operation each widget gives the selected camera, the enabling
// table, the one-time copy of the camera's values after a connection and the
// status texts. (Wire bytes of these operations: tst_visca.)

#include "recordingpanel.h"

#include <QComboBox>
#include <QPushButton>
#include <QSlider>

class TestExposure : public RecordingPanel
{
    Q_OBJECT
private slots:
    void init() { createPanel(); }
    void cleanup() { destroyPanel(); }

    void aeModeEnablingAndCalls_data();
    void aeModeEnablingAndCalls();
    void stepButtons_data();
    void stepButtons();
    void scenes_data();
    void scenes();
    void whiteBalanceAndOnePush();
    void keysAndSwitches();
    void sliders();
    void joystickSteps_data();
    void joystickSteps();
    void syncFromCamera_data();
    void syncFromCamera();
    void syncHappensOncePerConnection();
    void nothingSentWithoutConnection();

private:
    void combo(const char *name, int index) { child<QComboBox>(name)->setCurrentIndex(index); }
};

void TestExposure::aeModeEnablingAndCalls_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("shutterOn");
    QTest::addColumn<bool>("irisOn");
    QTest::addColumn<bool>("brightOn");
    QTest::newRow("Auto") << 0 << false << false << false;
    QTest::newRow("Manual") << 1 << true << true << false;
    QTest::newRow("SAE") << 2 << true << false << false;
    QTest::newRow("AAE") << 3 << false << true << false;
    QTest::newRow("Brightness") << 4 << false << false << true;
}

void TestExposure::aeModeEnablingAndCalls()
{
    QFETCH(int, index);
    QFETCH(bool, shutterOn);
    QFETCH(bool, irisOn);
    QFETCH(bool, brightOn);
    connectTo();
    combo("aeModeSelect", (index + 1) % 5);
    cam()->calls.clear();
    combo("aeModeSelect", index);
    const auto enabled = [this](const char *axis) {
        int on = 0;
        for (const char *suffix : {"Up", "Down", "Combo"})
            on += child<QWidget>(qPrintable(QLatin1String(axis) + suffix))->isEnabled();
        return on == 3 ? 1 : on == 0 ? 0 : -1;
    };
    QCOMPARE(enabled("shutter"), int(shutterOn));
    QCOMPARE(enabled("iris"), int(irisOn));
    QCOMPARE(enabled("bright"), int(brightOn));
    QCOMPARE(cam()->calls, QStringList{QStringLiteral("setAeMode(%1)").arg(index)});
}

void TestExposure::stepButtons_data()
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

void TestExposure::stepButtons()
{
    QFETCH(QString, button);
    QFETCH(int, start);
    QFETCH(int, expectedIndex);
    QFETCH(QStringList, calls);
    const QString name = QString(button).remove(QRegularExpression("(Up|Down)$")) + "Combo";
    connectTo();
    // Manual enables shutter and iris, Brightness the bright controls.
    combo("aeModeSelect", name == "brightCombo" ? 4 : 1);
    auto *box = child<QComboBox>(qPrintable(name));
    box->setCurrentIndex(start);
    cam()->calls.clear();
    child<QPushButton>(qPrintable(button))->click();
    QCOMPARE(box->currentIndex(), expectedIndex);
    QCOMPARE(cam()->calls, calls);
}

void TestExposure::scenes_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("shutter");
    QTest::addColumn<int>("iris");
    QTest::newRow("low light") << "lowLightBtn" << 1 << 12;
    QTest::newRow("sports day") << "sportsDayBtn" << 6 << 5;
    QTest::newRow("sports night") << "sportsNightBtn" << 4 << 12;
}

void TestExposure::scenes()
{
    QFETCH(QString, button);
    QFETCH(int, shutter);
    QFETCH(int, iris);
    connectTo();
    child<QPushButton>(qPrintable(button))->click();
    QCOMPARE(cam()->calls,
             (QStringList{"setAeMode(1)", QStringLiteral("setShutter(%1)").arg(shutter),
                          QStringLiteral("setIris(%1)").arg(iris)}));
    // Pressing the same scene again changes nothing, so nothing is sent.
    cam()->calls.clear();
    child<QPushButton>(qPrintable(button))->click();
    QCOMPARE(cam()->calls, QStringList());
}

void TestExposure::whiteBalanceAndOnePush()
{
    auto *onePush = child<QPushButton>("onePushTriggerBtn");
    // Without a connection neither the camera nor the button follows.
    combo("wbCombo", 3);
    QVERIFY(!onePush->isEnabled());
    combo("wbCombo", 0);
    connectTo();
    combo("wbCombo", 3);
    QVERIFY(onePush->isEnabled());
    onePush->click();
    combo("wbCombo", 4);
    QVERIFY(!onePush->isEnabled());
    QCOMPARE(cam()->calls, (QStringList{"setWBMode(3)", "onePushTrigger", "setWBMode(4)"}));
}

void TestExposure::keysAndSwitches()
{
    connectTo();
    for (const char *name : {"osdMenuBtn", "osdEnterBtn", "osdBackBtn", "imgFlipBtn", "imgFlipBtn",
                             "imgMirrorBtn", "syncOnBtn", "syncOffBtn"})
        child<QPushButton>(name)->click();
    QCOMPARE(cam()->calls,
             (QStringList{"osdMenu", "osdEnter", "osdBack", "setImageFlip(1)", "setImageFlip(0)",
                          "setImageMirror(1)", "setMotionSync(1)", "setMotionSync(0)"}));
}

void TestExposure::sliders()
{
    connectTo();
    child<QSlider>("luminanceSlider")->setValue(14);
    child<QSlider>("contrastSlider")->setValue(3);
    child<QSlider>("hueSlider")->setValue(200); // clamped to 14
    QCOMPARE(cam()->calls, (QStringList{"setLuminance(14)", "setContrast(3)", "setHue(14)"}));
}

void TestExposure::joystickSteps_data()
{
    // Calls: 'L'/'l' luminance up/down, 'C'/'c' contrast, 'H'/'h' hue.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("three luminance steps move once") << "LLL" << QStringList{"setLuminance(8)"};
    QTest::newRow("six move twice")
        << "LLLLLL" << QStringList{"setLuminance(8)", "setLuminance(9)"};
    QTest::newRow("two do nothing") << "LL" << QStringList();
    QTest::newRow("counter shared across sliders") << "LCH" << QStringList{"setHue(8)"};
    QTest::newRow("down") << "hhh" << QStringList{"setHue(6)"};
}

void TestExposure::joystickSteps()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, calls);
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
    QCOMPARE(cam()->calls, calls);
}

void TestExposure::syncFromCamera_data()
{
    // The camera's AE mode byte, shutter, iris, bright, white-balance byte;
    // the panel starts from shutter index 5, iris index 3, white balance 2.
    // Values outside a list leave that widget as it is.
    QTest::addColumn<QList<int>>("state");
    QTest::addColumn<QList<int>>("indices"); // AE mode, shutter, iris, white balance
    QTest::newRow("in the lists") << QList<int>{0x0B, 7, 9, 7, 0x05} << QList<int>{3, 6, 9, 4};
    QTest::newRow("outside the lists")
        << QList<int>{0x04, 20, 15, 7, 0x04} << QList<int>{0, 5, 3, 2};
}

void TestExposure::syncFromCamera()
{
    QFETCH(QList<int>, state);
    QFETCH(QList<int>, indices);
    combo("shutterCombo", 5);
    combo("irisCombo", 3);
    combo("wbCombo", 2);
    CameraStatus &st = cam()->status();
    st.aeMode = uint8_t(state[0]);
    st.shutter = uint8_t(state[1]);
    st.iris = uint8_t(state[2]);
    st.bright = uint8_t(state[3]);
    st.wbMode = uint8_t(state[4]);
    w->selectCamera(0);
    QCoreApplication::processEvents();
    cam()->calls.clear();
    pollCycle();
    QList<int> shown;
    for (const char *name : {"aeModeSelect", "shutterCombo", "irisCombo", "wbCombo"})
        shown << child<QComboBox>(name)->currentIndex();
    QCOMPARE(shown, indices);
    // Loading the camera's values sends none of them back.
    QCOMPARE(cam()->calls, QStringList());
}

void TestExposure::syncHappensOncePerConnection()
{
    cam()->status().luminance = 5;
    cam()->status().aeMode = 0x03;
    connectTo();
    auto *lum = child<QSlider>("luminanceSlider");
    QCOMPARE(lum->value(), 5);
    // Manual: the enabling table followed the synced mode.
    QVERIFY(child<QComboBox>("shutterCombo")->isEnabled());
    QVERIFY(!child<QComboBox>("brightCombo")->isEnabled());
    // A later change on the camera shows in the status texts only.
    cam()->status().luminance = 9;
    cam()->status().iris = 12;
    cam()->status().shutter = 0; // shown as the first entry
    pollCycle();
    QCOMPARE(statusText("irisStatus"), QStringLiteral("Iris:F1.8"));
    QCOMPARE(statusText("shutterStatus"), QStringLiteral("Shutter:1/30"));
    QCOMPARE(lum->value(), 5);
    QCOMPARE(cam()->calls, QStringList());
}

void TestExposure::nothingSentWithoutConnection()
{
    cam()->connectsAtOnce = false;
    w->selectCamera(0); // selected, never connected
    combo("aeModeSelect", 1);
    combo("shutterCombo", 9);
    combo("irisCombo", 2);
    child<QSlider>("hueSlider")->setValue(3);
    for (const char *name : {"irisUp", "shutterDown", "brightUp", "osdMenuBtn", "osdEnterBtn",
                             "imgFlipBtn", "syncOnBtn", "lowLightBtn"})
        child<QPushButton>(name)->click();
    w->onLuminanceChangeTriggered(true);
    QCOMPARE(cam()->calls, QStringList{"connectCamera"});
}

RECORDING_PANEL_MAIN(TestExposure)
#include "tst_exposure.moc"
