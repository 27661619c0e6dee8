#include "appsettings.h"
#include "joystickdlg.h"
#include "joystickmapper.h"
#include "joystickwrapper.h"
#include "qjoysticks.h"
#include "sdljoysticks.h"
#include "sdlvirtualpad.h"
#include "tempdatahome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Records every action as text: "move Right", "stopMove", "preset 3", ...
class Recorder : public JoystickActions
{
public:
    QStringList calls;

    void move(Direction d) override
    {
        static const char *names[] = {"Up",     "Down",    "Left",     "Right",
                                      "UpLeft", "UpRight", "DownLeft", "DownRight"};
        calls << QStringLiteral("move ") + QLatin1String(names[int(d)]);
    }
    void stopMove() override { calls << QStringLiteral("stopMove"); }
    void home() override { calls << QStringLiteral("home"); }
    void zoom(Zoom z) override { calls << (z == Zoom::In ? "zoom In" : "zoom Out"); }
    void stopZoom() override { calls << QStringLiteral("stopZoom"); }
    void focus(Focus f) override { calls << (f == Focus::In ? "focus In" : "focus Out"); }
    void stopFocus() override { calls << QStringLiteral("stopFocus"); }
    void toggleAutoFocus() override { calls << QStringLiteral("autoFocus"); }
    void recallPreset(int n) override { calls << QStringLiteral("preset %1").arg(n); }
    void osdMenu() override { calls << QStringLiteral("osdMenu"); }
    void osdEnter() override { calls << QStringLiteral("osdEnter"); }
    void osdBack() override { calls << QStringLiteral("osdBack"); }
};

// Feeds "[js/]a<axis>:<value>", "[js/]h:<angle>" or "[js/]b<button>:<0|1>"
// (js 0 unless given) to the mapper's slots.
void feed(JoystickMapper &mapper, const QString &events)
{
    for (QString e : events.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        int js = 0;
        if (e.contains(QLatin1Char('/'))) {
            js = e.section(QLatin1Char('/'), 0, 0).toInt();
            e = e.section(QLatin1Char('/'), 1);
        }
        const QString control = e.section(QLatin1Char(':'), 0, 0);
        const QString value = e.section(QLatin1Char(':'), 1);
        if (control.startsWith(QLatin1Char('a')))
            mapper.joystickAxisChanged(js, control.mid(1).toInt(), value.toDouble());
        else if (control.startsWith(QLatin1Char('h')))
            mapper.joystickPOVChanged(js, 0, value.toInt());
        else
            mapper.joystickButtonChanged(js, control.mid(1).toInt(), value == QLatin1String("1"));
    }
}

} // namespace

class TestJoystickMapper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void mapping_data();
    void mapping();
    void disabledOrOtherControllerDrivesNothing();
    void selectionChangeMidMoveStops();
    void hotPlugWithVirtualPad();
    void blacklistingMidMoveStopsWithoutRecalls();
    void wrapperSignals_data();
    void wrapperSignals();
    void dialogStoresSelection();
    void dialogWithoutControllersStoresMinusOne();

private:
    QTemporaryDir m_config;
    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<QJoysticks> m_layer;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<JoystickMapper> m_mapper;
};

