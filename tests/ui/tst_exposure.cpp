// The exposure, image and colour panel of the main window against camera
// simulators on loopback: what each widget sends, the enabling table, the
// one-time copy of the camera's values after a connection and the status texts.

#include "panelharness.h"
#include "pantiltlimitdlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>

using namespace PanelHarness;

class TestExposure : public PanelTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void aeModeEnablingAndBytes_data();
    void aeModeEnablingAndBytes();
    void stepButtons_data();
    void stepButtons();
    void scenes_data();
    void scenes();
    void whiteBalanceAndOnePush();
    void keysAndSwitches_data();
    void keysAndSwitches();
    void sliders();
    void joystickSteps_data();
    void joystickSteps();
    void syncFromCamera_data();
    void syncFromCamera();
    void syncHappensOncePerConnection();
    void nothingSentWithoutConnection();
    void panTiltLimitMenu();

private:
    void freshConnection();
    QString statusText(const char *labelName) const
    {
        auto *label = w()->statusBar()->findChild<QLabel *>(QLatin1String(labelName));
        return label ? label->text() : QString();
    }
};

void TestExposure::initTestCase()
{
    QVERIFY(h.setUp());
}

void TestExposure::init()
{
    // Most cases set the widgets they depend on and keep the connection of
    // the case before; those about connecting start from freshConnection().
    h.clearLogs();
}

void TestExposure::freshConnection()
{
    h.disconnectAll();
    QVERIFY(h.resetCameraState(0));
    h.clearLogs();
}

void TestExposure::aeModeEnablingAndBytes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("shutterOn");
    QTest::addColumn<bool>("irisOn");
    QTest::addColumn<bool>("brightOn");
    QTest::newRow("Auto") << 0 << hex("8101043900ff") << false << false << false;
    QTest::newRow("Manual") << 1 << hex("8101043903ff") << true << true << false;
    QTest::newRow("SAE") << 2 << hex("810104390aff") << true << false << false;
    QTest::newRow("AAE") << 3 << hex("810104390bff") << false << true << false;
    QTest::newRow("Brightness") << 4 << hex("810104390dff") << false << false << true;
}

void TestExposure::aeModeEnablingAndBytes()
{
    QFETCH(int, index);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, shutterOn);
    QFETCH(bool, irisOn);
    QFETCH(bool, brightOn);

    h.connectCamera(0);
    auto *ae = child<QComboBox>("aeModeSelect");
    ae->setCurrentIndex((index + 1) % 5);
    h.barrier(0);
    h.clearLogs();

    ae->setCurrentIndex(index);
    for (const char *name : {"shutterUp", "shutterDown"})
        QCOMPARE(child<QPushButton>(name)->isEnabled(), shutterOn);
    QCOMPARE(child<QComboBox>("shutterCombo")->isEnabled(), shutterOn);
    for (const char *name : {"irisUp", "irisDown"})
        QCOMPARE(child<QPushButton>(name)->isEnabled(), irisOn);
    QCOMPARE(child<QComboBox>("irisCombo")->isEnabled(), irisOn);
    for (const char *name : {"brightUp", "brightDown"})
        QCOMPARE(child<QPushButton>(name)->isEnabled(), brightOn);
    QCOMPARE(child<QComboBox>("brightCombo")->isEnabled(), brightOn);
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands, QList<QByteArray>{bytes}, kWait);
}

void TestExposure::stepButtons_data()
{
    QTest::addColumn<QString>("button"); // steps the combo named after it
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expectedIndex");
    QTest::addColumn<QByteArray>("bytes"); // empty: nothing may be sent
    QTest::newRow("iris up at 12") << "irisUp" << 12 << 12 << QByteArray();
    QTest::newRow("iris up") << "irisUp" << 8 << 9 << hex("8101044b00000009ff");
    QTest::newRow("iris down at 0") << "irisDown" << 0 << 0 << QByteArray();
    QTest::newRow("iris down") << "irisDown" << 1 << 0 << hex("8101044b00000000ff");
    QTest::newRow("shutter up at 16") << "shutterUp" << 16 << 16 << QByteArray();
    QTest::newRow("shutter up") << "shutterUp" << 15 << 16 << hex("8101044a00000101ff");
    QTest::newRow("shutter down at 0") << "shutterDown" << 0 << 0 << QByteArray();
    QTest::newRow("shutter down") << "shutterDown" << 4 << 3 << hex("8101044a00000004ff");
    QTest::newRow("bright up") << "brightUp" << 5 << 5 << hex("8101040d02ff");
    QTest::newRow("bright down") << "brightDown" << 5 << 5 << hex("8101040d03ff");
}

