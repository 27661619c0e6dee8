// The exposure and preset panels of the main window over recording cameras:
// the operation each widget gives the selected camera, the enabling table, the
// one-time copy of the camera's values after a connection; presets stored and
// recalled, the name dialog, names and exposure in settings.ini, clearing, and
// the replay of the stored exposure.
#include "recordingpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QRadioButton>
#include <QSlider>

static const QString kId = QStringLiteral("127.0.1.1");

class TestPanel : public RecordingPanel
{
    Q_OBJECT
private slots:
    void init()
    {
        createPanel();
        s->setPresetName(kId, 4, QStringLiteral("Podium"));
    }
    void cleanup() { destroyPanel(); }

    void storeAsksForNameAndReturnsToRecall_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cancelled") << false << "x"
                                   << "Podium";
        QTest::newRow("empty") << true << ""
                               << "Podium";
        QTest::newRow("entered") << true << "Lectern"
                                 << "Lectern";
    }
    void storeAsksForNameAndReturnsToRecall()
    {
        QFETCH(bool, accept);
        QFETCH(QString, entered);
        QFETCH(QString, expected);
        connectTo(0);
        QCOMPARE(storeNamed(4, entered, accept), QStringLiteral("Podium"));
        QCOMPARE(child("mem4")->text(), expected);
        QCOMPARE(s->presetName(kId, 4), expected);
        // The position is stored either way, and the window is back in recall mode.
        QCOMPARE(cam()->calls, (QStringList{"downloadSnapshot(4)", "setPreset(4)"}));
        QVERIFY(!w->presetMode && child<QRadioButton>("recallMode")->isChecked());
        cam()->calls.clear();
        child("mem4")->click();
        QCOMPARE(cam()->calls, QStringList{"callPreset(4)"});
    }
    // Presets above 6 have no snapshot.
    void storeExposureKeepsPanelValues()
    {
        connectTo(0);
        child<QCheckBox>("storeExposure")->setChecked(true);
        const QList<int> values{1, 6, 5, 11, 9, 4, 13, 2};
        int k = 0;
        for (const char *name : {"aeModeSelect", "shutterCombo", "irisCombo", "brightCombo"})
            combo(name, values[k++]);
        for (const char *name : {"luminanceSlider", "contrastSlider", "hueSlider"})
            child<QSlider>(name)->setValue(values[k++]);
        combo("wbCombo", values[k]);
        cam()->calls.clear();
        storeNamed(7, QStringLiteral("Stage left"));
        QCOMPARE(cam()->calls, QStringList{"setPreset(7)"});
        const PresetExposure e = c->storedExposure(kId, 7);
        QCOMPARE(QList<int>({e.aeMode, e.shutter, e.iris, e.bright, e.luminance, e.contrast, e.hue,
                             e.wbMode}),
                 values);
    }
    void clearPresetAndImage()
    {
        const QString thumb = Storage::snapshotPath(kId, 2);
        QVERIFY(QDir().mkpath(QFileInfo(thumb).absolutePath()));
        QVERIFY(QFile(thumb).open(QIODevice::WriteOnly));
        connectTo(0);
        w->presetSettingDlgClearPreset(2);
        w->presetSettingDlgClearImage(2);
        QVERIFY(!QFile::exists(thumb));
        QCOMPARE(cam()->calls, QStringList{"clearPreset(2)"});
    }
    void nothingWithoutConnection()
    {
        child<QRadioButton>("presetMode")->click();
        QVERIFY(!w->presetMode); // the radio moves, the mode does not
        child("mem1")->click();  // no name dialog
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(cam()->calls, QStringList());
    }
    void namesShowLiterally_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("before a letter") << QStringLiteral("R&D");
        QTest::newRow("doubled") << QStringLiteral("A && B");
    }
    // A name with "&" shows that "&" and creates no Alt shortcut, whether it
    // comes from settings, the web API or the name dialog; the name stored is the
    // name given. Camera buttons show camera names the same way.
    void namesShowLiterally()
    {
        QFETCH(QString, name);
        s->setPresetName(kId, 1, name);
        connectTo(0);
        w->setMemoryButtonText(2, name); // the web API's path
        const QString shown = QString(name).replace('&', "&&");
        QCOMPARE(child("mem2")->text(), shown);
        QCOMPARE(storeNamed(1, QString()), name);
        QCOMPARE(s->presetName(kId, 1), name);
        QCOMPARE(child("mem1")->text(), shown);
        s->saveCameraSlots({{0, kId, name, QStringLiteral("0.0.0.0"), std::nullopt}});
        c->rebuildCameras();
        QCOMPARE(child("connectCam1")->text(), shown);
    }

    void exposureReplay_data()
    {
        QTest::addColumn<QList<int>>("stored"); // AE, shutter, iris, bright, lum., contr., hue, WB
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("AAE: iris, no shutter or bright")
            << QList<int>{3, 5, 9, 4, 10, 3, 12, 2}
            << QStringList{"callPreset(3)",  "setAeMode(3)", "setIris(9)",  "setLuminance(10)",
                           "setContrast(3)", "setHue(12)",   "setWBMode(2)"};
        QTest::newRow("indices outside their lists are skipped")
            << QList<int>{9, 99, -1, 40, 10, 3, 12, 7}
            << QStringList{"callPreset(3)", "setLuminance(10)", "setContrast(3)", "setHue(12)"};
    }
    // The panel starts from AE auto, shutter 1/30, iris Close, sliders 7, WB
    // auto: a replayed stage that does not change its widget sends nothing.
    void exposureReplay()
    {
        QFETCH(QList<int>, stored);
        replayReady(stored);
        w->setExposureReplayInterval(0);
        child("mem3")->click();
        QTRY_COMPARE(c->runningReplays(), 0);
        QTEST(cam()->calls, "calls");
    }

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
    void buttonsSlidersAndScenes()
    {
        connectTo();
        auto *onePush = child("onePushTriggerBtn");
        combo("wbCombo", 3);
        QVERIFY(onePush->isEnabled());
        onePush->click();
        combo("wbCombo", 4);
        QVERIFY(!onePush->isEnabled());
        for (const char *name : {"osdMenuBtn", "osdEnterBtn", "osdBackBtn", "imgFlipBtn",
                                 "imgFlipBtn", "imgMirrorBtn", "syncOnBtn", "syncOffBtn",
                                 "lowLightBtn", "lowLightBtn", "sportsDayBtn", "sportsNightBtn"})
            child(name)->click();
        child<QSlider>("luminanceSlider")->setValue(14);
        child<QSlider>("contrastSlider")->setValue(3);
        child<QSlider>("hueSlider")->setValue(200); // clamped to 14
        QCOMPARE(cam()->calls,
                 (QStringList{"setWBMode(3)",     "onePushTrigger",   "setWBMode(4)",
                              "osdMenu",          "osdEnter",         "osdBack",
                              "setImageFlip(1)",  "setImageFlip(0)",  "setImageMirror(1)",
                              "setMotionSync(1)", "setMotionSync(0)", "setAeMode(1)",
                              "setShutter(1)",    "setIris(12)",      "setShutter(6)",
                              "setIris(5)",       "setShutter(4)",    "setIris(12)",
                              "setLuminance(14)", "setContrast(3)",   "setHue(14)"}));
    }
    // Every third step of any slider moves the slider of that step: 'L'/'l'
    // luminance up/down, 'C'/'c' contrast, 'H'/'h' hue.
    void joystickSteps()
    {
        connectTo();
        for (const char *name : {"luminanceSlider", "contrastSlider", "hueSlider"})
            child<QSlider>(name)->setValue(7);
        cam()->calls.clear();
        using Step = void (MainWindow::*)(bool);
        const QHash<QChar, Step> step = {{'l', &MainWindow::onLuminanceChangeTriggered},
                                         {'c', &MainWindow::onContrastChangeTriggered},
                                         {'h', &MainWindow::onHueChangeTriggered}};
        for (QChar ch : QStringLiteral("LLLLLLLCh"))
            (w->*step.value(ch.toLower()))(ch.isUpper());
        QCOMPARE(cam()->calls, (QStringList{"setLuminance(8)", "setLuminance(9)", "setHue(6)"}));
    }
    // Once per connection, and nothing is sent back; later changes of the
    // camera show in the status texts only. Values outside a list (shutter 20,
    // white balance byte 4) leave that widget as it is.
    void syncFromCamera()
    {
        combo("shutterCombo", 5);
        combo("wbCombo", 2);
        CameraStatus &st = cam()->status();
        st.aeMode = 0x0B;
        st.shutter = 20;
        st.iris = 9;
        st.wbMode = 0x04;
        st.luminance = 5;
        w->selectCamera(0);
        QCoreApplication::processEvents();
        cam()->calls.clear();
        for (int cycle = 0; cycle < 2; ++cycle) {
            pollCycle();
            QList<int> shown;
            for (const char *name : {"aeModeSelect", "shutterCombo", "irisCombo", "wbCombo"})
                shown << child<QComboBox>(name)->currentIndex();
            QCOMPARE(shown << child<QSlider>("luminanceSlider")->value(),
                     (QList<int>{3, 5, 9, 2, 5}));
            st.iris = 12;
            st.luminance = 9;
        }
        QCOMPARE(statusText("irisStatus"), QStringLiteral("Iris:F1.8"));
        QCOMPARE(cam()->calls, QStringList());
    }

private:
    void combo(const char *name, int index) { child<QComboBox>(name)->setCurrentIndex(index); }
    // Exposure stored with preset 3, the camera connected, replay on.
    void replayReady(const QList<int> &v)
    {
        const PresetExposure e{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
        c->savePresetSettings(kId, 3, QString(), &e);
        cam()->status().luminance = cam()->status().contrast = cam()->status().hue = 7;
        connectTo(0);
        child<QCheckBox>("storeExposure")->setChecked(true);
    }
    // Stores preset n in set mode, answering the name dialog with `name`
    // (rejecting it when `accept` is false); returns the text it offered.
    QString storeNamed(int n, const QString &name, bool accept = true)
    {
        child<QRadioButton>("presetMode")->click();
        QString offered;
        onNextModal<QInputDialog>([&](QInputDialog *dlg) {
            offered = dlg->textValue();
            dlg->setTextValue(name);
            accept ? dlg->accept() : dlg->reject();
        });
        child(qPrintable(QStringLiteral("mem%1").arg(n)))->click();
        return offered;
    }
};

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
