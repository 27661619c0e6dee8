#include "appsettings.h"
#include "cameracontrol.h"
#include "joystickwrapper.h"
#include "mainwindow.h"
#include "qjoysticks.h"
#include "recordingcamera.h"
#include "sdljoysticks.h"
#include "sdlvirtualpad.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Keyboard hotkeys and the game controller of the panel, over recording
// cameras: what reaches which camera, and that every start gets its stop.
class TestPanelInput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void hotkeysThroughAFocusedComboBox_data();
    void hotkeysThroughAFocusedComboBox();
    void autoRepeatIsOnePressAndOneRelease_data();
    void autoRepeatIsOnePressAndOneRelease();
    void disabledHotkeysAndTextInputsKeepTheirKeys();
    void onlyTheProgramLosingFocusStops_data();
    void onlyTheProgramLosingFocusStops();
    void inputDialogChoiceAppliesAtTheNextKey();
    void controllerDrivesTheSelectedCameraAndStopsOnSwitchAndUnplug();

private:
    RecordingCamera *cam(int i) const { return static_cast<RecordingCamera *>(c->cameraAt(i)); }
    // Camera i selected and connected; call logs cleared.
    void connectTo(int i)
    {
        w->selectCamera(i);
        QVERIFY(c->canDrive());
        QCoreApplication::processEvents();
        for (int k = 0; k < c->cameraCount(); ++k)
            cam(k)->calls.clear();
    }
    static void sendKey(QWidget *to, QEvent::Type type, int key, bool autoRepeat = false)
    {
        QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(to, &e);
    }
    QString speeds(QString text) const
    {
        return text.replace("%p", QString::number(c->speed(CameraControl::Pan)))
            .replace("%t", QString::number(c->speed(CameraControl::Tilt)))
            .replace("%z", QString::number(c->speed(CameraControl::Zoom)));
    }

    QTemporaryDir m_nativeSettings;
    AppSettings *s = nullptr;
    CameraControl *c = nullptr;
    MainWindow *w = nullptr;
    QComboBox *m_combo = nullptr;
    std::unique_ptr<QJoysticks> m_layer;
};

void TestPanelInput::initTestCase()
{
    QVERIFY(m_nativeSettings.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_nativeSettings.path());
}

void TestPanelInput::init()
{
    QFile::remove(Storage::userFolder() + "/settings.ini");
    s = new AppSettings;
    s->setHotkeyAvailable(true);
    c = new CameraControl(s);
    QList<CameraWrapper *> list;
    for (int i = 0; i < 8; ++i)
        list << new RecordingCamera(QStringLiteral("127.0.1.%1").arg(i + 1));
    c->setCameras(list);
    w = new MainWindow(s, c);
    w->onAdvancedViewClicked();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w));
    // A focusable combo box whose items start with the hotkey letters.
    m_combo = w->findChild<QComboBox *>("aeModeSelect");
    QVERIFY(m_combo && m_combo->focusPolicy() != Qt::NoFocus);
    m_combo->setFocus();
    connectTo(0);
}

void TestPanelInput::cleanup()
{
    delete w;
    m_layer.reset();
    delete c;
    delete s;
}

void TestPanelInput::hotkeysThroughAFocusedComboBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("onPress");
    QTest::addColumn<QStringList>("onRelease");
    QTest::newRow("W") << int(Qt::Key_W) << QStringList{"moveUp(%p,%t)"}
                       << QStringList{"moveStop(%p,%t)"};
    QTest::newRow("A") << int(Qt::Key_A) << QStringList{"moveLeft(%p,%t)"}
                       << QStringList{"moveStop(%p,%t)"};
    QTest::newRow("S") << int(Qt::Key_S) << QStringList{"moveDown(%p,%t)"}
                       << QStringList{"moveStop(%p,%t)"};
    QTest::newRow("D") << int(Qt::Key_D) << QStringList{"moveRight(%p,%t)"}
                       << QStringList{"moveStop(%p,%t)"};
    QTest::newRow("Q") << int(Qt::Key_Q) << QStringList{"zoomIn(%z)"} << QStringList{"zoomStop"};
    QTest::newRow("E") << int(Qt::Key_E) << QStringList{"zoomOut(%z)"} << QStringList{"zoomStop"};
    QTest::newRow("F3") << int(Qt::Key_F3) << QStringList{} << QStringList{"callPreset(3)"};
    QTest::newRow("F10") << int(Qt::Key_F10) << QStringList{} << QStringList{};
    QTest::newRow("Z") << int(Qt::Key_Z) << QStringList{} << QStringList{};
}

