#include "qjoysticks.h"
#include "sdljoysticks.h"
#include "sdlvirtualpad.h"
#include "virtualjoystick.h"

#include <QKeyEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <memory>

namespace {
const QString kOrg = QStringLiteral("corvanta-tests");
const QString kApp = QStringLiteral("tst_joysticks");

// Last signal argument list of a spy as text, e.g. "0,3,0.50002".
QString lastArgs(const QSignalSpy &spy)
{
    if (spy.isEmpty())
        return QString();
    QStringList parts;
    for (const QVariant &v : spy.last()) {
        parts.append(v.userType() == QMetaType::Double ? QString::number(v.toDouble(), 'f', 5)
                                                       : v.toString());
    }
    return parts.join(QLatin1Char(','));
}
} // namespace

class TestJoysticks : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void hotPlugKeepsListAndEventsInStep();
    void axisValues_data();
    void axisValues();
    void hatAngles_data();
    void hatAngles();
    void buttons();
    void unplugReleasesHeldControls();
    void pollsSlowerWithoutController();
    void blacklistDropsEventsAndIsStoredByName();
    void outOfRangeQueriesFallBack();
    void virtualJoystickReadsKeysOnce();
    void initialisationFallsBackWithoutAudio();

private:
    // Every signal of the layer from now on, as text ("a0.4=0", "count").
    const QStringList &recordAll();

    QStringList m_seen;
    QTemporaryDir m_config;
    std::unique_ptr<QJoysticks> m_layer;
};

void TestJoysticks::initTestCase()
{
    QVERIFY(m_config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
}

void TestJoysticks::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrg, kApp).clear();
    m_layer = std::make_unique<QJoysticks>(kOrg, kApp);
    QVERIFY(m_layer->sdlJoysticks()->isAvailable());
    m_layer->sdlJoysticks()->setPollInterval(1);
    m_layer->sdlJoysticks()->setIdlePollInterval(1);
}

void TestJoysticks::cleanup()
{
    m_layer.reset();
    m_seen.clear();
}

const QStringList &TestJoysticks::recordAll()
{
    QJoysticks *layer = m_layer.get();
    connect(layer, &QJoysticks::axisChanged, this, [this](int js, int a, qreal v) {
        m_seen << QStringLiteral("a%1.%2=%3").arg(js).arg(a).arg(v);
    });
    connect(layer, &QJoysticks::buttonChanged, this, [this](int js, int b, bool p) {
        m_seen << QStringLiteral("b%1.%2=%3").arg(js).arg(b).arg(p);
    });
    connect(layer, &QJoysticks::povChanged, this, [this](int js, int h, int a) {
        m_seen << QStringLiteral("h%1.%2=%3").arg(js).arg(h).arg(a);
    });
    connect(layer, &QJoysticks::countChanged, this, [this] { m_seen << QStringLiteral("count"); });
    return m_seen;
}

void TestJoysticks::hotPlugKeepsListAndEventsInStep()
{
    QCOMPARE(m_layer->count(), 0);
    QSignalSpy axes(m_layer.get(), &QJoysticks::axisChanged);

    auto first = std::make_unique<SdlVirtualPad>("Pad One");
    QVERIFY(first->isValid());
    QTRY_COMPARE(m_layer->count(), 1);
    SdlVirtualPad second("Pad Two");
    QTRY_COMPARE(m_layer->deviceNames(), QStringList({"Pad One", "Pad Two"}));

    first->unplug();
    QTRY_COMPARE(m_layer->deviceNames(), QStringList({"Pad Two"}));
    second.setAxis(3, 32767);
    QTRY_COMPARE(lastArgs(axes), QStringLiteral("0,3,1.00000"));
    QCOMPARE(m_layer->getAxis(0, 3), 1.0);

    // Re-plugged, the device comes back behind the remaining one with fresh
    // values and its events carry its new index.
    first = std::make_unique<SdlVirtualPad>("Pad One");
    QTRY_COMPARE(m_layer->deviceNames(), QStringList({"Pad Two", "Pad One"}));
    QCOMPARE(m_layer->getNumAxes(1), 6);
    QCOMPARE(m_layer->getAxis(1, 3), 0.0);
    first->setAxis(5, -32768);
    QTRY_COMPARE(lastArgs(axes), QStringLiteral("1,5,-1.00003"));
    QCOMPARE(m_layer->getAxis(0, 5), 0.0);
}

