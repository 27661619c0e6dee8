// The joystick layer over SDL virtual joysticks: the list and the events'
// indexes in step across hot plug, idle polling, value conversion, releases
// on unplug, the stored blacklist; every layer starts without an audio driver.

#include "qjoysticks.h"
#include "sdljoysticks.h"
#include "sdlvirtualpad.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

static const char *const kOrg = "corvanta-tests", *const kApp = "tst_joysticks";

class TestJoysticks : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_layer.reset(); }
    void hotPlugKeepsListAndEventsInStep();
    void values();
    void unplugReleasesHeldControls();
    void blacklistDropsEventsAndIsStoredByName();

private:
    // A new layer polling every 1 ms; from now on m_seen records its signals
    // as text ("a0.4=0": joystick 0, axis 4, value 0; "b", "h"; "count").
    void newLayer();

    QStringList m_seen;
    QTemporaryDir m_config;
    std::unique_ptr<QJoysticks> m_layer;
};

void TestJoysticks::init()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrg, kApp).clear();
    qputenv("SDL_AUDIODRIVER", "corvanta-no-such-driver"); // not needed for joysticks
    newLayer();
    qunsetenv("SDL_AUDIODRIVER");
    QVERIFY(m_layer->sdlJoysticks()->isAvailable());
    QCOMPARE(SDL_GetHint(SDL_HINT_JOYSTICK_HIDAPI), "0");
}

void TestJoysticks::newLayer()
{
    m_layer = std::make_unique<QJoysticks>(kOrg, kApp);
    m_layer->sdlJoysticks()->setPollInterval(1);
    m_layer->sdlJoysticks()->setIdlePollInterval(1);
    m_seen.clear();
    const auto record = [this](QChar kind) {
        return [this, kind](int js, int i, auto v) {
            m_seen << QStringLiteral("%1%2.%3=%4").arg(kind).arg(js).arg(i).arg(v);
        };
    };
    connect(m_layer.get(), &QJoysticks::axisChanged, this, record('a'));
    connect(m_layer.get(), &QJoysticks::buttonChanged, this, record('b'));
    connect(m_layer.get(), &QJoysticks::povChanged, this, record('h'));
    connect(m_layer.get(), &QJoysticks::countChanged, this,
            [this] { m_seen << QStringLiteral("count"); });
}

void TestJoysticks::hotPlugKeepsListAndEventsInStep()
{
    SDL_Joysticks *sdl = m_layer->sdlJoysticks();
    sdl->setIdlePollInterval(20); // without a controller; it is found there too
    QCOMPARE(sdl->activePollInterval(), 20);
    auto first = std::make_unique<SdlVirtualPad>("Pad One");
    SdlVirtualPad second("Pad Two");
    QTRY_COMPARE(m_layer->deviceNames(), QStringList({"Pad One", "Pad Two"}));
    QCOMPARE(sdl->activePollInterval(), 1);
    first->unplug();
    QTRY_COMPARE(m_layer->deviceNames(), QStringList({"Pad Two"}));
    second.setAxis(3, 32767);
    QTRY_COMPARE(m_layer->getAxis(0, 3), 1.0);
    // Re-plugged, the device comes back behind the remaining one with fresh
    // values and its events carry its new index.
    first = std::make_unique<SdlVirtualPad>("Pad One");
    QTRY_COMPARE(m_layer->deviceNames(), QStringList({"Pad Two", "Pad One"}));
    QVERIFY(m_layer->getNumAxes(1) == 6 && m_layer->getAxis(1, 3) == 0.0);
    first->setAxis(5, -32768);
    QTRY_COMPARE(m_seen.last(), QStringLiteral("a1.5=-1.00003"));
    QCOMPARE(m_layer->getAxis(0, 5), 0.0); // not the other one's
}

void TestJoysticks::values()
{
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    const QList<QPair<int, int>> hats = {
        {SDL_HAT_UP, 0},          {SDL_HAT_RIGHTUP, 45}, {SDL_HAT_RIGHT, 90},
        {SDL_HAT_RIGHTDOWN, 135}, {SDL_HAT_DOWN, 180},   {SDL_HAT_LEFTDOWN, 225},
        {SDL_HAT_LEFT, 270},      {SDL_HAT_LEFTUP, 315}, {SDL_HAT_UP | SDL_HAT_DOWN, -1}};
    for (const auto &h : hats) {
        pad.setHat(0, Uint8(h.first));
        QTRY_COMPARE(m_seen.last(), QStringLiteral("h0.0=%1").arg(h.second));
    }
    for (const auto &a : QList<QPair<int, QString>>{{16384, "0.500015"}, {-32768, "-1.00003"}}) {
        pad.setAxis(2, Sint16(a.first));
        QTRY_COMPARE(m_seen.last(), "a0.2=" + a.second);
    }
    pad.setButton(2, true);
    QTRY_COMPARE(m_seen.last(), QStringLiteral("b0.2=1"));
}

void TestJoysticks::unplugReleasesHeldControls()
{
    SdlVirtualPad pad;
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setAxis(4, 20000);
    pad.setButton(5, true);
    pad.setHat(0, SDL_HAT_LEFT);
    QTRY_VERIFY(m_layer->getPOV(0, 0) == 270 && m_layer->getButton(0, 5));
    m_seen.clear();
    pad.unplug();
    // The held button ends with "count", not with a release that would act.
    QTRY_COMPARE(m_seen, QStringList({"a0.4=0", "h0.0=-1", "count"}));
    // Index 0 is out of range now.
    QVERIFY(m_layer->getNumAxes(0) == -1 && m_layer->getPOV(0, 0) == -1 &&
            m_layer->getAxis(0, 4) == 0.0 && !m_layer->getButton(0, 5));
}

void TestJoysticks::blacklistDropsEventsAndIsStoredByName()
{
    SdlVirtualPad pad("Blocked Pad");
    QTRY_COMPARE(m_layer->count(), 1);
    pad.setHat(0, SDL_HAT_UP);
    QTRY_COMPARE(m_layer->getPOV(0, 0), 0);
    m_seen.clear();
    m_layer->setBlacklisted(0, true);
    // Axes and hats are reported at rest first (the hat centred, not up), then
    // the list changes.
    QCOMPARE(m_seen.join(' '), "a0.0=0 a0.1=0 a0.2=0 a0.3=0 a0.4=0 a0.5=0 h0.0=-1 count");
    m_layer->setBlacklisted(7, true); // out of range: nothing stored
    pad.setAxis(3, 30000);
    pad.setButton(0, true);
    // A second device's change proves the poll has run past the first's.
    SdlVirtualPad marker("Marker Pad");
    QTRY_COMPARE(m_layer->count(), 2);
    marker.setButton(1, true);
    QTRY_COMPARE(m_seen.last(), QStringLiteral("b1.1=1"));
    QVERIFY(m_seen.mid(8).filter(QRegularExpression("^.0\\.")).isEmpty()); // none of joystick 0
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kOrg, kApp);
    QCOMPARE(store.allKeys(), QStringList({"Blacklisted Joysticks/Blocked Pad"}));
    // The flag survives a restart of the layer.
    newLayer();
    QTRY_COMPARE(m_layer->count(), 2);
    QVERIFY(m_layer->isBlacklisted(0) && !m_layer->isBlacklisted(1));
    m_layer->setSortJoysticksByBlacklistState(true);
    QCOMPARE(m_layer->deviceNames(), QStringList({"Marker Pad", "Blocked Pad"}));
}

QTEST_MAIN(TestJoysticks)
#include "tst_joysticks.moc"