void TestPanelInput::hotkeysThroughAFocusedComboBox()
{
    QFETCH(int, key);
    QFETCH(QStringList, onPress);
    QFETCH(QStringList, onRelease);
    const int aeMode = m_combo->currentIndex();
    QTest::keyPress(m_combo, Qt::Key(key));
    QCOMPARE(cam(0)->calls, QStringList(speeds(onPress.join('|')).split('|', Qt::SkipEmptyParts)));
    QTest::keyRelease(m_combo, Qt::Key(key));
    QTRY_COMPARE(cam(0)->calls.join('|'), speeds((onPress + onRelease).join('|')));
    // The combo box saw none of the hotkeys (it would select an AE mode).
    QCOMPARE(m_combo->currentIndex(), aeMode);
}

void TestPanelInput::autoRepeatIsOnePressAndOneRelease_data()
{
    QTest::addColumn<bool>("marked");
    QTest::addColumn<bool>("switchMidway");
    // Some X servers send unmarked release/press pairs while a key is held.
    QTest::newRow("marked repeats") << true << false;
    QTest::newRow("unmarked repeats") << false << false;
    QTest::newRow("unmarked repeats across a camera switch") << false << true;
}

void TestPanelInput::autoRepeatIsOnePressAndOneRelease()
{
    QFETCH(bool, marked);
    QFETCH(bool, switchMidway);
    sendKey(m_combo, QEvent::KeyPress, Qt::Key_S);
    for (int i = 0; i < 6; ++i) {
        if (switchMidway && i == 3)
            w->selectCamera(1);
        sendKey(m_combo, QEvent::KeyRelease, Qt::Key_S, marked);
        sendKey(m_combo, QEvent::KeyPress, Qt::Key_S, marked);
    }
    QCoreApplication::processEvents();
    const QString drive = speeds("moveDown(%p,%t)");
    QCOMPARE(cam(0)->calls.first(), drive);
    QCOMPARE(cam(0)->calls.count(drive), 1);
    QVERIFY(!cam(1)->calls.contains(drive));
    QCOMPARE(cam(0)->calls.count(QStringLiteral("moveStop(%1,%2)")
                                     .arg(c->speed(CameraControl::Pan))
                                     .arg(c->speed(CameraControl::Tilt))),
             0);
    sendKey(m_combo, QEvent::KeyRelease, Qt::Key_S);
    RecordingCamera *driven = cam(switchMidway ? 1 : 0);
    // The key is really up once no press follows its release.
    QTRY_COMPARE(driven->calls.last(), speeds("moveStop(%p,%t)"));
    QCOMPARE(cam(0)->calls.count(drive), 1);
}

void TestPanelInput::disabledHotkeysAndTextInputsKeepTheirKeys()
{
    // A text input in the window keeps its letters ...
    auto *edit = new QLineEdit(w->centralWidget());
    edit->show();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_W);
    QCOMPARE(edit->text(), QStringLiteral("w"));
    QVERIFY(cam(0)->calls.isEmpty());
    // ... but a release owed since the press reached the camera is taken.
    m_combo->setFocus();
    QTest::keyPress(m_combo, Qt::Key_D);
    edit->setFocus();
    QTest::keyRelease(edit, Qt::Key_D);
    QTRY_COMPARE(cam(0)->calls.join('|'), speeds("moveRight(%p,%t)|moveStop(%p,%t)"));
    QCOMPARE(edit->text(), QStringLiteral("w"));

    // Switched off: read at the next key.
    cam(0)->calls.clear();
    m_combo->setFocus();
    s->setHotkeyAvailable(false);
    QTest::keyClick(m_combo, Qt::Key_W);
    QTest::keyClick(m_combo, Qt::Key_F1);
    QVERIFY(cam(0)->calls.isEmpty());
}

void TestPanelInput::onlyTheProgramLosingFocusStops_data()
{
    QTest::addColumn<bool>("programLosesFocus");
    QTest::newRow("focus moves to a window of ours") << false;
    QTest::newRow("the program loses the focus") << true;
}

