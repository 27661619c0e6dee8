// JoystickMapper behind JoystickWrapper's signals: actions, and the stops
// owed on every change of controller, selection or list; the selection
// dialog. (Controllers through the layer: tst_joysticks, tst_panelinput.)

#include "appsettings.h"
#include "joystickdlg.h"
#include "joystickwrapper.h"
#include "qjoysticks.h"
#include "tempdatahome.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestJoystickMapper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_wrapper.reset(), m_settings.reset(); }
    void mapping_data();
    void mapping();
    void dialogStoresSelection();

public slots:
    void record()
    {
        m_calls << QString(sender()->metaObject()->method(senderSignalIndex()).name())
                       .remove(QStringLiteral("BtnTriggered"));
    }

private:
    // Emits space-separated events as the layer: "[js/]a<axis>:<value>",
    // "[js/]h:<angle>", "[js/]b<button>:<0|1>" (js 0 unless given); "sel:<n>"
    // and "on:<0|1>" change the settings, "count" the controller list.
    void feed(const QString &events);

    QTemporaryDir m_config;
    TempDataHome m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<QJoysticks> m_layer;
    std::unique_ptr<JoystickWrapper> m_wrapper; // records its signals in m_calls
    QStringList m_calls;
};

void TestJoystickMapper::initTestCase()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    m_layer = std::make_unique<QJoysticks>("corvanta-tests", "tst_joystickmapper");
}

void TestJoystickMapper::init()
{
    m_settings = std::make_unique<AppSettings>();
    m_settings->setJoystickAvailable(true);
    m_settings->setSelectedJoystick(0);
    m_calls.clear();
    m_wrapper = std::make_unique<JoystickWrapper>(m_layer.get(), m_settings.get());
    const QMetaObject &mo = JoystickWrapper::staticMetaObject;
    const QMetaMethod record = metaObject()->method(metaObject()->indexOfSlot("record()"));
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        if (mo.method(i).methodType() == QMetaMethod::Signal && mo.method(i).parameterCount() == 0)
            connect(m_wrapper.get(), mo.method(i), this, record);
    connect(m_wrapper.get(), &JoystickWrapper::callPreset, this,
            [this](int n) { m_calls << QStringLiteral("preset%1").arg(n); });
}

void TestJoystickMapper::feed(const QString &events)
{
    static const QRegularExpression re(QStringLiteral("^(?:(\\d)/)?([a-z]+)(-?\\d*):?(.*)$"));
    for (const QString &e : events.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = re.match(e);
        const int js = m.captured(1).toInt(), index = m.captured(3).toInt();
        const QString kind = m.captured(2), value = m.captured(4);
        if (kind == "a")
            emit m_layer->axisChanged(js, index, value.toDouble());
        else if (kind == "h")
            emit m_layer->povChanged(js, 0, value.toInt());
        else if (kind == "b")
            emit m_layer->buttonChanged(js, index, value == "1");
        else if (kind == "sel")
            m_settings->setSelectedJoystick(value.toInt());
        else if (kind == "on")
            m_settings->setJoystickAvailable(value == "1");
        else
            emit m_layer->countChanged();
    }
}