void TestExposure::stepButtons()
{
    QFETCH(QString, button);
    QFETCH(int, start);
    QFETCH(int, expectedIndex);
    QFETCH(QByteArray, bytes);
    const QString combo = QString(button).remove(QRegularExpression("(Up|Down)$")) + "Combo";

    h.connectCamera(0);
    // Manual enables shutter and iris, Brightness the bright controls.
    child<QComboBox>("aeModeSelect")->setCurrentIndex(combo == "brightCombo" ? 4 : 1);
    auto *box = child<QComboBox>(combo);
    box->setCurrentIndex(start);
    h.barrier(0);
    h.clearLogs();

    child<QPushButton>(button)->click();
    QCOMPARE(box->currentIndex(), expectedIndex);
    if (bytes.isEmpty()) {
        h.barrier(0);
        QCOMPARE(h.cams[0].commands, QList<QByteArray>());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands, QList<QByteArray>{bytes}, kWait);
    }
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

    h.connectCamera(0);
    child<QComboBox>("aeModeSelect")->setCurrentIndex(0);
    child<QComboBox>("shutterCombo")->setCurrentIndex(0);
    child<QComboBox>("irisCombo")->setCurrentIndex(0);
    h.barrier(0);
    h.clearLogs();

    child<QPushButton>(button)->click();
    const QByteArray shutterBytes =
        hex("8101044a0000") + char((shutter + 1) >> 4) + char((shutter + 1) & 0xF) + hex("ff");
    const QByteArray irisBytes =
        hex("8101044b0000") + char(iris >> 4) + char(iris & 0xF) + hex("ff");
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands,
                              (QList<QByteArray>{hex("8101043903ff"), shutterBytes, irisBytes}),
                              kWait);
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].sim->iris(), iris, kWait);

    // Pressing the same scene again changes nothing, so nothing is sent.
    h.clearLogs();
    child<QPushButton>(button)->click();
    h.barrier(0);
    QCOMPARE(h.cams[0].commands, QList<QByteArray>());
}

void TestExposure::whiteBalanceAndOnePush()
{
    freshConnection();
    auto *wb = child<QComboBox>("wbCombo");
    auto *onePush = child<QPushButton>("onePushTriggerBtn");
    // Without a connection neither the camera nor the button follows.
    wb->setCurrentIndex(3);
    QVERIFY(!onePush->isEnabled());
    wb->setCurrentIndex(0);

    h.connectCamera(0);
    h.clearLogs();
    wb->setCurrentIndex(3);
    QVERIFY(onePush->isEnabled());
    onePush->click();
    wb->setCurrentIndex(4);
    QVERIFY(!onePush->isEnabled());
    wb->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands,
                              (QList<QByteArray>{hex("8101043503ff"), hex("8101041005ff"),
                                                 hex("8101043505ff"), hex("8101043501ff")}),
                              kWait);
    QCOMPARE(h.cams[0].sim->onePushCount(), 1);
}

void TestExposure::keysAndSwitches_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("menu") << "osdMenuBtn" << hex("8101043f025fff") << hex("8101043f025fff");
    QTest::newRow("enter") << "osdEnterBtn" << hex("8101060605ff") << hex("8101060605ff");
    QTest::newRow("back") << "osdBackBtn" << hex("8101060604ff") << hex("8101060604ff");
    QTest::newRow("flip") << "imgFlipBtn" << hex("8101046602ff") << hex("8101046603ff");
    QTest::newRow("mirror") << "imgMirrorBtn" << hex("8101046102ff") << hex("8101046103ff");
    QTest::newRow("sync on") << "syncOnBtn" << hex("810a111302ff") << hex("810a111302ff");
    QTest::newRow("sync off") << "syncOffBtn" << hex("810a111303ff") << hex("810a111303ff");
}

void TestExposure::keysAndSwitches()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    h.connectCamera(0);
    h.clearLogs();
    auto *b = child<QPushButton>(button);
    b->click();
    b->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands, (QList<QByteArray>{first, second}), kWait);
}