void TestJoystickMapper::initTestCase()
{
    QVERIFY(m_config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    m_layer = std::make_unique<QJoysticks>(QStringLiteral("corvanta-tests"),
                                           QStringLiteral("tst_joystickmapper"));
    m_layer->sdlJoysticks()->setPollInterval(1);
    m_layer->sdlJoysticks()->setIdlePollInterval(1);
}

void TestJoystickMapper::cleanupTestCase()
{
    m_layer.reset();
}

void TestJoystickMapper::init()
{
    m_home = std::make_unique<TempDataHome>();
    m_settings = std::make_unique<AppSettings>();
    m_settings->setJoystickAvailable(true);
    m_settings->setSelectedJoystick(0);
    QTRY_COMPARE(m_layer->count(), 0);
    m_recorder = std::make_unique<Recorder>();
    m_mapper = std::make_unique<JoystickMapper>(m_layer.get(), m_settings.get(), m_recorder.get());
}

void TestJoystickMapper::cleanup()
{
    m_mapper.reset();
    m_recorder.reset();
    m_settings.reset();
    m_home.reset();
}

void TestJoystickMapper::mapping_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("dead zone edge") << "a3:0.2 a3:-0.2 a4:0.2" << QStringList{};
    QTest::newRow("pan right") << "a3:0.21" << QStringList{"move Right"};
    QTest::newRow("pan left") << "a3:-0.21" << QStringList{"move Left"};
    QTest::newRow("tilt: positive is down")
        << "a4:0.5 a4:-0.5" << QStringList{"move Down", "move Up"};
    QTest::newRow("sweep through the dead zone")
        << "a3:-0.9 a3:-0.5 a3:-0.1 a3:0 a3:0.1 a3:0.5 a3:0.9 a3:0.15"
        << QStringList{"move Left", "stopMove", "move Right", "stopMove"};
    QTest::newRow("diagonal from both axes")
        << "a3:0.8 a4:-0.8 a3:0.05 a4:0"
        << QStringList{"move Right", "move UpRight", "move Up", "stopMove"};
    QTest::newRow("other axes do nothing") << "a0:1 a1:-1 a2:1 a5:-1 a6:1" << QStringList{};
    QTest::newRow("hat directions")
        << "h:0 h:45 h:90 h:135 h:180 h:225 h:270 h:315 h:-1"
        << QStringList{"move Up",        "move UpRight", "move Right",
                       "move DownRight", "move Down",    "move DownLeft",
                       "move Left",      "move UpLeft",  "stopMove"};
    QTest::newRow("hat: other angles ignored") << "h:30 h:360 h:-90" << QStringList{};
    QTest::newRow("hat over a held stick")
        << "a3:0.8 h:0 h:-1 a3:0" << QStringList{"move Right", "move Up", "move Right", "stopMove"};
    QTest::newRow("release actions")
        << "b0:1 b0:0 b1:1 b1:0 b2:1 b2:0 b3:1 b3:0"
        << QStringList{"preset 3", "autoFocus", "preset 1", "preset 2"};
    QTest::newRow("menu keys and home") << "b8:1 b8:0 b9:1 b9:0 b10:1 b10:0 b11:1 b11:0"
                                        << QStringList{"osdBack", "osdEnter", "osdMenu", "home"};
    QTest::newRow("release without a press does nothing") << "b0:0 b11:0" << QStringList{};
    QTest::newRow("press alone does nothing") << "b0:1 b11:1" << QStringList{};
    QTest::newRow("buttons above 11") << "b12:1 b12:0 b15:1 b15:0" << QStringList{};
    QTest::newRow("zoom held") << "b4:1 b4:0 b5:1 b5:0"
                               << QStringList{"zoom Out", "stopZoom", "zoom In", "stopZoom"};
    QTest::newRow("focus held") << "b6:1 b6:0 b7:1 b7:0"
                                << QStringList{"focus Out", "stopFocus", "focus In", "stopFocus"};
    QTest::newRow("zoom pair overlap")
        << "b4:1 b5:1 b5:0 b4:0" << QStringList{"zoom Out", "zoom In", "zoom Out", "stopZoom"};
    QTest::newRow("zoom release always stops") << "b5:0" << QStringList{"stopZoom"};
    QTest::newRow("other controller") << "1/a3:0.8 1/h:90 1/b0:1 1/b0:0 1/b4:1" << QStringList{};
}

void TestJoystickMapper::mapping()
{
    QFETCH(QString, events);
    QFETCH(QStringList, calls);
    feed(*m_mapper, events);
    QCOMPARE(m_recorder->calls, calls);
}

void TestJoystickMapper::disabledOrOtherControllerDrivesNothing()
{
    m_settings->setJoystickAvailable(false);
    feed(*m_mapper, "a3:0.8 h:90 b4:1 b0:1 b0:0");
    QCOMPARE(m_recorder->calls, QStringList{});

    // The saved selection applies from the next event.
    m_settings->setJoystickAvailable(true);
    m_settings->setSelectedJoystick(1);
    feed(*m_mapper, "a3:0.8 1/a3:-0.8");
    QCOMPARE(m_recorder->calls, QStringList{"move Left"});
}