void TestJoystickMapper::mapping_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("calls"); // space-separated
    auto row = [](const char *name, const char *events, const char *calls) {
        QTest::newRow(name) << QString(events) << QString(calls);
    };
    row("ignored",
        "a3:0.2 a3:-0.2 a4:0.2 a0:1 a1:-1 a2:1 a5:-1 a6:1 h:30 h:360 h:-90 "
        "b0:0 b11:0 b0:1 b11:1 b12:1 b12:0 b15:1 b15:0 b-1:1 b-1:0 "
        "1/a3:0.8 1/h:90 1/b2:1 1/b2:0 1/b4:1 b23:1 b27:1 count "
        "on:0 a3:0.8 h:90 b4:1 b0:0",
        "");
    row("pan, tilt: positive is down", "a3:0.21 a3:-0.21 a3:0 a4:0.5 a4:-0.5",
        "moveRight moveLeft moveStop moveBottom moveTop");
    row("sweep through the dead zone", "a3:-0.9 a3:-0.5 a3:-0.1 a3:0 a3:0.1 a3:0.5 a3:0.9 a3:0.15",
        "moveLeft moveStop moveRight moveStop");
    row("diagonals from both axes", "a3:0.8 a4:-0.8 a3:0.05 a4:0 a4:0.8 a3:0.8 a3:-0.8 a3:0 a4:0",
        "moveRight moveTopRight moveTop moveStop moveBottom moveBottomRight "
        "moveBottomLeft moveBottom moveStop");
    row("hat directions; the hat over a held stick",
        "h:0 h:45 h:90 h:135 h:180 h:225 h:270 h:315 h:-1 a3:0.8 h:0 h:-1 a3:0",
        "moveTop moveTopRight moveRight moveBottomRight moveBottom moveBottomLeft moveLeft "
        "moveTopLeft moveStop moveRight moveTop moveRight moveStop");
    row("release actions",
        "b0:1 b0:0 b1:1 b1:0 b2:1 b2:0 b3:1 b3:0 b8:1 b8:0 b9:1 b9:0 b10:1 "
        "b10:0 b11:1 b11:0",
        "preset3 focusStateChange preset1 preset2 back enter osdMenu moveHome");
    row("zoom, focus held; a release always stops",
        "b4:1 b4:0 b5:1 b5:0 b6:1 b6:0 b7:1 b7:0 b5:0 b6:0",
        "zoomOut zoomStop zoomIn zoomStop focusOut focusStop focusIn focusStop zoomStop focusStop");
    row("zoom pair overlap", "b4:1 b5:1 b5:0 b4:0 b4:1 b5:1 b4:0 b5:0",
        "zoomOut zoomIn zoomOut zoomStop zoomOut zoomIn zoomStop");
    row("focus pair overlap", "b7:1 b6:1 b6:0 b7:0 b7:1 b6:1 b7:0 b6:0",
        "focusIn focusOut focusIn focusStop focusIn focusOut focusStop");
    row("selection applies from the next event", "sel:1 a3:0.8 1/a3:-0.8", "moveLeft");
    row("selection change stops", "a3:0.8 b5:1 b7:1 sel:1 a3:0.9",
        "moveRight zoomIn focusIn moveStop zoomStop focusStop");
    row("disabling stops, held buttons forgotten", "h:90 b6:1 b0:1 on:0 a3:0.9 on:1 b0:0 b6:0",
        "moveRight focusOut moveStop focusStop focusStop");
    row("list change stops", "a3:0.8 b4:1 count a3:0.9 h:180 count a3:-0.8",
        "moveRight zoomOut moveStop zoomStop moveRight moveBottom moveStop moveLeft");
}

void TestJoystickMapper::mapping()
{
    QFETCH(QString, events);
    QFETCH(QString, calls);
    feed(events);
    QCOMPARE(m_calls.join(' '), calls);
}

void TestJoystickMapper::dialogStoresSelection()
{
    m_settings->setJoystickAvailable(false);
    m_settings->setHotkeyAvailable(true);
    for (const char *button : {"cancelBtn", "okBtn"}) {
        JoyStickDlg dialog(m_layer.get(), m_settings.get());
        QVERIFY(dialog.findChild<QCheckBox *>("useHotKeyCheck")->isChecked());
        dialog.findChild<QCheckBox *>("useJoyStickCheck")->setChecked(true);
        dialog.findChild<QCheckBox *>("useHotKeyCheck")->setChecked(false);
        dialog.findChild<QPushButton *>(button)->click();
        QCOMPARE(m_settings->isJoystickAvailable(), button == QByteArray("okBtn"));
    }
    QCOMPARE(m_settings->selectedJoystick(), -1); // no controller listed
    QVERIFY(!m_settings->isHotkeyAvailable());
}

QTEST_MAIN(TestJoystickMapper)
#include "tst_joystickmapper.moc"