void TestExposure::sliders()
{
    h.connectCamera(0);
    auto *lum = child<QSlider>("luminanceSlider");
    auto *con = child<QSlider>("contrastSlider");
    auto *hue = child<QSlider>("hueSlider");
    lum->setValue(0);
    con->setValue(0);
    hue->setValue(0);
    h.barrier(0);
    h.clearLogs();
    lum->setValue(14);
    con->setValue(3);
    hue->setValue(200); // clamped to 14
    QTRY_COMPARE_WITH_TIMEOUT(
        h.cams[0].commands,
        (QList<QByteArray>{hex("810104a10000000eff"), hex("810104a200000003ff"),
                           hex("8101044f0000000eff")}),
        kWait);
}

void TestExposure::joystickSteps_data()
{
    // Calls: 'L'/'l' luminance up/down, 'C'/'c' contrast, 'H'/'h' hue.
    QTest::addColumn<QString>("calls");
    QTest::addColumn<int>("luminance");
    QTest::addColumn<int>("contrast");
    QTest::addColumn<int>("hue");
    QTest::newRow("three luminance steps move once") << "LLL" << 8 << 7 << 7;
    QTest::newRow("six move twice") << "LLLLLL" << 9 << 7 << 7;
    QTest::newRow("two do nothing") << "LL" << 7 << 7 << 7;
    QTest::newRow("counter shared across sliders") << "LCH" << 7 << 7 << 8;
    QTest::newRow("down") << "hhh" << 7 << 7 << 6;
}

void TestExposure::joystickSteps()
{
    QFETCH(QString, calls);
    QFETCH(int, luminance);
    QFETCH(int, contrast);
    QFETCH(int, hue);

    h.connectCamera(0);
    auto *lum = child<QSlider>("luminanceSlider");
    auto *con = child<QSlider>("contrastSlider");
    auto *hueSlider = child<QSlider>("hueSlider");
    lum->setValue(7);
    con->setValue(7);
    hueSlider->setValue(7);
    // Bring the shared counter back to a multiple of three: step until the
    // slider moves (at most three calls).
    for (int i = 0; i < 3 && lum->value() == 7; ++i)
        w()->onLuminanceChangeTriggered(false);
    QCOMPARE(lum->value(), 6);
    lum->setValue(7);
    h.barrier(0);
    h.clearLogs();

    using Step = void (MainWindow::*)(bool);
    const QHash<QChar, Step> steps = {{'l', &MainWindow::onLuminanceChangeTriggered},
                                      {'c', &MainWindow::onContrastChangeTriggered},
                                      {'h', &MainWindow::onHueChangeTriggered}};
    for (QChar c : calls)
        (w()->*steps.value(c.toLower()))(c.isUpper());
    QCOMPARE(lum->value(), luminance);
    QCOMPARE(con->value(), contrast);
    QCOMPARE(hueSlider->value(), hue);
    const int moves = qAbs(luminance - 7) + qAbs(contrast - 7) + qAbs(hue - 7);
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands.size(), moves, kWait);
}

void TestExposure::syncFromCamera_data()
{
    // Camera state set over VISCA before connecting; the panel starts from
    // shutter index 5, iris index 3, white balance index 2.
    QTest::addColumn<QList<QByteArray>>("cameraState");
    QTest::addColumn<QString>("statusTexts"); // iris, shutter, bright
    QTest::addColumn<QList<int>>("indices");  // AE mode, shutter, iris, white balance

    QTest::newRow("white balance 0x05 is Manual")
        << QList<QByteArray>{hex("8101043505ff"), hex("8101044a00000007ff"),
                             hex("8101044b00000009ff"), hex("810104390bff")}
        << "Iris:F2.8 Shutter:1/250 Bright:7" << QList<int>{3, 6, 9, 4};
    QTest::newRow("white balance 0x04 leaves the combo")
        << QList<QByteArray>{hex("8101043504ff"), hex("8101044a00000002ff")}
        << "Iris:Close Shutter:1/60 Bright:7" << QList<int>{0, 1, 0, 2};
    QTest::newRow("shutter 0 is 1/30")
        << QList<QByteArray>{hex("8101044a00000000ff"), hex("8101044d00000101ff")}
        << "Iris:Close Shutter:1/30 Bright:17" << QList<int>{0, 0, 0, 0};
    QTest::newRow("iris and shutter outside the tables")
        << QList<QByteArray>{hex("8101044b0000000fff"), hex("8101044a00000104ff")}
        << "Iris:15 Shutter:20 Bright:7" << QList<int>{0, 5, 3, 0};
}