void TestJoysticks::axisValues_data()
{
    QTest::addColumn<int>("sdlValue");
    QTest::addColumn<QString>("reported");
    QTest::newRow("half") << 16384 << "0,2,0.50002";
    QTest::newRow("max") << 32767 << "0,2,1.00000";
    QTest::newRow("min") << -32768 << "0,2,-1.00003";
}

void TestJoysticks::axisValues()
{
    QFETCH(int, sdlValue);
    QFETCH(QString, reported);
    QSignalSpy axes(m_layer.get(), &QJoysticks::axisChanged);
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setAxis(2, Sint16(sdlValue));
    QTRY_COMPARE(lastArgs(axes), reported);
}

void TestJoysticks::hatAngles_data()
{
    QTest::addColumn<int>("sdlHat");
    QTest::addColumn<int>("angle");
    QTest::newRow("up") << int(SDL_HAT_UP) << 0;
    QTest::newRow("right-up") << int(SDL_HAT_RIGHTUP) << 45;
    QTest::newRow("right") << int(SDL_HAT_RIGHT) << 90;
    QTest::newRow("right-down") << int(SDL_HAT_RIGHTDOWN) << 135;
    QTest::newRow("down") << int(SDL_HAT_DOWN) << 180;
    QTest::newRow("left-down") << int(SDL_HAT_LEFTDOWN) << 225;
    QTest::newRow("left") << int(SDL_HAT_LEFT) << 270;
    QTest::newRow("left-up") << int(SDL_HAT_LEFTUP) << 315;
    QTest::newRow("up+down is no direction") << int(SDL_HAT_UP | SDL_HAT_DOWN) << -1;
}

void TestJoysticks::hatAngles()
{
    QFETCH(int, sdlHat);
    QFETCH(int, angle);
    QSignalSpy povs(m_layer.get(), &QJoysticks::povChanged);
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setHat(0, Uint8(sdlHat));
    QTRY_COMPARE(lastArgs(povs), QStringLiteral("0,0,%1").arg(angle));
    QCOMPARE(m_layer->getPOV(0, 0), angle);
    if (angle != -1) {
        pad.setHat(0, SDL_HAT_CENTERED);
        QTRY_COMPARE(lastArgs(povs), QStringLiteral("0,0,-1"));
    }
}

void TestJoysticks::buttons()
{
    QSignalSpy buttons(m_layer.get(), &QJoysticks::buttonChanged);
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setButton(11, true);
    QTRY_COMPARE(lastArgs(buttons), QStringLiteral("0,11,true"));
    QVERIFY(m_layer->getButton(0, 11));
    pad.setButton(11, false);
    QTRY_COMPARE(lastArgs(buttons), QStringLiteral("0,11,false"));
}

void TestJoysticks::unplugReleasesHeldControls()
{
    const QStringList &seen = recordAll();
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setAxis(4, 20000);
    pad.setButton(5, true);
    pad.setHat(0, SDL_HAT_LEFT);
    QTRY_VERIFY(m_layer->getPOV(0, 0) == 270 && m_layer->getButton(0, 5));
    m_seen.clear();
    pad.unplug();
    QTRY_COMPARE(seen, QStringList({"a0.4=0", "h0.0=-1", "count"}));
    // (The held button ends with "count", not with a release that would act.)
}

// The poll runs at the idle interval until a controller is attached, and
// still detects it there.
void TestJoysticks::pollsSlowerWithoutController()
{
    SDL_Joysticks *sdl = m_layer->sdlJoysticks();
    sdl->setPollInterval(2);
    sdl->setIdlePollInterval(20);
    QCOMPARE(sdl->activePollInterval(), 20);
    auto pad = std::make_unique<SdlVirtualPad>();
    QTRY_COMPARE(m_layer->count(), 1);
    QCOMPARE(sdl->activePollInterval(), 2);
    pad.reset();
    QTRY_COMPARE(m_layer->count(), 0);
    QCOMPARE(sdl->activePollInterval(), 20);
}