// A held key and a held pad button of the (not yet active) preset dialog
// keep driving while the focus moves between the
// program's own windows; they stop when the program loses the focus.
void TestPanelInput::onlyTheProgramLosingFocusStops()
{
    QFETCH(bool, programLosesFocus);
    QTest::keyPress(m_combo, Qt::Key_A);
    w->onPresetSettingDlgClicked();
    auto *dialog = w->findChild<QDialog *>("PresetSettingDlg");
    QVERIFY(dialog && dialog->isVisible());
    QTest::mousePress(dialog->findChild<QPushButton *>("inBtn"), Qt::LeftButton);
    QApplication::setActiveWindow(dialog);
    QTRY_VERIFY(!w->isActiveWindow());
    const QStringList driven{speeds("moveLeft(%p,%t)"), speeds("zoomIn(%z)")};
    QCOMPARE(cam(0)->calls, driven);
    if (programLosesFocus) {
        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        QCOMPARE(cam(0)->calls, driven + QStringList({"moveStop(0,0)", "zoomStop"}));
        return;
    }
    // The key's release reaches the dialog: still the key's stop.
    QVERIFY(QApplication::focusWidget()->window() == dialog);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_A);
    QTRY_COMPARE(cam(0)->calls, driven + QStringList{speeds("moveStop(%p,%t)")});
    QTest::mouseRelease(dialog->findChild<QPushButton *>("inBtn"), Qt::LeftButton);
    QCOMPARE(cam(0)->calls.last(), QStringLiteral("zoomStop"));
}

void TestPanelInput::inputDialogChoiceAppliesAtTheNextKey()
{
    m_layer =
        std::make_unique<QJoysticks>(QStringLiteral("corvanta-test"), QStringLiteral("input"));
    w->setJoysticks(m_layer.get());
    s->setHotkeyAvailable(false);
    QTimer::singleShot(0, this, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QCheckBox *>("useHotKeyCheck")->setChecked(true);
        dialog->findChild<QPushButton *>("okBtn")->click();
    });
    w->onJoyStickClicked();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    m_combo->setFocus();
    QTest::keyPress(m_combo, Qt::Key_W);
    QCOMPARE(cam(0)->calls, QStringList{speeds("moveUp(%p,%t)")});
    QTest::keyRelease(m_combo, Qt::Key_W);
}

// A right stick held on camera 1: the switch to camera 2 stops camera 1, the
// next change of the still-held stick drives camera 2, unplugging stops it.
void TestPanelInput::controllerDrivesTheSelectedCameraAndStopsOnSwitchAndUnplug()
{
    m_layer =
        std::make_unique<QJoysticks>(QStringLiteral("corvanta-test"), QStringLiteral("input"));
    QJoysticks &layer = *m_layer;
    QVERIFY(layer.sdlJoysticks()->isAvailable());
    layer.sdlJoysticks()->setPollInterval(1);
    layer.sdlJoysticks()->setIdlePollInterval(1);
    w->setJoysticks(&layer);
    s->setJoystickAvailable(true);
    s->setSelectedJoystick(0);
    auto pad = std::make_unique<SdlVirtualPad>();
    QVERIFY(pad->isValid());
    QTRY_COMPARE(layer.count(), 1);

    const QString right = speeds("moveRight(%p,0)");
    pad->setAxis(JoystickMapper::kPanAxis, 20000);
    QTRY_COMPARE(cam(0)->calls, QStringList{right});
    pad->setButton(5, true);
    QTRY_COMPARE(cam(0)->calls.size(), 2);
    QCOMPARE(cam(0)->calls.last(), speeds("zoomIn(%z)"));

    w->selectCamera(1);
    QCOMPARE(cam(0)->calls.mid(2), (QStringList{"moveStop(0,0)", "zoomStop", "disconnectCamera"}));
    QCOMPARE(cam(1)->calls, QStringList{"connectCamera"});

    pad->setAxis(JoystickMapper::kPanAxis, 25000);
    QTRY_VERIFY(cam(1)->calls.contains(right));
    cam(1)->calls.clear();
    pad.reset();
    QTRY_COMPARE(layer.count(), 0);
    QCOMPARE(cam(1)->calls, QStringList{"moveStop(0,0)"});
    QCOMPARE(cam(0)->calls.size(), 5);
}

QTEST_MAIN(TestPanelInput)
#include "tst_panelinput.moc"
