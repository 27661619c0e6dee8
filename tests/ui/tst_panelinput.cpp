// Keyboard hotkeys and the game controller of the panel, over recording
// cameras: what reaches which camera, and that every start gets its stop.
#include "joystickwrapper.h"
#include "qjoysticks.h"
#include "recordingpanel.h"
#include "sdljoysticks.h"
#include "sdlvirtualpad.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>

class TestPanelInput : public RecordingPanel
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_nativeSettings.path());
    }
    void init()
    {
        createPanel();
        s->setHotkeyAvailable(true);
        w->onAdvancedViewClicked();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        // A focusable combo box whose items start with the hotkey letters.
        m_combo = child<QComboBox>("aeModeSelect");
        m_combo->setFocus();
        connectTo(0);
    }
    void cleanup()
    {
        destroyPanel();
        m_layer.reset();
    }

    void hotkeysThroughAFocusedComboBox_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("calls"); // on press / on release
        QTest::newRow("W") << int(Qt::Key_W) << "moveUp(8,8)/moveStop(8,8)";
        QTest::newRow("Q") << int(Qt::Key_Q) << "zoomIn(6)/zoomStop";
        QTest::newRow("E") << int(Qt::Key_E) << "zoomOut(6)/zoomStop";
        QTest::newRow("F3") << int(Qt::Key_F3) << "/callPreset(3)";
    }
    // The combo box sees none of the hotkeys (it would select an AE mode).
    void hotkeysThroughAFocusedComboBox()
    {
        QFETCH(int, key);
        QFETCH(QString, calls);
        const int aeMode = m_combo->currentIndex();
        QTest::keyPress(m_combo, Qt::Key(key));
        QCOMPARE(cam(0)->calls.join('|'), calls.section('/', 0, 0));
        QTest::keyRelease(m_combo, Qt::Key(key));
        QTRY_COMPARE(cam(0)->calls.join('|'), calls.split('/', Qt::SkipEmptyParts).join('|'));
        QCOMPARE(m_combo->currentIndex(), aeMode);
    }
    void autoRepeatIsOnePressAndOneRelease_data()
    {
        QTest::addColumn<bool>("marked");
        QTest::addColumn<bool>("switchMidway");
        // Some X servers send unmarked release/press pairs while a key is held.
        QTest::newRow("marked repeats") << true << false;
        QTest::newRow("unmarked repeats") << false << false;
        QTest::newRow("unmarked repeats across a camera switch") << false << true;
    }
    // The key is really up once no press follows its release.
    void autoRepeatIsOnePressAndOneRelease()
    {
        QFETCH(bool, marked);
        QFETCH(bool, switchMidway);
        sendKey(QEvent::KeyPress, Qt::Key_S);
        for (int i = 0; i < 6; ++i) {
            if (switchMidway && i == 3)
                w->selectCamera(1);
            sendKey(QEvent::KeyRelease, Qt::Key_S, marked);
            sendKey(QEvent::KeyPress, Qt::Key_S, marked);
        }
        QCoreApplication::processEvents();
        const QString drive = "moveDown(8,8)", stop = "moveStop(8,8)";
        QCOMPARE(cam(0)->calls.first(), drive);
        QVERIFY(!cam(1)->calls.contains(drive));
        QVERIFY(!cam(0)->calls.contains(stop));
        sendKey(QEvent::KeyRelease, Qt::Key_S);
        QTRY_COMPARE(cam(switchMidway ? 1 : 0)->calls.last(), stop);
        QCOMPARE(cam(0)->calls.count(drive), 1);
    }
    // A text input keeps its letters, but a release owed since the press reached
    // the camera is taken. Switched off, hotkeys are read at the next key.
    void disabledHotkeysAndTextInputsKeepTheirKeys()
    {
        auto *edit = new QLineEdit(w->centralWidget());
        edit->show();
        QTest::keyPress(m_combo, Qt::Key_D);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_W);
        QTest::keyRelease(edit, Qt::Key_D);
        QTRY_COMPARE(cam(0)->calls.join('|'), "moveRight(8,8)|moveStop(8,8)");
        QCOMPARE(edit->text(), QStringLiteral("w"));
        cam(0)->calls.clear();
        m_combo->setFocus();
        s->setHotkeyAvailable(false);
        QTest::keyClick(m_combo, Qt::Key_W);
        QTest::keyClick(m_combo, Qt::Key_F1);
        QVERIFY(cam(0)->calls.isEmpty());
    }
    void onlyTheProgramLosingFocusStops_data()
    {
        QTest::addColumn<bool>("programLosesFocus");
        QTest::newRow("focus moves to a window of ours") << false;
        QTest::newRow("the program loses the focus") << true;
    }
    // A held key and a held pad button of the preset dialog keep driving while
    // the focus moves between the program's windows; they stop when the program
    // loses the focus.
    void onlyTheProgramLosingFocusStops()
    {
        QFETCH(bool, programLosesFocus);
        QTest::keyPress(m_combo, Qt::Key_A);
        w->onPresetSettingDlgClicked();
        auto *dialog = w->findChild<QDialog *>("PresetSettingDlg");
        QTest::mousePress(dialog->findChild<QPushButton *>("inBtn"), Qt::LeftButton);
        QApplication::setActiveWindow(dialog);
        QTRY_VERIFY(!w->isActiveWindow());
        const QStringList driven{"moveLeft(8,8)", "zoomIn(6)"};
        QCOMPARE(cam(0)->calls, driven);
        if (programLosesFocus) {
            emit qApp->applicationStateChanged(Qt::ApplicationInactive);
            QCOMPARE(cam(0)->calls, driven + QStringList({"moveStop(0,0)", "zoomStop"}));
            return;
        }
        QVERIFY(QApplication::focusWidget()->window() == dialog);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_A); // still the key's stop
        QTRY_COMPARE(cam(0)->calls, driven + QStringList{"moveStop(8,8)"});
        QTest::mouseRelease(dialog->findChild<QPushButton *>("inBtn"), Qt::LeftButton);
        QCOMPARE(cam(0)->calls.last(), QStringLiteral("zoomStop"));
    }
    // A right stick held on camera 1: the switch to camera 2 stops camera 1, the
    // next change of the still-held stick drives camera 2, unplugging stops it.
    void controllerStopsOnSwitchAndUnplug()
    {
        m_layer = std::make_unique<QJoysticks>("corvanta-test", "input");
        w->setJoysticks(m_layer.get());
        QJoysticks &joysticks = *m_layer;
        QVERIFY(joysticks.sdlJoysticks()->isAvailable());
        joysticks.sdlJoysticks()->setPollInterval(1);
        joysticks.sdlJoysticks()->setIdlePollInterval(1);
        s->setJoystickAvailable(true);
        s->setSelectedJoystick(0);
        auto pad = std::make_unique<SdlVirtualPad>();
        QVERIFY(pad->isValid());
        QTRY_COMPARE(joysticks.count(), 1);

        const QString right = "moveRight(8,0)";
        pad->setAxis(JoystickMapper::kPanAxis, 20000);
        QTRY_COMPARE(cam(0)->calls, QStringList{right});
        pad->setButton(5, true);
        QTRY_COMPARE(cam(0)->calls.size(), 2);
        w->selectCamera(1);
        QCOMPARE(cam(0)->calls.mid(1),
                 (QStringList{"zoomIn(6)", "moveStop(0,0)", "zoomStop", "disconnectCamera"}));
        pad->setAxis(JoystickMapper::kPanAxis, 25000);
        QTRY_VERIFY(cam(1)->calls.contains(right));
        cam(1)->calls.clear();
        pad.reset();
        QTRY_COMPARE(joysticks.count(), 0);
        QCOMPARE(cam(1)->calls, QStringList{"moveStop(0,0)"});
        QCOMPARE(cam(0)->calls.size(), 5);
    }

private:
    static void sendKey(QEvent::Type type, int key, bool autoRepeat = false)
    {
        QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(QApplication::focusWidget(), &e);
    }
    QTemporaryDir m_nativeSettings;
    QComboBox *m_combo = nullptr;
    std::unique_ptr<QJoysticks> m_layer;
};

QTEST_MAIN(TestPanelInput)
#include "tst_panelinput.moc"