void TestJoystickMapper::selectionChangeMidMoveStops()
{
    feed(*m_mapper, "a3:0.8 b5:1 b7:1");
    m_settings->setSelectedJoystick(1);
    feed(*m_mapper, "a3:0.9");
    QCOMPARE(m_recorder->calls, QStringList({"move Right", "zoom In", "focus In", "stopMove",
                                             "stopZoom", "stopFocus"}));
    m_recorder->calls.clear();
    m_settings->setJoystickAvailable(false);
    feed(*m_mapper, "1/a3:0.9");
    QCOMPARE(m_recorder->calls, QStringList{});
}

void TestJoystickMapper::hotPlugWithVirtualPad()
{
    auto pad = std::make_unique<SdlVirtualPad>();
    QTRY_COMPARE(m_layer->count(), 1);
    pad->setAxis(3, 30000);
    QTRY_COMPARE(m_recorder->calls, QStringList{"move Right"});
    pad->setButton(0, true);
    pad->setButton(4, true);
    QTRY_COMPARE(m_recorder->calls.size(), 2);

    // Unplugged mid-move: one stop for each action in progress, and the held
    // preset button recalls nothing.
    pad->unplug();
    QTRY_COMPARE(m_layer->count(), 0);
    QCOMPARE(m_recorder->calls, QStringList({"move Right", "zoom Out", "stopMove", "stopZoom"}));

    // Re-plugged at index 0, it drives again.
    m_recorder->calls.clear();
    pad = std::make_unique<SdlVirtualPad>();
    QTRY_COMPARE(m_layer->count(), 1);
    pad->setHat(0, SDL_HAT_LEFTDOWN);
    QTRY_COMPARE(m_recorder->calls, QStringList{"move DownLeft"});
    pad->setHat(0, SDL_HAT_CENTERED);
    QTRY_COMPARE(m_recorder->calls, QStringList({"move DownLeft", "stopMove"}));

    // A controller plugged in while another one drives stops the drive: the
    // list (and with it the stored index) may now mean another controller.
    m_recorder->calls.clear();
    pad->setAxis(4, -30000);
    QTRY_COMPARE(m_recorder->calls, QStringList{"move Up"});
    SdlVirtualPad second("Second Pad");
    QTRY_COMPARE(m_layer->count(), 2);
    QCOMPARE(m_recorder->calls, QStringList({"move Up", "stopMove"}));
}

void TestJoystickMapper::blacklistingMidMoveStopsWithoutRecalls()
{
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setHat(0, SDL_HAT_UP);
    QTRY_COMPARE(m_recorder->calls, QStringList({"move Up"}));
    pad.setButton(0, true);
    pad.setButton(11, true);
    pad.setButton(4, true);
    QTRY_COMPARE(m_recorder->calls, QStringList({"move Up", "zoom Out"}));
    m_layer->setBlacklisted(0, true);
    QCOMPARE(m_recorder->calls, QStringList({"move Up", "zoom Out", "stopMove", "stopZoom"}));
}