void TestExposure::syncFromCamera()
{
    QFETCH(QList<QByteArray>, cameraState);
    QFETCH(QString, statusTexts);
    QFETCH(QList<int>, indices);

    freshConnection();
    QVERIFY(h.sendRaw(0, cameraState));
    child<QComboBox>("shutterCombo")->setCurrentIndex(5);
    child<QComboBox>("irisCombo")->setCurrentIndex(3);
    child<QComboBox>("wbCombo")->setCurrentIndex(2);
    h.clearLogs();

    h.connectCamera(0);
    QCOMPARE(QStringList({statusText("irisStatus"), statusText("shutterStatus"),
                          statusText("brightStatus")})
                 .join(' '),
             statusTexts);
    QList<int> shown;
    for (const char *name : {"aeModeSelect", "shutterCombo", "irisCombo", "wbCombo"})
        shown << child<QComboBox>(name)->currentIndex();
    QCOMPARE(shown, indices);
    // Loading the camera's values sends none of them back.
    h.barrier(0);
    QCOMPARE(h.cams[0].commands, QList<QByteArray>());
}

void TestExposure::syncHappensOncePerConnection()
{
    freshConnection();
    QVERIFY(h.sendRaw(0, {hex("810104a100000005ff"), hex("8101043903ff")}));
    h.connectCamera(0);
    auto *lum = child<QSlider>("luminanceSlider");
    QCOMPARE(lum->value(), 5);
    QCOMPARE(child<QComboBox>("aeModeSelect")->currentIndex(), 1);
    // Manual: the enabling table followed the synced mode.
    QVERIFY(child<QComboBox>("shutterCombo")->isEnabled());
    QVERIFY(!child<QComboBox>("brightCombo")->isEnabled());

    // A later change on the camera shows in the status texts only.
    QVERIFY(h.sendRaw(0, {hex("810104a100000009ff"), hex("8101044b0000000cff")}));
    QTRY_COMPARE_WITH_TIMEOUT(statusText("irisStatus"), QStringLiteral("Iris:F1.8"), kWait);
    h.barrier(0);
    QCOMPARE(lum->value(), 5);
}

void TestExposure::nothingSentWithoutConnection()
{
    freshConnection();
    child<QComboBox>("aeModeSelect")->setCurrentIndex(2);
    child<QComboBox>("aeModeSelect")->setCurrentIndex(1);
    child<QComboBox>("shutterCombo")->setCurrentIndex(9);
    child<QComboBox>("irisCombo")->setCurrentIndex(2);
    child<QSlider>("hueSlider")->setValue(3);
    for (const char *name : {"irisUp", "shutterDown", "brightUp", "osdMenuBtn", "osdEnterBtn",
                             "imgFlipBtn", "syncOnBtn", "lowLightBtn"})
        child<QPushButton>(name)->click();
    w()->onLuminanceChangeTriggered(true);
    QTRY_VERIFY_WITH_TIMEOUT(h.allUnconnected(), kWait); // raw set-up connections close too
    for (const SimulatedCamera &c : h.cams)
        QCOMPARE(c.commands, QList<QByteArray>());
}

void TestExposure::panTiltLimitMenu()
{
    freshConnection();
    QAction *action = w()->findChild<QAction *>("actionPanTiltLimitSetting");
    QVERIFY(action);

    // The dialog, modal, with this window as parent and the
    // camera's stored limits.
    h.settings()->setCameraLimit(cameraId(0), 0, 120);
    h.connectCamera(0);
    QString left;
    bool parented = false;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<PanTiltLimitDlg *>(QApplication::activeModalWidget()));
        auto *dlg = qobject_cast<PanTiltLimitDlg *>(QApplication::activeModalWidget());
        parented = dlg->parentWidget() == w();
        left = dlg->findChild<QLineEdit *>("leftLimitEdit")->text();
        dlg->reject();
    });
    action->trigger();
    QVERIFY(parented);
    QCOMPARE(left, QStringLiteral("120"));
    QTRY_VERIFY(!w()->findChild<PanTiltLimitDlg *>());
}

PANEL_TEST_MAIN(TestExposure)
#include "tst_exposure.moc"