void TestJoysticks::blacklistDropsEventsAndIsStoredByName()
{
    QSignalSpy axes(m_layer.get(), &QJoysticks::axisChanged);
    QSignalSpy povs(m_layer.get(), &QJoysticks::povChanged);
    SdlVirtualPad pad("Blocked Pad");
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setHat(0, SDL_HAT_UP);
    QTRY_COMPARE(m_layer->getPOV(0, 0), 0);

    axes.clear();
    m_layer->setBlacklisted(0, true);
    // Axes and hats are reported at rest first; the hat goes to centred, not to "up".
    QCOMPARE(lastArgs(povs), QStringLiteral("0,0,-1"));
    QCOMPARE(axes.count(), 6);
    QVERIFY(m_layer->isBlacklisted(0));
    QCOMPARE(m_layer->nonBlacklistedCount(), 0);
    int blockedAxes = 0;
    connect(m_layer.get(), &QJoysticks::axisChanged, this,
            [&](int js) { blockedAxes += js == 0 ? 1 : 0; });
    pad.setAxis(3, 30000);
    pad.setButton(0, true);
    QSignalSpy buttons(m_layer.get(), &QJoysticks::buttonChanged);
    // A second device's change proves the poll has run past the first's.
    SdlVirtualPad marker("Marker Pad");
    QTRY_COMPARE(m_layer->count(), 2);
    marker.setButton(1, true);
    QTRY_COMPARE(lastArgs(buttons), QStringLiteral("1,1,true"));
    QCOMPARE(buttons.count(), 1);
    QCOMPARE(blockedAxes, 0);

    // Out of range: nothing stored, nothing changed.
    m_layer->setBlacklisted(7, true);
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kOrg, kApp);
    store.beginGroup(QStringLiteral("Blacklisted Joysticks"));
    QCOMPARE(store.childKeys(), QStringList({"Blocked Pad"}));
    QCOMPARE(store.value("Blocked Pad").toBool(), true);

    // The flag survives a restart of the layer.
    m_layer = std::make_unique<QJoysticks>(kOrg, kApp);
    m_layer->sdlJoysticks()->setPollInterval(1);
    m_layer->sdlJoysticks()->setIdlePollInterval(1);
    QTRY_COMPARE(m_layer->count(), 2);
    QCOMPARE(m_layer->isBlacklisted(0), true);
    QCOMPARE(m_layer->isBlacklisted(1), false);
    m_layer->setSortJoysticksByBlacklistState(true);
    QCOMPARE(m_layer->deviceNames(), QStringList({"Marker Pad", "Blocked Pad"}));
}

void TestJoysticks::outOfRangeQueriesFallBack()
{
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    QCOMPARE(m_layer->getName(1), QStringLiteral("Invalid Joystick"));
    QCOMPARE(m_layer->getNumAxes(1), -1);
    QCOMPARE(m_layer->isBlacklisted(-1), true);
    QCOMPARE(m_layer->getPOV(1, 0), -1);
    QCOMPARE(m_layer->getAxis(0, 6), 0.0);
    QCOMPARE(m_layer->getButton(0, 12), false);
}

void TestJoysticks::virtualJoystickReadsKeysOnce()
{
    QWindow window;
    const QStringList &seen = recordAll();
    auto key = [&](QEvent::Type type, int code, bool autoRepeat = false) {
        QKeyEvent event(type, code, Qt::NoModifier, QString(), autoRepeat);
        QCoreApplication::sendEvent(&window, &event);
    };

    key(QEvent::KeyPress, Qt::Key_A); // disabled: nothing
    m_layer->setVirtualJoystickEnabled(true);
    QCOMPARE(m_layer->deviceNames(), QStringList({"Virtual Joystick"}));
    m_layer->setVirtualJoystickRange(0.5);
    key(QEvent::KeyPress, Qt::Key_A);
    key(QEvent::KeyRelease, Qt::Key_A, true);
    key(QEvent::KeyPress, Qt::Key_A, true);
    key(QEvent::KeyRelease, Qt::Key_A);
    key(QEvent::KeyPress, Qt::Key_Up);
    key(QEvent::KeyRelease, Qt::Key_Up);
    key(QEvent::KeyPress, Qt::Key_7);
    key(QEvent::KeyPress, Qt::Key_X);
    QCOMPARE(seen, QStringList({"count", "a0.0=-0.5", "a0.0=0", "h0.0=0", "h0.0=-1", "b0.7=1"}));

    m_layer->setVirtualJoystickRange(-3);
    QCOMPARE(m_layer->virtualJoystick()->axisRange(), 1.0);
}

void TestJoysticks::initialisationFallsBackWithoutAudio()
{
    m_layer.reset();
    qputenv("SDL_AUDIODRIVER", "corvanta-no-such-driver");
    m_layer = std::make_unique<QJoysticks>(kOrg, kApp);
    qunsetenv("SDL_AUDIODRIVER");
    QVERIFY(m_layer->sdlJoysticks()->isAvailable());
    QCOMPARE(SDL_GetHint(SDL_HINT_JOYSTICK_HIDAPI), "0");
    m_layer->sdlJoysticks()->setPollInterval(1);
    m_layer->sdlJoysticks()->setIdlePollInterval(1);
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
}

QTEST_MAIN(TestJoysticks)
#include "tst_joysticks.moc"