void TestJoystickMapper::wrapperSignals_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("up") << "a4:-1" << QByteArray(SIGNAL(moveTopBtnTriggered()));
    QTest::newRow("down") << "a4:1" << QByteArray(SIGNAL(moveBottomBtnTriggered()));
    QTest::newRow("left") << "a3:-1" << QByteArray(SIGNAL(moveLeftBtnTriggered()));
    QTest::newRow("right") << "a3:1" << QByteArray(SIGNAL(moveRightBtnTriggered()));
    QTest::newRow("up-left") << "h:315" << QByteArray(SIGNAL(moveTopLeftBtnTriggered()));
    QTest::newRow("up-right") << "h:45" << QByteArray(SIGNAL(moveTopRightBtnTriggered()));
    QTest::newRow("down-left") << "h:225" << QByteArray(SIGNAL(moveBottomLeftBtnTriggered()));
    QTest::newRow("down-right") << "h:135" << QByteArray(SIGNAL(moveBottomRightBtnTriggered()));
    QTest::newRow("stop") << "h:0 h:-1" << QByteArray(SIGNAL(moveStop()));
    QTest::newRow("home") << "b11:1 b11:0" << QByteArray(SIGNAL(moveHome()));
    QTest::newRow("zoom in") << "b5:1" << QByteArray(SIGNAL(zoomInBtnTriggered()));
    QTest::newRow("zoom out") << "b4:1" << QByteArray(SIGNAL(zoomOutBtnTriggered()));
    QTest::newRow("zoom stop") << "b4:0" << QByteArray(SIGNAL(zoomStop()));
    QTest::newRow("focus in") << "b7:1" << QByteArray(SIGNAL(focusInBtnTriggered()));
    QTest::newRow("focus out") << "b6:1" << QByteArray(SIGNAL(focusOutBtnTriggered()));
    QTest::newRow("focus stop") << "b6:0" << QByteArray(SIGNAL(focusStop()));
    QTest::newRow("auto focus") << "b1:1 b1:0" << QByteArray(SIGNAL(focusStateChange()));
    QTest::newRow("preset") << "b2:1 b2:0" << QByteArray(SIGNAL(callPreset(int)));
    QTest::newRow("menu") << "b10:1 b10:0" << QByteArray(SIGNAL(osdMenuBtnTriggered()));
    QTest::newRow("enter") << "b9:1 b9:0" << QByteArray(SIGNAL(enterBtnTriggered()));
    QTest::newRow("back") << "b8:1 b8:0" << QByteArray(SIGNAL(backBtnTriggered()));
}

void TestJoystickMapper::wrapperSignals()
{
    QFETCH(QString, events);
    QFETCH(QByteArray, signal);
    JoystickWrapper wrapper(m_layer.get(), m_settings.get());
    QSignalSpy spy(&wrapper, signal.constData());
    feed(*wrapper.mapper(), events);
    QCOMPARE(spy.count(), 1);
}

void TestJoystickMapper::dialogStoresSelection()
{
    SdlVirtualPad first("Pad One");
    SdlVirtualPad second("Pad Two");
    QTRY_COMPARE(m_layer->count(), 2);
    m_settings->setJoystickAvailable(false);
    m_settings->setHotkeyAvailable(true);

    {
        JoyStickDlg dialog(m_layer.get(), m_settings.get());
        auto *combo = dialog.findChild<QComboBox *>("joystickCombo");
        QCOMPARE(combo->currentIndex(), 0);
        combo->setCurrentIndex(1);
        dialog.findChild<QCheckBox *>("useJoyStickCheck")->setChecked(true);
        dialog.findChild<QPushButton *>("cancelBtn")->click();
    }
    QCOMPARE(m_settings->isJoystickAvailable(), false);

    JoyStickDlg dialog(m_layer.get(), m_settings.get());
    QCOMPARE(dialog.findChild<QCheckBox *>("useHotKeyCheck")->isChecked(), true);
    dialog.findChild<QComboBox *>("joystickCombo")->setCurrentIndex(1);
    dialog.findChild<QCheckBox *>("useJoyStickCheck")->setChecked(true);
    dialog.findChild<QCheckBox *>("useHotKeyCheck")->setChecked(false);
    dialog.findChild<QPushButton *>("okBtn")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_settings->selectedJoystick(), 1);
    QCOMPARE(m_settings->isJoystickAvailable(), true);
    QCOMPARE(m_settings->isHotkeyAvailable(), false);

    // From the next event only the second controller drives.
    first.setAxis(3, 30000);
    second.setAxis(3, -30000);
    QTRY_COMPARE(m_recorder->calls, QStringList{"move Left"});
}

void TestJoystickMapper::dialogWithoutControllersStoresMinusOne()
{
    JoyStickDlg dialog(m_layer.get(), m_settings.get());
    dialog.findChild<QPushButton *>("okBtn")->click();
    QCOMPARE(m_settings->selectedJoystick(), -1);
}

QTEST_MAIN(TestJoystickMapper)
#include "tst_joystickmapper.moc"
